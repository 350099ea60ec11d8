// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The user management dialog with its new-user and change-password dialogs,
// and the security component's ShowSecurityDialog around them.
#include "dialogs/tdlgnewuser.h"
#include "dialogs/tdlgpassword.h"
#include "dialogs/tdlguserpassword.h"
#include "dialogs/tfrmsecurity.h"
#include "security/component/logoncheck.h"
#include "security/component/tzksecurity.h"
#include "security/component/tzksecuritydialogs.h"
#include "security/model/passwordhash.h"
#include "security/widgets/treeview.h"
#include "securityfixture.h"
#include "support/testsupport.h"
#include "toolkit/action.h"
#include "toolkit/registry.h"
#include "toolkit/widgets/idleupdater.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace fixture;
using zkDlgSecurity::TfrmSecurity;
using zkEntryPasswordDlg::TdlgPassword;
using zkNewUserDlg::TdlgNewUser;
using zkSecurity::TzkSecurity;
using zkUserPasswordDlg::TdlgUserPassword;

namespace {

// A real double click on \a node: the press that selects it, then the double click.
void doubleClick(zkSecurity::TreeView *view, zkSecurity::TreeNode *node)
{
    const QRect rect = view->visualRect(view->indexForNode(node));
    QVERIFY(rect.isValid());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, rect.center());
}

const QByteArray passwordText = "Password(********)"_ba;

// Types \a text into \a widget as key presses carrying each character.
void typeText(QWidget *widget, const QString &text)
{
    for (QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Fills the change-password dialog \a modal and presses OK (or Cancel).
void answerPassword(QWidget *modal, const QString &current, const QString &fresh,
                    const QString &retype, bool ok = true)
{
    auto *dialog = qobject_cast<TdlgUserPassword *>(modal);
    QVERIFY(dialog);
    dialog->edtCurrentPassword->setText(current);
    dialog->edtNewPassword->setText(fresh);
    dialog->edtNewPasswordRetype->setText(retype);
    (ok ? dialog->OKBtn : dialog->CancelBtn)->click();
}

} // namespace

class tst_TfrmSecurity : public QObject
{
    Q_OBJECT

private:
    TzkSecurityTemplate m_securityTemplate;
    TzkSecurityTemplate m_users;

    // A shown (not exec()'d) management dialog for \a user, filled as the callers fill it.
    std::unique_ptr<TfrmSecurity> shownDialog(const QByteArray &user,
                                              bool showCheckedOKOnly = false)
    {
        auto frm = std::make_unique<TfrmSecurity>();
        frm->SecurityTemplate = &m_securityTemplate;
        TdlgPassword::CopyUserTemplate(&m_users, frm->ftvUserTemplate(), user, showCheckedOKOnly);
        frm->SupervisorMode = user == "Supervisor"_ba;
        zkSecurity::TzkSecurityTemplate *tree = frm->ftvUserTemplate();
        for (int i = 0; i < tree->topLevelCount(); ++i)
            tree->expand(tree->topLevel(i), true);
        frm->show();
        rightsmith::toolkit::IdleUpdater::runPass();
        return frm;
    }

    void select(TfrmSecurity *frm, zkSecurity::TreeNode *node)
    {
        frm->ftvUserTemplate()->setSelected(node);
        rightsmith::toolkit::IdleUpdater::runPass();
    }

    std::unique_ptr<testsupport::TemporaryHome> m_home;

private Q_SLOTS:
    void initTestCase() { qRegisterMetaType<zkSecurity::TreeNode *>(); }

    void init()
    {
        m_securityTemplate.ClearTemplate();
        fillSecurityTemplate(&m_securityTemplate);
        m_users.ClearTemplate();
        m_users.AddUserToUserTemplate(&m_securityTemplate, "Supervisor"_ba, QByteArray(), true);
        m_users.AddUserToUserTemplate(&m_securityTemplate, "Anna"_ba, scrambled("secret"), true);
        deny(&m_users, {"Anna"_ba, "Rights"_ba, "File"_ba, "Open (Yes)"_ba});
        m_users.AddUserToUserTemplate(&m_securityTemplate, "Bob"_ba, QByteArray(), false);
        m_home = std::make_unique<testsupport::TemporaryHome>();
    }
    void cleanup()
    {
        m_home.reset();
        QVERIFY(!QApplication::activeModalWidget());
    }

    void layout()
    {
        TfrmSecurity frm;
        QCOMPARE(frm.windowTitle(), u"Security"_s);
        QCOMPARE(frm.size(), QSize(472, 537));
        QCOMPARE(frm.minimumSize(), QSize(200, 172));
        QVERIFY(frm.maximumWidth() > 472); // sizeable
        QCOMPARE(frm.treeView()->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(frm.treeView()->tree(), frm.ftvUserTemplate());
        QCOMPARE(testsupport::shownText(frm.btnNewUser->text()), u"New User"_s);
        QCOMPARE(testsupport::shownText(frm.btnDeleteUser->text()), u"Remove User"_s);
        // Tab reaches every control, and each has something to announce.
        QWidgetList chain;
        for (QWidget *w = frm.treeView()->nextInFocusChain(); w != frm.treeView();
             w = w->nextInFocusChain())
            chain << w;
        for (QWidget *w : frm.findChildren<QWidget *>()) {
            if (w->focusPolicy() & Qt::TabFocus && !w->isWindow() && w != frm.treeView())
                QVERIFY2(chain.contains(w), qPrintable(w->objectName()));
            auto *button = qobject_cast<QAbstractButton *>(w);
            if (w->focusPolicy() != Qt::NoFocus && !(button && !button->text().isEmpty()))
                QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        }
    }

    // No button is the default: Enter on the tree closes nothing, Enter on a
    // button presses that button, Escape cancels.
    void enterPressesOnlyTheFocusedButton()
    {
        auto frm = shownDialog("Supervisor"_ba);
        frm->treeView()->setFocus();
        QTest::keyClick(frm->treeView(), Qt::Key_Return);
        QVERIFY(frm->isVisible());
        QTest::keyClick(frm->treeView(), Qt::Key_Escape);
        QVERIFY(!frm->isVisible());
        QCOMPARE(frm->result(), int(QDialog::Rejected));

        frm = shownDialog("Supervisor"_ba);
        frm->btnOK->setFocus();
        QTest::keyClick(frm->btnOK, Qt::Key_Return);
        QVERIFY(!frm->isVisible());
        QCOMPARE(frm->result(), int(QDialog::Accepted));
    }

    void ordinaryUserCannotEditUsersOrRights()
    {
        auto frm = shownDialog("Anna"_ba);
        zkSecurity::TzkSecurityTemplate *tree = frm->ftvUserTemplate();
        QCOMPARE(tree->topLevelCount(), 1);
        const QStringList before = dump(tree);
        for (int i = -1; i < tree->count(); ++i) {
            select(frm.get(), i < 0 ? nullptr : tree->nodeAt(i));
            QVERIFY(!frm->actAddUser->isEnabled());
            QVERIFY(!frm->btnNewUser->isEnabled());
            QVERIFY(!frm->actRemoveUser->isEnabled());
            QVERIFY(!frm->btnDeleteUser->isEnabled());
        }
        // A real double click on a right changes nothing.
        zkSecurity::TreeNode *right =
            findPath(tree, {"Anna"_ba, "Rights"_ba, "File"_ba, "New (Yes)"_ba});
        QSignalSpy doubleClicked(frm->treeView(), &zkSecurity::TreeView::nodeDoubleClicked);
        doubleClick(frm->treeView(), right);
        QCOMPARE(doubleClicked.size(), 1);
        QCOMPARE(tree->selected(), right);
        // Executing the disabled actions directly changes nothing either.
        frm->actRemoveUserExecute(frm->actRemoveUser);
        QCOMPARE(dump(tree), before);
    }

    void doubleClickOnPasswordChangesIt()
    {
        auto frm = shownDialog("Anna"_ba);
        zkSecurity::TzkSecurityTemplate *tree = frm->ftvUserTemplate();
        zkSecurity::TreeNode *password = tree->topLevel(0)->firstChild();
        QString caption;
        ModalAnswer answer([&](QWidget *modal) {
            caption = modal->windowTitle();
            answerPassword(modal, u"secret"_s, u"n\u00e9w"_s, u"n\u00e9w"_s);
        });
        doubleClick(frm->treeView(), password);
        QVERIFY(answer.answered());
        QCOMPARE(caption, u"Change Password"_s);
        QCOMPARE(password->data()->caption(), scrambled("n\xe9w"));
        QCOMPARE(password->text(), passwordText);
    }

    void hashedPasswordsAndUnlockFollowTheComponentsHardening()
    {
        zkSecurity::UserStoreSettings store;
        store.key = u"Test"_s;
        store.hardening.throttleLogons = true;
        store.hardening.throttle.freeAttempts = 1;
        const zkSecurity::LogonCheck check(store);
        check.check(m_users, "Anna"_ba, "guess"_ba);
        QVERIFY(check.isLocked("Anna"_ba));

        auto frm = shownDialog("Supervisor"_ba);
        QVERIFY(!frm->btnUnlockUser->isVisible()); // no check: no throttling to undo
        frm->Check = &check;
        frm->Actor = "Supervisor"_ba;
        frm->hide();
        frm->show();
        zkSecurity::TzkSecurityTemplate *tree = frm->ftvUserTemplate();
        tree->SetNewPasswordCost(zkSecurity::PasswordHashCost::minimum());
        select(frm.get(), tree->GetUserNodeByUserName("Anna"_ba)->item(1));
        QVERIFY(frm->btnUnlockUser->isVisible() && frm->btnUnlockUser->isEnabled());
        MessageCapture capture;
        frm->btnUnlockUser->click();
        QCOMPARE(capture.messages, QStringList {u"The failed logons of Anna are forgotten."_s});
        QVERIFY(!check.isLocked("Anna"_ba));

        // A password changed now is hashed, and the hash is checked next time.
        zkSecurity::TreeNode *password = tree->GetUserNodeByUserName("Anna"_ba)->firstChild();
        ModalAnswer first(
            [&](QWidget *modal) { answerPassword(modal, u"secret"_s, u"fresh"_s, u"fresh"_s); });
        doubleClick(frm->treeView(), password);
        QVERIFY(first.answered());
        QVERIFY(zkSecurity::PasswordHash::isHashed(*password->data()));
        QVERIFY(zkSecurity::PasswordHash::matches(password->data(), "fresh"_ba));
        ModalAnswer second(
            [&](QWidget *modal) { answerPassword(modal, u"fresh"_s, u"again"_s, u"again"_s); });
        doubleClick(frm->treeView(), password);
        QVERIFY(second.answered());
        QVERIFY(zkSecurity::PasswordHash::matches(password->data(), "again"_ba));
        // Hashed, a password longer than a scrambled one is kept whole.
        const QString longer(60, u'L');
        ModalAnswer third(
            [&](QWidget *modal) { answerPassword(modal, u"again"_s, longer, longer); });
        doubleClick(frm->treeView(), password);
        QVERIFY(third.answered());
        QVERIFY(zkSecurity::PasswordHash::matches(password->data(), longer.toLatin1()));
        QVERIFY(!zkSecurity::PasswordHash::matches(password->data(), longer.left(40).toLatin1()));
    }

    void passwordChangeCancelledOrRefused()
    {
        MessageCapture capture;
        auto frm = shownDialog("Supervisor"_ba);
        zkSecurity::TreeNode *password =
            findPath(frm->ftvUserTemplate(), {"Anna"_ba, passwordText});
        select(frm.get(), password);
        {
            ModalAnswer answer(
                [&](QWidget *modal) { answerPassword(modal, u"secret"_s, u"x"_s, u"x"_s, false); });
            frm->tvDblClick();
        }
        QCOMPARE(password->data()->caption(), scrambled("secret"));
        {
            // The supervisor too must know the current password.
            ModalAnswer answer([&](QWidget *modal) {
                answerPassword(modal, QString(), u"x"_s, u"x"_s);
                QVERIFY(modal->isVisible());
                static_cast<QDialog *>(modal)->reject();
            });
            frm->tvDblClick();
        }
        QCOMPARE(capture.messages,
                 QStringList {u"Invalid current or new password. Please retype."_s});
        QCOMPARE(password->data()->caption(), scrambled("secret"));
    }

    void emptyRightsNodeIsNotAPassword()
    {
        // Bob holds no right: with the filter his "Rights" node stands at
        // level 1 without children, like a password node.
        auto frm = shownDialog("Bob"_ba, true);
        zkSecurity::TreeNode *rights = findPath(frm->ftvUserTemplate(), {"Bob"_ba, "Rights"_ba});
        QVERIFY(rights && !rights->hasChildren());
        select(frm.get(), rights);
        ModalAnswer answer([&](QWidget *modal) { static_cast<QDialog *>(modal)->reject(); });
        frm->tvDblClick();
        QTest::qWait(30);
        QVERIFY(!answer.answered());
        QVERIFY(rights->data()->caption().isEmpty());
    }

    void removeUserRules()
    {
        auto frm = shownDialog("Supervisor"_ba);
        zkSecurity::TzkSecurityTemplate *tree = frm->ftvUserTemplate();
        QVERIFY(frm->actAddUser->isEnabled());
        select(frm.get(), nullptr);
        QVERIFY(!frm->actRemoveUser->isEnabled());
        for (int i = 0; i < tree->count(); ++i) {
            zkSecurity::TreeNode *node = tree->nodeAt(i);
            select(frm.get(), node);
            const bool ofSupervisor = tree->GetUserNodeForNode(node)->text() == "Supervisor"_ba;
            QCOMPARE(frm->actRemoveUser->isEnabled(), !ofSupervisor);
            QCOMPARE(frm->btnDeleteUser->isEnabled(), !ofSupervisor);
        }
        // Nor can a direct call remove the supervisor.
        select(frm.get(), findPath(tree, {"Supervisor"_ba, "Rights"_ba, "Help (Yes)"_ba}));
        frm->actRemoveUserExecute(frm->actRemoveUser);
        QCOMPARE(tree->topLevelCount(), 3);
    }

    void removeUserFromDeepSelection()
    {
        auto frm = shownDialog("Supervisor"_ba);
        zkSecurity::TzkSecurityTemplate *tree = frm->ftvUserTemplate();
        select(
            frm.get(),
            findPath(tree, {"Anna"_ba, "Rights"_ba, "Edit"_ba, "Clipboard"_ba, "Copy (Yes)"_ba}));
        const int bobNodes = 3 + m_securityTemplate.count() - 1;
        frm->btnDeleteUser->click();
        QVERIFY(!tree->GetUserNodeByUserName("Anna"_ba));
        QCOMPARE(tree->topLevelCount(), 2);
        QCOMPARE(tree->count(), 2 * bobNodes);
        QVERIFY(!tree->selected());
        rightsmith::toolkit::IdleUpdater::runPass();
        QVERIFY(!frm->actRemoveUser->isEnabled());
    }

    void addUser()
    {
        auto frm = shownDialog("Supervisor"_ba);
        zkSecurity::TzkSecurityTemplate *tree = frm->ftvUserTemplate();
        select(frm.get(), tree->topLevel(1));
        bool okBefore = true;
        bool okAfter = false;
        ModalAnswer answer([&](QWidget *modal) {
            auto *dialog = qobject_cast<TdlgNewUser *>(modal);
            QVERIFY(dialog);
            QCOMPARE(dialog->parent(), frm.get());
            rightsmith::toolkit::IdleUpdater::runPass();
            okBefore = dialog->OKBtn->isEnabled();
            typeText(dialog->edtNewUserName, u" Carl"_s);
            rightsmith::toolkit::IdleUpdater::runPass();
            okAfter = dialog->OKBtn->isEnabled();
            dialog->OKBtn->click();
        });
        frm->btnNewUser->click();
        QVERIFY(!okBefore);
        QVERIFY(okAfter);
        QCOMPARE(tree->topLevelCount(), 4);
        zkSecurity::TreeNode *carl = tree->topLevel(3);
        QCOMPARE(carl->text(), " Carl"_ba); // as typed, untrimmed
        QVERIFY(tree->GetPasswordFromUserTreeNode(carl).isEmpty());
        QCOMPARE(tree->selected(), tree->topLevel(1));
        QVERIFY(!carl->isExpanded());
        int rights = 0;
        for (int i = carl->absoluteIndex(); i < tree->count(); ++i) {
            zkSecurity::TreeNode *node = tree->nodeAt(i);
            if (node->data()->SecurityId > 0) {
                ++rights;
                QVERIFY(node->text().endsWith(" (Yes)"));
                QVERIFY(node->data()->granted());
            }
        }
        QCOMPARE(rights, 4);
    }

    void addUserCancelled()
    {
        auto frm = shownDialog("Supervisor"_ba);
        ModalAnswer answer([&](QWidget *modal) {
            auto *dialog = qobject_cast<TdlgNewUser *>(modal);
            dialog->edtNewUserName->setText(u"Dora"_s);
            dialog->CancelBtn->click();
        });
        frm->btnNewUser->click();
        QCOMPARE(frm->ftvUserTemplate()->topLevelCount(), 3);
    }

    void toggleRightTwice()
    {
        auto frm = shownDialog("Supervisor"_ba);
        zkSecurity::TzkSecurityTemplate *tree = frm->ftvUserTemplate();
        zkSecurity::TreeNode *right =
            findPath(tree, {"Anna"_ba, "Rights"_ba, "File"_ba, "New (Yes)"_ba});
        select(frm.get(), right);
        frm->tvDblClick();
        QCOMPARE(right->text(), "New  (No)"_ba);
        QVERIFY(!right->data()->granted());
        frm->tvDblClick();
        QCOMPARE(right->text(), "New  (Yes)"_ba);
        QVERIFY(right->data()->granted());
        QCOMPARE(right->data()->caption(), "New"_ba);

        // A denied right of a fresh user is granted the same way.
        zkSecurity::TreeNode *denied = findPath(tree, {"Bob"_ba, "Rights"_ba, "Help (No)"_ba});
        select(frm.get(), denied);
        frm->tvDblClick();
        QCOMPARE(denied->text(), "Help  (Yes)"_ba);

        // The supervisor's own rights and the categories stay as they are.
        const QStringList before = dump(tree);
        select(frm.get(), findPath(tree, {"Supervisor"_ba, "Rights"_ba, "Help (Yes)"_ba}));
        frm->tvDblClick();
        select(frm.get(), findPath(tree, {"Anna"_ba, "Rights"_ba, "File"_ba}));
        frm->tvDblClick();
        select(frm.get(), tree->topLevel(1));
        frm->tvDblClick();
        QCOMPARE(dump(tree), before);
    }

    // Keys on the tree act as a double click does: Space everywhere, Enter
    // and F2 only on a password node; Delete asks before removing a user.
    void keysOnTheTree_data()
    {
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QList<QByteArray>>("path");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("effect");
        const QList<QByteArray> annaNew {"Anna"_ba, "Rights"_ba, "File"_ba, "New (Yes)"_ba};
        const QList<QByteArray> annaPassword {"Anna"_ba, passwordText};
        const QList<QByteArray> category {"Anna"_ba, "Rights"_ba, "File"_ba};
        const QByteArray su = "Supervisor"_ba;
        QTest::newRow("space toggles") << su << annaNew << int(Qt::Key_Space) << u"toggle"_s;
        QTest::newRow("space grants")
            << su << QList<QByteArray> {"Bob"_ba, "Rights"_ba, "Help (No)"_ba} << int(Qt::Key_Space)
            << u"toggle"_s;
        QTest::newRow("space, ordinary user")
            << "Anna"_ba << annaNew << int(Qt::Key_Space) << u"none"_s;
        QTest::newRow("space, supervisor's right")
            << su << QList<QByteArray> {"Supervisor"_ba, "Rights"_ba, "Help (Yes)"_ba}
            << int(Qt::Key_Space) << u"none"_s;
        QTest::newRow("space on category") << su << category << int(Qt::Key_Space) << u"expand"_s;
        QTest::newRow("space on password")
            << "Anna"_ba << annaPassword << int(Qt::Key_Space) << u"password"_s;
        QTest::newRow("enter on password")
            << "Anna"_ba << annaPassword << int(Qt::Key_Return) << u"password"_s;
        QTest::newRow("f2 on password") << su << annaPassword << int(Qt::Key_F2) << u"password"_s;
        QTest::newRow("enter on right") << su << annaNew << int(Qt::Key_Enter) << u"none"_s;
        QTest::newRow("f2 on category") << su << category << int(Qt::Key_F2) << u"none"_s;
        QTest::newRow("delete, yes") << su << annaNew << int(Qt::Key_Delete) << u"remove"_s;
        QTest::newRow("delete, no") << su << annaNew << int(Qt::Key_Delete) << u"ask"_s;
        QTest::newRow("delete on supervisor")
            << su << QList<QByteArray> {su} << int(Qt::Key_Delete) << u"none"_s;
        QTest::newRow("delete, ordinary user")
            << "Anna"_ba << annaPassword << int(Qt::Key_Delete) << u"none"_s;
    }
    void keysOnTheTree()
    {
        QFETCH(QByteArray, user);
        QFETCH(QList<QByteArray>, path);
        QFETCH(int, key);
        QFETCH(QString, effect);
        auto frm = shownDialog(user);
        zkSecurity::TzkSecurityTemplate *tree = frm->ftvUserTemplate();
        zkSecurity::TreeNode *node = findPath(tree, path);
        QVERIFY(node);
        select(frm.get(), node);
        const QByteArray text = node->text();
        const bool granted = node->data() && node->data()->granted();
        const QModelIndex index = frm->treeView()->indexForNode(node);
        const bool expanded = frm->treeView()->isExpanded(index);
        const QStringList before = dump(tree);
        const int users = tree->topLevelCount();

        MessageCapture questions(effect == u"remove"_s);
        ModalAnswer answer([](QWidget *modal) { static_cast<QDialog *>(modal)->reject(); });
        QTest::keyClick(frm->treeView(), Qt::Key(key));

        QCOMPARE(answer.answered(), effect == u"password"_s);
        const bool asked = effect == u"remove"_s || effect == u"ask"_s;
        QCOMPARE(questions.questions.size(), asked ? 1 : 0);
        if (effect == u"remove"_s) {
            QCOMPARE(tree->topLevelCount(), users - 1);
            QVERIFY(!tree->GetUserNodeByUserName(path.first()));
            return;
        }
        QCOMPARE(tree->topLevelCount(), users);
        QCOMPARE(frm->treeView()->isExpanded(index), effect == u"expand"_s ? !expanded : expanded);
        if (effect != u"toggle"_s) {
            QCOMPARE(dump(tree), before);
            return;
        }
        QCOMPARE(node->data()->granted(), !granted);
        QCOMPARE(node->text(),
                 text.left(text.lastIndexOf(" (")) + (granted ? "  (No)"_ba : "  (Yes)"_ba));
    }

    void newUserName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("existing") << u"Supervisor"_s << false;
        QTest::newRow("existing user") << u"Anna"_s << false;
        QTest::newRow("other case") << u"supervisor"_s << true;
        QTest::newRow("leading blank") << u" Anna"_s << true;
        QTest::newRow("trailing blank") << u"Anna "_s << true;
        QTest::newRow("blank only") << u" "_s << true;
        QTest::newRow("new") << u"Dora"_s << true;
    }
    void newUserName()
    {
        QFETCH(QString, name);
        QFETCH(bool, enabled);
        auto frm = shownDialog("Supervisor"_ba);
        TdlgNewUser dialog(frm.get());
        QCOMPARE(dialog.windowTitle(), u"New User"_s);
        QVERIFY(dialog.OKBtn->isDefault());
        QCOMPARE(dialog.focusWidget(), dialog.edtNewUserName);
        dialog.show();
        dialog.edtNewUserName->setText(name);
        rightsmith::toolkit::IdleUpdater::runPass();
        QCOMPARE(dialog.OKBtn->isEnabled(), enabled);
        dialog.OKBtn->click();
        QCOMPARE(dialog.result() == QDialog::Accepted, enabled);
    }

    void changePasswordDialog_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("fresh");
        QTest::addColumn<QString>("retype");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("right") << scrambled("old") << u"old"_s << u"new"_s << u"new"_s << true;
        QTest::newRow("wrong current")
            << scrambled("old") << u"Old"_s << u"new"_s << u"new"_s << false;
        QTest::newRow("new ones differ")
            << scrambled("old") << u"old"_s << u"new"_s << u"New"_s << false;
        QTest::newRow("empty stored, empty current")
            << QByteArray() << QString() << u"a"_s << u"a"_s << true;
        QTest::newRow("empty stored, typed current")
            << QByteArray() << u"a"_s << u"a"_s << u"a"_s << false;
        QTest::newRow("both new empty")
            << scrambled("old") << u"old"_s << QString() << QString() << true;
    }
    void changePasswordDialog()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, current);
        QFETCH(QString, fresh);
        QFETCH(QString, retype);
        QFETCH(bool, accepted);
        MessageCapture capture;
        TdlgUserPassword dialog;
        QCOMPARE(dialog.windowTitle(), u"Change Password"_s);
        dialog.CurrentPassword = stored;
        dialog.show();
        rightsmith::toolkit::IdleUpdater::runPass();
        QVERIFY(dialog.OKBtn->isEnabled());
        dialog.edtCurrentPassword->setText(current);
        dialog.edtNewPassword->setText(fresh);
        dialog.edtNewPasswordRetype->setText(retype);
        dialog.edtNewPassword->setFocus();
        dialog.OKBtn->click();
        QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
        QCOMPARE(dialog.isVisible(), !accepted);
        if (accepted) {
            QVERIFY(capture.messages.isEmpty());
            return;
        }
        QCOMPARE(capture.messages,
                 QStringList {u"Invalid current or new password. Please retype."_s});
        QCOMPARE(dialog.focusWidget(), dialog.edtCurrentPassword);
        // The boxes keep what was typed.
        QCOMPARE(dialog.edtCurrentPassword->text(), current);
        QCOMPARE(dialog.edtNewPasswordRetype->text(), retype);
    }

    void longPasswords_data()
    {
        QTest::addColumn<bool>("hashed");
        QTest::addColumn<int>("length");
        QTest::newRow("scrambled, 40 characters") << false << 40;
        QTest::newRow("scrambled, 41 characters") << false << 41;
        QTest::newRow("hashed, 100 characters") << true << 100;
    }
    // Each box shows "*" and takes the whole password: a new one longer than
    // a scrambled password keeps is refused with a message, never cut.
    void longPasswords()
    {
        QFETCH(bool, hashed);
        QFETCH(int, length);
        const bool accepted = hashed || length <= TdlgUserPassword::MaxPasswordLength;
        MessageCapture capture;
        TdlgUserPassword dialog;
        dialog.CurrentPassword = scrambled("old");
        if (hashed)
            dialog.NewPasswordCost = zkSecurity::PasswordHashCost::minimum();
        dialog.show();
        const QString fresh(length, u'k');
        for (QLineEdit *edit :
             {dialog.edtCurrentPassword, dialog.edtNewPassword, dialog.edtNewPasswordRetype}) {
            QCOMPARE(edit->echoMode(), QLineEdit::Password);
            QCOMPARE(edit->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, edit),
                     int(u'*'));
            edit->setFocus();
            const QString typed = edit == dialog.edtCurrentPassword ? u"old"_s : fresh;
            typeText(edit, typed);
            QCOMPARE(edit->text(), typed);
        }
        dialog.OKBtn->click();
        QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
        QCOMPARE(dialog.isVisible(), !accepted);
        if (accepted) {
            QVERIFY(capture.messages.isEmpty());
            return;
        }
        QCOMPARE(capture.messages.size(), 1);
        QVERIFY2(capture.messages.first().contains(u"at most 40"_s),
                 qPrintable(capture.messages.first()));
        QCOMPARE(dialog.focusWidget(), dialog.edtNewPassword);
        QCOMPARE(dialog.edtNewPassword->text(), fresh);
    }

    // --- through the security component -----------------------------------

    void showSecurityDialog_data()
    {
        QTest::addColumn<bool>("icons");
        QTest::newRow("icons") << true;
        QTest::newRow("no icons") << false;
    }
    void showSecurityDialog()
    {
        QFETCH(bool, icons);
        TzkSecurity security;
        auto options = zkSecurity::TzkSecurityOptionSet::defaults();
        security.SetOptions(icons ? options : options.without(zkSecurity::soShowIcons));
        fillSecurityTemplate(security.SecurityTemplate());
        TdlgPassword::CopyUserTemplate(&m_users, security.UserTemplate(), "Supervisor"_ba, false);
        security.Dialogs()->SetSecurity(&security);

        // Nobody logged on: the logon dialog comes instead.
        {
            QString title;
            ModalAnswer answer([&](QWidget *modal) {
                title = modal->windowTitle();
                static_cast<QDialog *>(modal)->reject();
            });
            security.ShowSecurityDialog();
            QCOMPARE(title, u"Password Dialog"_s);
            QVERIFY(!security.LoggedOn());
        }

        QVERIFY(security.Logon("Supervisor"_ba, QByteArray(), true));
        const QStringList before = dump(security.UserTemplate());
        const QString store = m_home->filePath(u"UserTemplate"_s);
        QVERIFY(QFile::remove(store));

        // Cancel after changes leaves the component's user template as it was.
        {
            ModalAnswer answer([&](QWidget *modal) {
                auto *frm = qobject_cast<TfrmSecurity *>(modal);
                QVERIFY(frm);
                QVERIFY(frm->SupervisorMode);
                QCOMPARE(frm->ftvUserTemplate()->images(), icons ? security.ImageList() : nullptr);
                // The first user is shown with all its descendants.
                QVERIFY(findPath(frm->ftvUserTemplate(), {"Supervisor"_ba, "Rights"_ba, "File"_ba})
                            ->isExpanded());
                QVERIFY(!frm->ftvUserTemplate()->topLevel(1)->isExpanded());
                frm->ftvUserTemplate()->DeleteNode(frm->ftvUserTemplate()->topLevel(1));
                frm->ftvUserTemplate()->AddUserToUserTemplate(frm->SecurityTemplate, "Eve"_ba,
                                                              QByteArray(), true);
                frm->btnCancel->click();
            });
            security.ShowSecurityDialog();
            QVERIFY(answer.answered());
        }
        QCOMPARE(dump(security.UserTemplate()), before);
        QVERIFY(!QFile::exists(store));

        // OK: a user added there can log on, with an empty password.
        {
            ModalAnswer answer([&](QWidget *modal) {
                auto *frm = qobject_cast<TfrmSecurity *>(modal);
                ModalAnswer newUser([&](QWidget *inner) {
                    auto *dialog = qobject_cast<TdlgNewUser *>(inner);
                    QVERIFY(dialog);
                    dialog->edtNewUserName->setText(u"Carl"_s);
                    rightsmith::toolkit::IdleUpdater::runPass();
                    dialog->OKBtn->click();
                });
                frm->btnNewUser->click();
                frm->ftvUserTemplate()->setSelected(frm->ftvUserTemplate()->topLevel(2));
                rightsmith::toolkit::IdleUpdater::runPass();
                frm->btnDeleteUser->click();
                frm->btnOK->click();
            });
            security.ShowSecurityDialog();
            QVERIFY(answer.answered());
        }
        QVERIFY(QFile::exists(store));
        QVERIFY(!security.UserTemplate()->GetUserNodeByUserName("Bob"_ba));
        MessageCapture capture(false);
        ModalAnswer refuse([](QWidget *modal) { static_cast<QDialog *>(modal)->reject(); });
        QVERIFY(security.Logon("Carl"_ba, QByteArray(), true));
        QVERIFY(!refuse.answered());
        QCOMPARE(security.GetCurrentUser(), "Carl"_ba);
        QVERIFY(security.CheckId(3));
    }

    void ordinaryUserChangesOnlyOwnPassword()
    {
        TzkSecurity security;
        security.SetOptions(
            zkSecurity::TzkSecurityOptionSet::defaults().with(zkSecurity::soStorePassword));
        fillSecurityTemplate(security.SecurityTemplate());
        TdlgPassword::CopyUserTemplate(&m_users, security.UserTemplate(), "Supervisor"_ba, false);
        security.Dialogs()->SetSecurity(&security);
        QVERIFY(security.Logon("Anna"_ba, "secret"_ba, true));
        const QStringList before = dump(security.UserTemplate());

        QStringList shown;
        bool supervisorMode = true;
        ModalAnswer answer([&](QWidget *modal) {
            auto *frm = qobject_cast<TfrmSecurity *>(modal);
            supervisorMode = frm->SupervisorMode;
            zkSecurity::TzkSecurityTemplate *tree = frm->ftvUserTemplate();
            shown = texts(tree);
            // Try everything: only the password may get through.
            zkSecurity::TreeNode *right = findPath(tree, {"Anna"_ba, "Rights"_ba, "Help (Yes)"_ba});
            tree->setSelected(right);
            frm->tvDblClick();
            tree->setSelected(tree->topLevel(0)->firstChild());
            ModalAnswer password([&](QWidget *inner) {
                answerPassword(inner, u"secret"_s, u"fresh"_s, u"fresh"_s);
            });
            frm->tvDblClick();
            tree->DeleteNode(findPath(tree, {"Anna"_ba, "Rights"_ba, "Edit"_ba}));
            frm->btnOK->click();
        });
        security.ShowSecurityDialog();
        QVERIFY(answer.answered());
        QVERIFY(!supervisorMode);
        // soShowCheckedOKOnly is on by default: the denied right is not shown.
        QCOMPARE(shown.size(), 9);
        QVERIFY(!shown.contains(u"      Open (No)"_s));

        const QStringList after = dump(security.UserTemplate());
        QCOMPARE(after.size(), before.size());
        QStringList changed;
        for (int i = 0; i < before.size(); ++i) {
            if (before.at(i) != after.at(i))
                changed << after.at(i);
        }
        QCOMPARE(changed.size(), 1);
        QCOMPARE(security.UserTemplate()->GetUserPassword("Anna"_ba), scrambled("fresh"));
        // The store remembers the password as the password node holds it,
        // already scrambled: not scrambled a second time.
        rightsmith::toolkit::Registry registry;
        QVERIFY(registry.openKey(security.UserTemplateRegistryKeyName(), false));
        QCOMPARE(registry.readString(u"Password"_s), std::optional<QByteArray>(scrambled("fresh")));
        QVERIFY(security.Logon("Anna"_ba, "fresh"_ba, true));
    }
};

RIGHTSMITH_TEST_MAIN(tst_TfrmSecurity)
#include "tst_tfrmsecurity.moc"
