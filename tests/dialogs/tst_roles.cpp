// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The roles of the user management dialog, driven by keys through the flow
// the security component runs: a copy edited, taken over on OK only.
#include "dialogs/tdlgpassword.h"
#include "dialogs/tfrmsecurity.h"
#include "security/component/securityui.h"
#include "security/component/usermanagement.h"
#include "security/model/roles.h"
#include "security/widgets/treeview.h"
#include "securityfixture.h"
#include "support/testsupport.h"
#include "toolkit/widgets/idleupdater.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace fixture;
using zkDlgSecurity::TfrmSecurity;

namespace {

// Runs \a answer once the modal dialog named \a name is the active one, from
// a timer of its own (so also inside a modal loop opened by another answer).
// Whatever is modal after ten seconds is rejected: a failed step never hangs.
void whenModal(const QString &name, std::function<void(QDialog *)> answer)
{
    auto *timer = new QTimer(qApp);
    auto elapsed = std::make_shared<int>(0);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        *elapsed += timer->interval();
        auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (modal && modal->objectName() == name) {
            timer->deleteLater();
            timer->stop();
            QApplication::setActiveWindow(modal);
            QVERIFY(QTest::qWaitForWindowActive(modal));
            answer(modal);
        } else if (*elapsed >= 10000) {
            timer->deleteLater();
            timer->stop();
            if (modal)
                modal->reject();
        }
    });
    timer->start();
}

// Each of \a keys on the widget with the focus.
void press(std::initializer_list<int> keys)
{
    for (int key : keys) {
        QVERIFY(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        rightsmith::toolkit::IdleUpdater::runPass();
    }
}

// Alt with \a button's mnemonic, as a user presses it; returns once the
// button's click, and whatever dialog it opened, is done.
void pressMnemonic(QAbstractButton *button)
{
    QTest::keySequence(QApplication::focusWidget(), QKeySequence::mnemonic(button->text()));
    QVERIFY2(button->isDown(), qPrintable(button->objectName()));
    QTRY_VERIFY(!button->isDown());
    // With no window manager, nothing gives the window back its activation
    // after a dialog it opened is gone.
    if (button->isVisible() && !QApplication::activeWindow())
        QApplication::setActiveWindow(button->window());
    rightsmith::toolkit::IdleUpdater::runPass();
}

} // namespace

class tst_Roles : public QObject
{
    Q_OBJECT

private:
    TzkSecurityTemplate m_rights;
    TzkSecurityTemplate m_users;
    TzkSecurityTemplate m_roles;
    std::unique_ptr<testsupport::TemporaryHome> m_home;

    // Opens the dialog for "Supervisor" with the roles; \a steps drives it.
    bool run(std::function<void(TfrmSecurity *)> steps)
    {
        // The widget dialog the test's main installed.
        const auto dialog =
            zkSecurity::SecurityUi::Installed()->CreateUserManagementDialog(&m_rights);
        whenModal(u"frmSecurity"_s, [&](QDialog *modal) {
            rightsmith::toolkit::IdleUpdater::runPass();
            steps(qobject_cast<TfrmSecurity *>(modal));
            // A step that failed leaves the dialog open: close it.
            if (modal->isVisible())
                modal->reject();
        });
        return zkSecurity::RunUserManagement(*dialog, &m_users, &m_rights, "Supervisor"_ba, false,
                                             true, nullptr, &m_roles);
    }

    // The texts below \a user's "Rights".
    static QStringList rightsOf(const TzkSecurityTemplate &tree, const QByteArray &user)
    {
        QStringList lines;
        const zkSecurity::TreeNode *rights = tree.firstTopLevel(user)->item(1);
        for (int i = rights->absoluteIndex() + 1; i < tree.count() && tree.nodeAt(i)->level() > 1;
             ++i)
            lines << QString::fromLatin1(tree.nodeAt(i)->text());
        return lines;
    }

private Q_SLOTS:
    void init()
    {
        m_home = std::make_unique<testsupport::TemporaryHome>();
        m_rights.ClearTemplate();
        fillSecurityTemplate(&m_rights);
        m_users.ClearTemplate();
        m_users.AddUserToUserTemplate(&m_rights, "Supervisor"_ba, QByteArray(), true);
        m_users.AddUserToUserTemplate(&m_rights, "Anna"_ba, QByteArray(), true);
        m_users.AddUserToUserTemplate(&m_rights, "Bob"_ba, QByteArray(), false);
        m_roles.ClearTemplate();
    }
    void cleanup()
    {
        m_home.reset();
        QVERIFY(!QApplication::activeModalWidget());
    }

    // A role added, two of its rights granted with Space, Anna made a member:
    // OK takes over exactly that, and Anna's rights follow.
    void addGrantAssign()
    {
        const QStringList bob = rightsOf(m_users, "Bob"_ba);
        QStringList candidates;
        QVERIFY(run([&](TfrmSecurity *frm) {
            whenModal(u"dlgRoleName"_s, [](QDialog *) {
                QTest::keyClicks(QApplication::focusWidget(), u"Sales"_s);
                press({Qt::Key_Return});
            });
            pressMnemonic(frm->btnNewRole);
            // To the role's tree, then Sales > Rights > File > New, and Open.
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_L, Qt::AltModifier);
            QCOMPARE(QApplication::focusWidget(), frm->roleView());
            press({Qt::Key_Right, Qt::Key_Down, Qt::Key_Right, Qt::Key_Down, Qt::Key_Right,
                   Qt::Key_Down, Qt::Key_Space, Qt::Key_Down, Qt::Key_Space});
            whenModal(u"dlgAddMember"_s, [&](QDialog *modal) {
                for (int i = 0; i < modal->findChild<QComboBox *>()->count(); ++i)
                    candidates << modal->findChild<QComboBox *>()->itemText(i);
                press({Qt::Key_Return});
            });
            pressMnemonic(frm->btnAddMember);
            pressMnemonic(frm->btnOK);
        }));
        QCOMPARE(candidates, QStringList({u"Anna"_s, u"Bob"_s}));
        QCOMPARE(texts(&m_roles),
                 QStringList({u"Sales"_s, u"  Rights"_s, u"    File"_s, u"      New  (Yes)"_s,
                              u"      Open  (Yes)"_s, u"    Edit"_s, u"      Clipboard"_s,
                              u"        Copy (No)"_s, u"    Help (No)"_s, u"  Members"_s,
                              u"    Anna"_s}));
        QCOMPARE(rightsOf(m_users, "Anna"_ba),
                 QStringList({u"File"_s, u"New (Yes)"_s, u"Open (Yes)"_s, u"Edit"_s, u"Clipboard"_s,
                              u"Copy  (No)"_s, u"Help  (No)"_s}));
        QCOMPARE(rightsOf(m_users, "Bob"_ba), bob);
    }

    // A member's own right refuses a toggle and the dialog says why; a role
    // named like a user is refused with the model's reason; Cancel keeps both
    // templates as they were.
    void refusalsAndCancel()
    {
        zkSecurity::Roles roles(m_roles, m_users);
        QVERIFY(roles.AddRole("Sales"_ba, m_rights.firstNode()));
        QVERIFY(roles.Assign("Sales"_ba, "Anna"_ba));
        roles.ApplyToUsers();
        TzkSecurityTemplate scratchRoles;
        QString expected;
        QVERIFY(!zkSecurity::Roles(scratchRoles, m_users).AddRole("Bob"_ba, nullptr, &expected));
        const QStringList users = dump(&m_users);
        const QStringList roleDump = dump(&m_roles);
        MessageCapture capture;
        QString line;
        QStringList anna;
        QVERIFY(!run([&](TfrmSecurity *frm) {
            zkSecurity::TzkSecurityTemplate *tree = frm->ftvUserTemplate();
            tree->setSelected(findPath(tree, {"Anna"_ba, "Rights"_ba, "Help  (No)"_ba}));
            frm->treeView()->setFocus();
            press({Qt::Key_Space});
            anna = rightsOf(*tree, "Anna"_ba);
            line = frm->lblFollowsRoles->isVisible() ? frm->lblFollowsRoles->text() : QString();
            whenModal(u"dlgRoleName"_s, [](QDialog *) {
                QTest::keyClicks(QApplication::focusWidget(), u"Bob"_s);
                press({Qt::Key_Return});
                // Asked again after the refusal: given up.
                whenModal(u"dlgRoleName"_s, [](QDialog *) { press({Qt::Key_Escape}); });
            });
            pressMnemonic(frm->btnNewRole);
            pressMnemonic(frm->btnCancel);
        }));
        QCOMPARE(anna, rightsOf(m_users, "Anna"_ba));
        QCOMPARE(line, u"Anna's rights follow the role Sales."_s);
        QCOMPARE(capture.messages, QStringList {expected});
        QCOMPARE(dump(&m_users), users);
        QCOMPARE(dump(&m_roles), roleDump);
    }

    // The logon dialog's Security button shows "Supervisor" the roles it was
    // given, and anyone else nothing new.
    void fromLogonDialog_data()
    {
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<bool>("rolesShown");
        QTest::newRow("Supervisor") << "Supervisor"_ba << true;
        QTest::newRow("Anna") << "Anna"_ba << false;
    }
    void fromLogonDialog()
    {
        QFETCH(QByteArray, user);
        QFETCH(bool, rolesShown);
        zkEntryPasswordDlg::TdlgPassword logon;
        logon.UserTemplate = &m_users;
        logon.SecurityTemplate = &m_rights;
        logon.RoleTemplate = &m_roles;
        logon.setUserName(user);
        logon.show();
        QApplication::setActiveWindow(&logon);
        QVERIFY(QTest::qWaitForWindowActive(&logon));
        bool shown = !rolesShown;
        whenModal(u"frmSecurity"_s, [&](QDialog *modal) {
            shown = qobject_cast<TfrmSecurity *>(modal)->roleView() != nullptr;
            modal->reject();
        });
        pressMnemonic(logon.btnSecurity);
        QCOMPARE(shown, rolesShown);
    }
};

RIGHTSMITH_TEST_MAIN(tst_Roles)
#include "tst_roles.moc"
