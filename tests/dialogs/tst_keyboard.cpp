// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The security dialogs by keyboard alone: Tab visits every control in order,
// every button and label has a mnemonic that Alt reaches, and every control
// has an accessible name.
#include "dialogs/tdlgnewuser.h"
#include "dialogs/tdlgpassword.h"
#include "dialogs/tdlguserpassword.h"
#include "dialogs/tfrmsecurity.h"
#include "security/component/logoncheck.h"
#include "security/model/roles.h"
#include "security/model/tree.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/userstore.h"
#include "securityfixture.h"
#include "support/testsupport.h"
#include "toolkit/widgets/idleupdater.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_Keyboard : public QObject
{
    Q_OBJECT

private slots:
    void walkEveryDialog_data();
    void walkEveryDialog();
};

void tst_Keyboard::walkEveryDialog_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QStringList>("tabOrder");
    // The logon dialog's password box comes first and its name box last.
    QTest::newRow("logon") << u"logon"_s
                           << QStringList {u"edtPassword"_s, u"btnOK"_s, u"btnCancel"_s,
                                           u"btnSecurity"_s, u"edtUserName"_s};
    QTest::newRow("user management")
        << u"management"_s
        << QStringList {u"ftvUserTemplate"_s, u"btnOK"_s,         u"btnCancel"_s,
                        u"btnNewUser"_s,      u"btnDeleteUser"_s, u"btnUnlockUser"_s,
                        u"btnResetPassword"_s};
    QTest::newRow("user management with roles")
        << u"roles"_s
        << QStringList {u"ftvUserTemplate"_s, u"ftvRoleTemplate"_s,  u"btnOK"_s,
                        u"btnCancel"_s,       u"btnNewUser"_s,       u"btnDeleteUser"_s,
                        u"btnUnlockUser"_s,   u"btnResetPassword"_s, u"btnAddRole"_s,
                        u"btnRenameRole"_s,   u"btnRemoveRole"_s,    u"btnAddMember"_s,
                        u"btnRemoveMember"_s};
    QTest::newRow("new user") << u"new user"_s
                              << QStringList {u"edtNewUserName"_s, u"OKBtn"_s, u"CancelBtn"_s};
    QTest::newRow("change password")
        << u"password"_s
        << QStringList {u"edtCurrentPassword"_s, u"edtNewPassword"_s, u"edtNewPasswordRetype"_s,
                        u"OKBtn"_s, u"CancelBtn"_s};
}

void tst_Keyboard::walkEveryDialog()
{
    QFETCH(QString, dialog);
    QFETCH(QStringList, tabOrder);
    testsupport::TemporaryHome home;
    zkSecurity::TzkSecurityTemplate rights;
    fixture::fillSecurityTemplate(&rights);
    // Every command enabled: "Supervisor" with Anna selected, under a check
    // that throttles logons (which shows Unlock), with the password reset on.
    zkSecurity::UserStoreSettings store;
    store.key = u"Test"_s;
    store.hardening.throttleLogons = true;
    store.hardening.passwordReset = true;
    const zkSecurity::LogonCheck check(store);
    zkDlgSecurity::TfrmSecurity management;
    management.SecurityTemplate = &rights;
    management.SupervisorMode = true;
    management.Check = &check;
    zkSecurity::TzkSecurityTemplate *users = management.ftvUserTemplate();
    users->AddUserToUserTemplate(&rights, "Supervisor"_ba, {}, true);
    users->AddUserToUserTemplate(&rights, "Anna"_ba, {}, true);
    users->setSelected(users->GetUserNodeByUserName("Anna"_ba));

    // Roles: Anna in Sales, her membership selected, which enables every role command.
    zkSecurity::Roles roles(*management.ftvRoleTemplate(), *users);
    roles.AddRole("Sales"_ba, rights.firstNode());
    roles.Assign("Sales"_ba, "Anna"_ba);
    management.ShowRoles = dialog == u"roles"_s;

    std::unique_ptr<QDialog> shown;
    if (dialog == u"logon"_s) {
        auto logon = std::make_unique<zkEntryPasswordDlg::TdlgPassword>();
        logon->setUserName("Anna"_ba);
        shown = std::move(logon);
    } else if (dialog == u"new user"_s) {
        management.show();
        auto newUser = std::make_unique<zkNewUserDlg::TdlgNewUser>(&management);
        newUser->edtNewUserName->setText(u"Boris"_s);
        shown = std::move(newUser);
    } else if (dialog == u"password"_s) {
        shown = std::make_unique<zkUserPasswordDlg::TdlgUserPassword>();
    }
    QDialog *walked = shown ? shown.get() : &management;
    walked->show();
    management.ftvRoleTemplate()->setSelected(
        management.ftvRoleTemplate()->firstTopLevel("Sales"_ba)->item(1)->item(0));
    rightsmith::toolkit::IdleUpdater::runPass();
    const QStringList problems = testsupport::keyboardProblems(walked, tabOrder);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
}

RIGHTSMITH_TEST_MAIN(tst_Keyboard)
#include "tst_keyboard.moc"
