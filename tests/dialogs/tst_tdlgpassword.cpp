// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The logon dialog: enabling rule, the password check, the Security button
// and CopyUserTemplate.
#include "dialogs/tdlgpassword.h"
#include "dialogs/tfrmsecurity.h"
#include "security/component/logoncheck.h"
#include "security/hardening/audittrail.h"
#include "security/hardening/logonthrottle.h"
#include "securityfixture.h"
#include "support/testsupport.h"
#include "toolkit/action.h"
#include "toolkit/registry.h"
#include "toolkit/widgets/codecvalidator.h"
#include "toolkit/widgets/idleupdater.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace fixture;
using zkEntryPasswordDlg::TdlgPassword;

namespace {

// The widgets Tab visits, starting at \a first.
QList<QWidget *> tabChain(QWidget *first, int count)
{
    QList<QWidget *> chain;
    QWidget *w = first;
    do {
        if (w->focusPolicy() & Qt::TabFocus && !w->focusProxy())
            chain << w;
        w = w->nextInFocusChain();
    } while (w != first && chain.size() < count);
    return chain;
}

// Types \a text into \a widget as key presses carrying each character.
void typeText(QWidget *widget, const QString &text)
{
    for (QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

} // namespace

class tst_TdlgPassword : public QObject
{
    Q_OBJECT

private:
    TzkSecurityTemplate m_securityTemplate;
    TzkSecurityTemplate m_users;

    // A dialog over m_users, shown (so that the idle pass reaches its buttons)
    // but never exec()'d.
    std::unique_ptr<TdlgPassword> shownDialog(const QByteArray &name, const QByteArray &password)
    {
        auto dialog = std::make_unique<TdlgPassword>();
        dialog->UserTemplate = &m_users;
        dialog->SecurityTemplate = &m_securityTemplate;
        dialog->setUserName(name);
        dialog->setPassword(password);
        dialog->show();
        rightsmith::toolkit::IdleUpdater::runPass();
        return dialog;
    }

private Q_SLOTS:
    void init()
    {
        m_securityTemplate.ClearTemplate();
        fillSecurityTemplate(&m_securityTemplate);
        m_users.ClearTemplate();
        m_users.AddUserToUserTemplate(&m_securityTemplate, "Supervisor"_ba, QByteArray(), true);
        m_users.AddUserToUserTemplate(&m_securityTemplate, "Anna"_ba, scrambled("secret"), true);
        deny(&m_users, {"Anna"_ba, "Rights"_ba, "Edit"_ba, "Clipboard"_ba, "Copy (Yes)"_ba});
        deny(&m_users, {"Anna"_ba, "Rights"_ba, "File"_ba, "Open (Yes)"_ba});
        m_users.AddUserToUserTemplate(&m_securityTemplate, "Bob"_ba, scrambled("pw"), false);
    }

    void layout()
    {
        TdlgPassword dialog;
        QCOMPARE(dialog.windowTitle(), u"Password Dialog"_s);
        QCOMPARE(dialog.edtPassword->echoMode(), QLineEdit::Password);
        QCOMPARE(dialog.edtPassword->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter,
                                                        nullptr, dialog.edtPassword),
                 int(u'*'));
        QVERIFY(dialog.edtUserName->isEditable());
        QVERIFY(dialog.btnOK->isDefault());
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QVERIFY(dialog.width() >= 254 && dialog.height() >= 127);
        // Tab order: the password box first, the user name box last.
        const QList<QWidget *> expected {dialog.edtPassword, dialog.btnOK, dialog.btnCancel,
                                         dialog.btnSecurity, dialog.edtUserName};
        QCOMPARE(tabChain(dialog.edtPassword, expected.size()), expected);
        QCOMPARE(dialog.focusWidget(), dialog.edtPassword);
        for (const char *name : {"lblUserName", "Label1", "btnCancel", "btnSecurity"})
            QVERIFY2(dialog.findChild<QWidget *>(QString::fromLatin1(name)), name);
    }

    void enabling_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("one blank") << " "_ba << true;
        QTest::newRow("blanks") << "   "_ba << true;
        QTest::newRow("a name") << "Anna"_ba << true;
    }
    void enabling()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, enabled);
        auto dialog = shownDialog("Anna"_ba, QByteArray());
        QVERIFY(dialog->btnOK->isEnabled());
        dialog->setUserName(name);
        rightsmith::toolkit::IdleUpdater::runPass();
        QCOMPARE(dialog->actOK->isEnabled(), enabled);
        QCOMPARE(dialog->actSecurity->isEnabled(), enabled);
        QCOMPARE(dialog->btnOK->isEnabled(), enabled);
        QCOMPARE(dialog->btnSecurity->isEnabled(), enabled);
    }

    void checkUserPassword_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("right") << "Anna"_ba
                               << "secret"_ba << true;
        QTest::newRow("wrong password") << "Anna"_ba
                                        << "Secret"_ba << false;
        QTest::newRow("password prefix") << "Anna"_ba
                                         << "secre"_ba << false;
        QTest::newRow("name in other case") << "anna"_ba
                                            << "secret"_ba << false;
        QTest::newRow("name with blank") << "Anna "_ba
                                         << "secret"_ba << false;
        QTest::newRow("unknown user") << "Carl"_ba << QByteArray() << false;
        QTest::newRow("blanks as name") << "  "_ba << QByteArray() << false;
        QTest::newRow("empty stored password") << "Supervisor"_ba << QByteArray() << true;
        QTest::newRow("blank for empty password") << "Supervisor"_ba
                                                  << " "_ba << false;
    }
    void checkUserPassword()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, password);
        QFETCH(bool, accepted);

        // Hidden: the silent check shows nothing.
        MessageCapture capture;
        TdlgPassword hidden;
        hidden.UserTemplate = &m_users;
        hidden.setUserName(name);
        hidden.setPassword(password);
        QCOMPARE(hidden.CheckUserPassword(), accepted);
        QVERIFY(capture.messages.isEmpty());

        // Visible, through OK: closes with OK only on success.
        auto dialog = shownDialog(name, password);
        dialog->btnOK->click();
        QCOMPARE(dialog->result() == QDialog::Accepted, accepted);
        QCOMPARE(dialog->isVisible(), !accepted);
        if (accepted) {
            QVERIFY(capture.messages.isEmpty());
        } else {
            QCOMPARE(capture.messages, QStringList {u"Wrong user name or password."_s});
            QCOMPARE(dialog->focusWidget(), dialog->edtUserName);
            // What was typed stays for another try.
            QCOMPARE(dialog->userName(), name);
            QCOMPARE(dialog->password(), password);
        }
    }

    void longPasswordsNeverMatch()
    {
        const QByteArray forty(40, 'x');
        m_users.AddUserToUserTemplate(&m_securityTemplate, "Long"_ba,
                                      zkCript::TCripter::Scramble(forty + "yz"_ba), true);
        TdlgPassword dialog;
        dialog.UserTemplate = &m_users;
        dialog.setUserName("Long"_ba);
        dialog.setPassword(forty);
        QVERIFY(dialog.CheckUserPassword()); // the stored password was cut to 40
        dialog.setPassword(forty + "y"_ba);
        QCOMPARE(dialog.edtPassword->text().size(), 41); // the box takes any length
        QVERIFY(!dialog.CheckUserPassword());
        dialog.setPassword(forty + "yz"_ba);
        QVERIFY(!dialog.CheckUserPassword());
    }

    void throttledLogonsSayHowLongForEveryName()
    {
        QTemporaryDir dir;
        QDateTime now(QDate(2026, 12, 8), QTime(9, 0), Qt::UTC);
        zkSecurity::UserStoreSettings store;
        store.key = u"Test"_s;
        store.databasePath = dir.filePath(u"registry.sqlite3"_s);
        store.hardening.throttleLogons = true;
        store.hardening.throttle.freeAttempts = 2;
        store.hardening.clock = [&now] {
            return now;
        };
        const zkSecurity::LogonCheck check(store);

        // A user and a name without one get the same messages at the same times.
        for (const QByteArray &name : {"Anna"_ba, "Carl"_ba}) {
            MessageCapture capture;
            auto dialog = shownDialog(name, "guess"_ba);
            dialog->Check = &check;
            for (int i = 0; i < 3; ++i)
                dialog->btnOK->click();
            now = now.addSecs(1);
            dialog->btnOK->click();
            dialog->btnOK->click();
            QCOMPARE(
                capture.messages,
                (QStringList {u"Wrong user name or password."_s, u"Wrong user name or password."_s,
                              u"Too many failed logons. Try again in 1 second."_s,
                              u"Wrong user name or password."_s,
                              u"Too many failed logons. Try again in 2 seconds."_s}));
            QVERIFY(dialog->isVisible());
        }
        // The right password waits too, then gets in.
        MessageCapture capture;
        auto dialog = shownDialog("Anna"_ba, "secret"_ba);
        dialog->Check = &check;
        QVERIFY(!dialog->CheckUserPassword());
        now = now.addSecs(2);
        QVERIFY(dialog->CheckUserPassword());
    }

    void withoutUserTemplateNothingMatches()
    {
        TdlgPassword dialog;
        dialog.setUserName("Supervisor"_ba);
        QVERIFY(!dialog.CheckUserPassword());
    }

    void unencodableInputIsRefused()
    {
        auto dialog = shownDialog("Anna"_ba, QByteArray());
        auto *validator = dialog->edtUserName->findChild<rightsmith::toolkit::CodecValidator *>();
        QVERIFY(validator);
        QSignalSpy refused(validator, &rightsmith::toolkit::CodecValidator::refused);
        dialog->edtUserName->setFocus();
        dialog->edtUserName->lineEdit()->end(false);
        typeText(dialog->edtUserName->lineEdit(), u"\u0416"_s);
        QCOMPARE(dialog->edtUserName->currentText(), u"Anna"_s);
        QCOMPARE(refused.size(), 1);
        QVERIFY(refused.first().first().toString().contains(u"U+0416"_s));
        // A character of the code page is taken.
        typeText(dialog->edtUserName->lineEdit(), u"\u00e9"_s);
        QCOMPARE(dialog->userName(), "Anna\xe9"_ba);

        typeText(dialog->edtPassword, u"a\u4e2db"_s);
        QCOMPARE(dialog->password(), "ab"_ba);
    }

    // --- CopyUserTemplate -------------------------------------------------

    void copyForSupervisorIsFull_data()
    {
        QTest::addColumn<bool>("showCheckedOKOnly");
        QTest::newRow("all rights") << false;
        QTest::newRow("checked only is ignored") << true;
    }
    void copyForSupervisorIsFull()
    {
        QFETCH(bool, showCheckedOKOnly);
        // A node without a record stays without one; images are copied regardless.
        zkSecurity::TreeNode *bare = m_users.addChild(m_users.topLevel(1), "bare"_ba);
        bare->setImages(9);
        TzkSecurityTemplate dest;
        dest.AddUserToUserTemplate(&m_securityTemplate, "Old"_ba, QByteArray(), true);
        TdlgPassword::CopyUserTemplate(&m_users, &dest, "Supervisor"_ba, showCheckedOKOnly);
        QCOMPARE(dump(&dest), dump(&m_users));
        QVERIFY(!findPath(&dest, {"Anna"_ba, "bare"_ba})->data());
        // The records are copies, not shared.
        QVERIFY(dest.topLevel(1)->firstChild()->data()
                != m_users.topLevel(1)->firstChild()->data());
    }

    void copyForAnotherUser()
    {
        TzkSecurityTemplate dest;
        dest.AddUserToUserTemplate(&m_securityTemplate, "Zed"_ba, QByteArray(), true);
        dest.AddUserToUserTemplate(&m_securityTemplate, "Anna"_ba, "stale"_ba, false);
        // A right with a negative identifier is never copied.
        zkSecurity::TreeNode *odd =
            addNode(&m_users, findPath(&m_users, {"Anna"_ba, "Rights"_ba}), "Odd"_ba, -5, 1);
        odd->setText("Odd (Yes)"_ba);
        odd->editData()->setGranted(true);

        TdlgPassword::CopyUserTemplate(&m_users, &dest, "Anna"_ba, false);
        const QStringList expected {
            u"Zed"_s,
            u"  Password(********)"_s,
            u"  Rights"_s,
            u"    File"_s,
            u"      New (Yes)"_s,
            u"      Open (Yes)"_s,
            u"    Edit"_s,
            u"      Clipboard"_s,
            u"        Copy (Yes)"_s,
            u"    Help (Yes)"_s,
            u"Anna"_s,
            u"  Password(********)"_s,
            u"  Rights"_s,
            u"    File"_s,
            u"      New (Yes)"_s,
            u"      Open (No)"_s,
            u"    Edit"_s,
            u"      Clipboard"_s,
            u"        Copy (No)"_s,
            u"    Help (Yes)"_s,
        };
        QCOMPARE(texts(&dest), expected);
        // The stale Anna went; the new one carries the records and images of the source.
        QCOMPARE(dest.GetUserPassword("Anna"_ba), scrambled("secret"));
        QCOMPARE(dump(&dest).mid(10), dump(&m_users).mid(10, 10));
    }

    void copyForAnotherUserCheckedOnly()
    {
        TzkSecurityTemplate dest;
        TdlgPassword::CopyUserTemplate(&m_users, &dest, "Anna"_ba, true);
        // Clipboard lost its only right, then Edit its only category.
        const QStringList expected {
            u"Anna"_s,     u"  Password(********)"_s, u"  Rights"_s,
            u"    File"_s, u"      New (Yes)"_s,      u"    Help (Yes)"_s,
        };
        QCOMPARE(texts(&dest), expected);
    }

    void copyForUserWithoutRightsKeepsRightsNode()
    {
        TzkSecurityTemplate dest;
        TdlgPassword::CopyUserTemplate(&m_users, &dest, "Bob"_ba, true);
        QCOMPARE(texts(&dest), (QStringList {u"Bob"_s, u"  Password(********)"_s, u"  Rights"_s}));
        QByteArray user, caption;
        QCOMPARE(dest.GetNodeType(dest.topLevel(0)->item(1), user, caption),
                 zkSecurity::ntPassword);
    }

    void copyTakesEveryNodeOfThatName()
    {
        m_users.AddUserToUserTemplate(&m_securityTemplate, "Anna"_ba, "second"_ba, true);
        TzkSecurityTemplate dest;
        TdlgPassword::CopyUserTemplate(&m_users, &dest, "Anna"_ba, false);
        QCOMPARE(dest.topLevelCount(), 2);
        QCOMPARE(dest.topLevel(1)->firstChild()->data()->caption(), "second"_ba);
        // Copying again removes only the first of them before appending both.
        TdlgPassword::CopyUserTemplate(&m_users, &dest, "Anna"_ba, false);
        QCOMPARE(dest.topLevelCount(), 3);
    }

    void supervisorInOtherCaseGetsNoFullCopy()
    {
        m_users.AddUserToUserTemplate(&m_securityTemplate, "supervisor"_ba, QByteArray(), false);
        TzkSecurityTemplate dest;
        TdlgPassword::CopyUserTemplate(&m_users, &dest, "supervisor"_ba, true);
        QCOMPARE(dest.topLevelCount(), 1);
        QCOMPARE(dest.topLevel(0)->text(), "supervisor"_ba);
        // Denied rights are filtered as for anyone else.
        QCOMPARE(dest.count(), 3);
    }

    void copyOntoItselfChangesNothing()
    {
        const QStringList before = dump(&m_users);
        TdlgPassword::CopyUserTemplate(&m_users, &m_users, "Supervisor"_ba, false);
        QCOMPARE(dump(&m_users), before);
    }

    void deepStoredTreeIsCopied()
    {
        // Far deeper than a recursive copy could go on the call stack.
        zkSecurity::TreeNode *node = findPath(&m_users, {"Bob"_ba, "Rights"_ba});
        for (int i = 0; i < 200000; ++i)
            node = addNode(&m_users, node, "c"_ba, 0, 2);
        TzkSecurityTemplate dest;
        TdlgPassword::CopyUserTemplate(&m_users, &dest, "Bob"_ba, true);
        // Every category was empty: all of them go, the Rights node stays.
        QCOMPARE(dest.count(), 3);
        TdlgPassword::CopyUserTemplate(&m_users, &dest, "Supervisor"_ba, false);
        QCOMPARE(dest.count(), m_users.count());
    }

    // --- Security button --------------------------------------------------

    void securityWithWrongCredentialsOpensNothing()
    {
        MessageCapture capture;
        auto dialog = shownDialog("Anna"_ba, "wrong"_ba);
        bool opened = false;
        ModalAnswer answer([&](QWidget *modal) {
            opened = true;
            static_cast<QDialog *>(modal)->reject();
        });
        dialog->btnSecurity->click();
        QTest::qWait(50);
        QVERIFY(!opened);
        QCOMPARE(capture.messages, QStringList {u"Wrong user name or password."_s});
        QCOMPARE(dialog->password(), "wrong"_ba);
    }

    void securityAfterFailedLogonsLeavesTheCountAndTheTrail()
    {
        QTemporaryDir dir;
        const QDateTime now(QDate(2026, 12, 8), QTime(9, 0), Qt::UTC);
        zkSecurity::UserStoreSettings store;
        store.key = u"Test"_s;
        store.databasePath = dir.filePath(u"registry.sqlite3"_s);
        store.hardening.throttleLogons = true;
        store.hardening.auditTrail = true;
        store.hardening.clock = [now] {
            return now;
        };
        const zkSecurity::LogonCheck check(store);
        // Anna's count and the workstation's, then every record of the trail.
        const auto held = [&] {
            rightsmith::toolkit::Registry registry(store.registryPath());
            const zkSecurity::LogonThrottle throttle(registry, store.key);
            QStringList seen {
                QString::number(throttle.state("Anna"_ba).failures),
                QString::number(
                    throttle.workstationState(zkSecurity::LogonThrottle::workstationDigest())
                        .failures)};
            for (const auto &entry : zkSecurity::AuditTrail(registry, store.key).read())
                seen << zkSecurity::AuditRecord::name(entry.event);
            return seen;
        };

        MessageCapture capture;
        auto dialog = shownDialog("Anna"_ba, "wrong"_ba);
        dialog->Check = &check;
        dialog->btnOK->click();
        dialog->btnOK->click();
        const QStringList before = held();
        QCOMPARE(before, (QStringList {u"2"_s, u"2"_s, u"logon refused"_s, u"logon refused"_s}));
        dialog->setPassword("secret"_ba);
        bool opened = false;
        ModalAnswer answer([&](QWidget *modal) {
            opened = true;
            static_cast<QDialog *>(modal)->reject();
        });
        dialog->btnSecurity->click();
        QVERIFY(opened);
        QCOMPARE(held(), before);
    }

    void securityForUserShowsOwnSubtree()
    {
        const QStringList before = dump(&m_users);
        auto dialog = shownDialog("Anna"_ba, "secret"_ba);
        dialog->ShowCheckedOKOnly = true;
        QStringList shown;
        bool supervisorMode = true;
        bool fullyExpanded = false;
        ModalAnswer answer([&](QWidget *modal) {
            auto *frm = qobject_cast<zkDlgSecurity::TfrmSecurity *>(modal);
            QVERIFY(frm);
            supervisorMode = frm->SupervisorMode;
            shown = texts(frm->ftvUserTemplate());
            zkSecurity::TreeNode *newRight =
                findPath(frm->ftvUserTemplate(), {"Anna"_ba, "Rights"_ba, "File"_ba});
            fullyExpanded = newRight && newRight->isExpanded();
            frm->reject();
        });
        dialog->btnSecurity->click();
        QVERIFY(!supervisorMode);
        QCOMPARE(shown.size(), 6);
        QVERIFY(fullyExpanded);
        QVERIFY(dialog->edtPassword->text().isEmpty());
        QVERIFY(dialog->isVisible());
        QCOMPARE(dump(&m_users), before);
    }

    void securityForUserTakesOverOnlyPassword()
    {
        auto dialog = shownDialog("Anna"_ba, "secret"_ba);
        const QStringList before = dump(&m_users);
        ModalAnswer answer([&](QWidget *modal) {
            auto *frm = qobject_cast<zkDlgSecurity::TfrmSecurity *>(modal);
            zkSecurity::TzkSecurityTemplate *tree = frm->ftvUserTemplate();
            // Changes outside the password node are not taken over.
            tree->topLevel(0)->item(1)->setText("Changed"_ba);
            tree->topLevel(0)->firstChild()->editData()->setCaption(scrambled("new"));
            frm->accept();
        });
        dialog->btnSecurity->click();
        QCOMPARE(m_users.GetUserPassword("Anna"_ba), scrambled("new"));
        QStringList after = dump(&m_users);
        QCOMPARE(after.size(), before.size());
        int changed = 0;
        for (int i = 0; i < before.size(); ++i)
            changed += before.at(i) != after.at(i);
        QCOMPARE(changed, 1);
        // Logging on now needs the new password.
        dialog->setPassword("new"_ba);
        QVERIFY(dialog->CheckUserPassword());
    }

    void securityForSupervisorCopiesAllBack()
    {
        auto dialog = shownDialog("Supervisor"_ba, QByteArray());
        dialog->ShowCheckedOKOnly = true;
        bool supervisorMode = false;
        bool oneLevel = false;
        int users = 0;
        ModalAnswer answer([&](QWidget *modal) {
            auto *frm = qobject_cast<zkDlgSecurity::TfrmSecurity *>(modal);
            supervisorMode = frm->SupervisorMode;
            zkSecurity::TzkSecurityTemplate *tree = frm->ftvUserTemplate();
            users = tree->topLevelCount();
            oneLevel = tree->topLevel(0)->isExpanded() && !tree->topLevel(0)->item(1)->isExpanded();
            tree->DeleteNode(tree->topLevel(2));
            frm->accept();
        });
        dialog->btnSecurity->click();
        QVERIFY(supervisorMode);
        QVERIFY(oneLevel);
        QCOMPARE(users, 3);
        QCOMPARE(m_users.topLevelCount(), 2);
        QVERIFY(!m_users.GetUserNodeByUserName("Bob"_ba));
        // Denied rights survive the round trip although ShowCheckedOKOnly is set.
        QVERIFY(findPath(&m_users, {"Anna"_ba, "Rights"_ba, "File"_ba, "Open (No)"_ba}));
    }
};

RIGHTSMITH_TEST_MAIN(tst_TdlgPassword)
#include "tst_tdlgpassword.moc"
