// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The dialog runner: what the logon dialog is given, how its outcome comes
// back, and the creation of "Supervisor".
#include "dialogs/tdlgpassword.h"
#include "dialogs/tdlguserpassword.h"
#include "security/component/tzksecurity.h"
#include "security/component/tzksecuritydialogs.h"
#include "security/component/usermanagement.h"
#include "security/model/passwordhash.h"
#include "securityfixture.h"
#include "support/testsupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace fixture;
using zkEntryPasswordDlg::TdlgPassword;
using zkSecurity::TzkSecurity;

namespace {

struct Seen
{
    bool shown = false;
    QString name;
    QString password;
    QStringList items;
    bool focusOnPassword = false;
};

// Answers the next logon dialog: records what it shows, lets \a act fill it,
// then clicks \a button ("btnOK") or cancels.
std::unique_ptr<ModalAnswer> answerLogon(Seen &seen, std::function<void(TdlgPassword *)> act = {},
                                         bool ok = false)
{
    return std::make_unique<ModalAnswer>([&seen, act, ok](QWidget *modal) {
        auto *dialog = qobject_cast<TdlgPassword *>(modal);
        if (!dialog) {
            static_cast<QDialog *>(modal)->reject();
            return;
        }
        seen.shown = true;
        seen.name = dialog->edtUserName->currentText();
        seen.password = dialog->edtPassword->text();
        seen.focusOnPassword = dialog->focusWidget() == dialog->edtPassword;
        for (int i = 0; i < dialog->edtUserName->count(); ++i)
            seen.items << dialog->edtUserName->itemText(i);
        if (act)
            act(dialog);
        if (ok)
            dialog->btnOK->click();
        else
            dialog->btnCancel->click();
    });
}

} // namespace

class tst_TzkSecurityDialogs : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<testsupport::TemporaryHome> m_home;
    std::unique_ptr<TzkSecurity> m_security;

    zkSecurity::TzkSecurityDialogs *runner() const { return m_security->Dialogs(); }

private Q_SLOTS:
    void init()
    {
        m_home = std::make_unique<testsupport::TemporaryHome>();
        m_security = std::make_unique<TzkSecurity>(nullptr);
        fillSecurityTemplate(m_security->SecurityTemplate());
        TzkSecurityTemplate *users = m_security->UserTemplate();
        users->AddUserToUserTemplate(m_security->SecurityTemplate(), "Supervisor"_ba, QByteArray(),
                                     true);
        users->AddUserToUserTemplate(m_security->SecurityTemplate(), "Anna"_ba, scrambled("secret"),
                                     true);
        runner()->SetSecurity(m_security.get());
    }
    void cleanup()
    {
        m_security.reset();
        m_home.reset();
        QVERIFY(!QApplication::activeModalWidget());
    }

    void suggestedName_data()
    {
        QTest::addColumn<QByteArray>("userName");
        QTest::addColumn<QList<QByteArray>>("lastUsers");
        QTest::addColumn<QString>("shown");
        QTest::newRow("nothing known") << QByteArray() << QList<QByteArray>() << u"Supervisor"_s;
        QTest::newRow("most recent user")
            << QByteArray() << QList<QByteArray> {"Carl"_ba, "Anna"_ba, "Bob"_ba} << u"Bob"_s;
        QTest::newRow("given name wins")
            << "Zed"_ba << QList<QByteArray> {"Anna"_ba, "Bob"_ba} << u"Zed"_s;
        QTest::newRow("given name, no recent users")
            << "anna"_ba << QList<QByteArray>() << u"anna"_s;
    }
    void suggestedName()
    {
        QFETCH(QByteArray, userName);
        QFETCH(QList<QByteArray>, lastUsers);
        QFETCH(QString, shown);
        m_security->LastUsers() = lastUsers;
        MessageCapture capture;
        Seen seen;
        const auto answer = answerLogon(seen);
        QByteArray name = userName;
        QByteArray password = "typed"_ba;
        QVERIFY(!runner()->ShowLogonDialog(name, password, false, true));
        QVERIFY(seen.shown);
        QCOMPARE(seen.name, shown);
        QCOMPARE(seen.password, u"typed"_s);
        QVERIFY(seen.focusOnPassword);
        // The drop-down offers the recent users in stored order.
        QStringList expectedItems;
        for (const QByteArray &user : lastUsers)
            expectedItems << QString::fromLatin1(user);
        QCOMPARE(seen.items, expectedItems);
        // Cancel with nobody logged on: no question, and the list is untouched.
        QVERIFY(capture.questions.isEmpty());
        QCOMPARE(m_security->LastUsers(), lastUsers);
    }

    void acceptedLogonReturnsTypedTexts()
    {
        m_security->LastUsers() = {"Anna"_ba, "Bob"_ba};
        Seen seen;
        const auto answer = answerLogon(
            seen,
            [](TdlgPassword *dialog) {
                dialog->edtUserName->setEditText(u"Anna"_s);
                dialog->edtPassword->setText(u"secret"_s);
            },
            true);
        QByteArray name;
        QByteArray password;
        QVERIFY(runner()->ShowLogonDialog(name, password, false, false));
        QCOMPARE(name, "Anna"_ba);
        QCOMPARE(password, "secret"_ba); // plain text: the component scrambles it
        QCOMPARE(m_security->LastUsers(), (QList<QByteArray> {"Bob"_ba, "Anna"_ba}));
    }

    void silentTry_data()
    {
        QTest::addColumn<QByteArray>("userName");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<bool>("silent");
        QTest::newRow("right password") << "Anna"_ba
                                        << "secret"_ba << true;
        QTest::newRow("created supervisor, empty password") << QByteArray() << QByteArray() << true;
        QTest::newRow("wrong password") << "Anna"_ba
                                        << "Secret"_ba << false;
        QTest::newRow("unknown user") << "Nobody"_ba << QByteArray() << false;
    }
    void silentTry()
    {
        QFETCH(QByteArray, userName);
        QFETCH(QByteArray, password);
        QFETCH(bool, silent);
        MessageCapture capture;
        Seen seen;
        // Answered only when the silent try fails and the dialog appears.
        const auto answer = answerLogon(seen, {}, false);
        QByteArray name = userName;
        QByteArray pw = password;
        const bool result = runner()->ShowLogonDialog(name, pw, true, true);
        QCOMPARE(result, silent);
        QCOMPARE(seen.shown, !silent);
        if (silent) {
            const QByteArray expectedName = userName.isEmpty() ? "Supervisor"_ba : userName;
            QCOMPARE(name, expectedName);
            QCOMPARE(pw, password);
            QCOMPARE(m_security->LastUsers(), QList<QByteArray> {expectedName});
        } else {
            // The dialog opens with what failed, and the failure was silent.
            QCOMPARE(seen.name, QString::fromLatin1(userName));
            QCOMPARE(seen.password, QString::fromLatin1(password));
            QVERIFY(capture.messages.isEmpty());
            QVERIFY(m_security->LastUsers().isEmpty());
        }
    }

    void cancelWhileLoggedOn_data()
    {
        QTest::addColumn<bool>("keep");
        QTest::newRow("keep the logon") << true;
        QTest::newRow("give it up") << false;
    }
    void cancelWhileLoggedOn()
    {
        QFETCH(bool, keep);
        QVERIFY(m_security->Logon("Anna"_ba, "secret"_ba, true));
        const QList<QByteArray> lastUsers = m_security->LastUsers();

        MessageCapture capture(keep);
        Seen seen;
        const auto answer = answerLogon(seen);
        QByteArray name;
        QByteArray password = "passed in"_ba;
        QCOMPARE(runner()->ShowLogonDialog(name, password, false, true), keep);
        QCOMPARE(capture.questions,
                 QStringList {u"Do you want to keep the current logon? If no, all protected "
                              u"functionality will be disabled."_s});
        if (keep)
            QCOMPARE(name, "Anna"_ba);
        QCOMPARE(password, "passed in"_ba);
        QCOMPARE(m_security->LastUsers(), lastUsers);
    }

    void wrongPasswordThenRightOne()
    {
        MessageCapture capture;
        Seen seen;
        const auto answer = answerLogon(
            seen,
            [&capture](TdlgPassword *dialog) {
                dialog->edtUserName->setEditText(u"Anna"_s);
                dialog->edtPassword->setText(u"nope"_s);
                dialog->btnOK->click();
                // Still open, with the message shown; now the right password.
                QCOMPARE(capture.messages.size(), 1);
                QVERIFY(dialog->isVisible());
                dialog->edtPassword->setText(u"secret"_s);
            },
            true);
        QByteArray name;
        QByteArray password;
        QVERIFY(runner()->ShowLogonDialog(name, password, false, false));
        QCOMPARE(name, "Anna"_ba);
        QCOMPARE(password, "secret"_ba);
    }

    void setSecurityCreatesSupervisor_data()
    {
        QTest::addColumn<bool>("emptyTemplate");
        QTest::addColumn<bool>("option");
        QTest::addColumn<int>("users");
        QTest::newRow("empty, option set") << true << true << 1;
        QTest::newRow("empty, option off") << true << false << 0;
        QTest::newRow("not empty, option set") << false << true << 1;
    }
    void setSecurityCreatesSupervisor()
    {
        QFETCH(bool, emptyTemplate);
        QFETCH(bool, option);
        QFETCH(int, users);
        TzkSecurityTemplate *userTemplate = m_security->UserTemplate();
        userTemplate->ClearTemplate();
        if (!emptyTemplate)
            userTemplate->AddUserToUserTemplate(m_security->SecurityTemplate(), "Anna"_ba,
                                                QByteArray(), false);
        auto options = zkSecurity::TzkSecurityOptionSet::defaults();
        m_security->SetOptions(option ? options.with(zkSecurity::soCreateSupervisorIfMissing)
                                      : options.without(zkSecurity::soCreateSupervisorIfMissing));
        runner()->SetSecurity(m_security.get());
        QCOMPARE(runner()->UserTemplate(), userTemplate);
        QCOMPARE(runner()->SecurityTemplate(), m_security->SecurityTemplate());
        QCOMPARE(userTemplate->topLevelCount(), users);
        if (!emptyTemplate || !option) {
            QVERIFY(!userTemplate->GetUserNodeByUserName("Supervisor"_ba));
            return;
        }
        // Every right granted, the password empty: the box may stay empty.
        const QStringList lines = texts(userTemplate);
        QCOMPARE(lines.size(), 3 + m_security->SecurityTemplate()->count() - 1);
        for (const QString &line : lines) {
            if (line.contains(u'('))
                QVERIFY2(line.endsWith(u" (Yes)"_s) || line.endsWith(u"Password(********)"_s),
                         qPrintable(line));
        }
        QByteArray name;
        QByteArray password;
        QVERIFY(runner()->ShowLogonDialog(name, password, true, true));
        QCOMPARE(name, "Supervisor"_ba);
    }

    void resetPasswordIsChangedRightAfterTheLogon_data()
    {
        QTest::addColumn<bool>("choose");
        QTest::newRow("a new password chosen") << true;
        QTest::newRow("cancelled") << false;
    }
    void resetPasswordIsChangedRightAfterTheLogon()
    {
        QFETCH(bool, choose);
        zkSecurity::TreeNode *anna =
            m_security->UserTemplate()->GetUserNodeByUserName("Anna"_ba)->firstChild();
        zkSecurity::SetUserPassword(anna, "secret"_ba, std::nullopt, true);
        std::unique_ptr<ModalAnswer> newPassword;
        Seen seen;
        const auto answer = answerLogon(
            seen,
            [&](TdlgPassword *dialog) {
                dialog->edtUserName->setEditText(u"Anna"_s);
                dialog->edtPassword->setText(u"secret"_s);
                newPassword = std::make_unique<ModalAnswer>([&](QWidget *modal) {
                    auto *change = qobject_cast<zkUserPasswordDlg::TdlgUserPassword *>(modal);
                    QVERIFY(change && !change->edtCurrentPassword->isVisible());
                    change->edtNewPassword->setText(u"anna-pw-2"_s);
                    change->edtNewPasswordRetype->setText(u"anna-pw-2"_s);
                    (choose ? change->OKBtn : change->CancelBtn)->click();
                });
            },
            true);
        QByteArray name;
        QByteArray password;
        QCOMPARE(runner()->ShowLogonDialog(name, password, false, false), choose);
        QVERIFY(newPassword && newPassword->answered());
        QCOMPARE(zkSecurity::PasswordHash::mustChange(*anna->data()), !choose);
        QCOMPARE(password, choose ? "anna-pw-2"_ba : QByteArray());
        QVERIFY(zkSecurity::PasswordHash::matches(anna->data(), choose ? password : "secret"_ba));
    }
};

RIGHTSMITH_TEST_MAIN(tst_TzkSecurityDialogs)
#include "tst_tzksecuritydialogs.moc"
