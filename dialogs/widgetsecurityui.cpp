// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "dialogs/dialogsupport_p.h"
#include "dialogs/tdlgpassword.h"
#include "dialogs/tdlguserpassword.h"
#include "dialogs/tfrmsecurity.h"
#include "dialogs/widgetsecurityui_p.h"

#include <QCoreApplication>
#include <QLineEdit>

namespace zkSecurity {

namespace {

DialogResult resultOf(int code)
{
    switch (code) {
    case QDialog::Accepted:
        return DialogResult::Accepted;
    case QDialog::Rejected:
        return DialogResult::Rejected;
    default:
        return DialogResult::Other;
    }
}

class WidgetLogonDialog final : public LogonDialog
{
public:
    void SetShowCheckedOKOnly(bool value) override { m_dialog.ShowCheckedOKOnly = value; }
    void SetTemplates(TzkSecurityTemplate *userTemplate,
                      TzkSecurityTemplate *securityTemplate) override
    {
        m_dialog.UserTemplate = userTemplate;
        m_dialog.SecurityTemplate = securityTemplate;
    }
    QByteArray UserName() const override { return m_dialog.userName(); }
    void SetUserName(const QByteArray &name) override { m_dialog.setUserName(name); }
    QByteArray Password() const override { return m_dialog.password(); }
    void SetPassword(const QByteArray &password) override { m_dialog.setPassword(password); }
    void SetRecentUsers(const QList<QByteArray> &names) override { m_dialog.setRecentUsers(names); }
    void SetLogonCheck(const LogonCheck *check) override { m_dialog.Check = check; }
    void SetRoleTemplate(TzkSecurityTemplate *roleTemplate) override
    {
        m_dialog.RoleTemplate = roleTemplate;
    }
    bool CheckUserPassword() override { return m_dialog.CheckUserPassword(); }
    DialogResult Exec() override { return resultOf(m_dialog.exec()); }

private:
    zkEntryPasswordDlg::TdlgPassword m_dialog;
};

class WidgetUserManagementDialog final : public UserManagementDialog
{
public:
    explicit WidgetUserManagementDialog(TzkSecurityTemplate *securityTemplate)
    {
        m_dialog.SecurityTemplate = securityTemplate;
    }
    TzkSecurityTemplate *EditedTemplate() override { return m_dialog.ftvUserTemplate(); }
    void SetSupervisorMode(bool value) override { m_dialog.SupervisorMode = value; }
    void SetLogonCheck(const LogonCheck *check, const QByteArray &actor) override
    {
        m_dialog.Check = check;
        m_dialog.Actor = actor;
    }
    void SetReadOnlyReason(const QString &reason) override { m_dialog.ReadOnlyReason = reason; }
    TzkSecurityTemplate *EditedRoleTemplate() override { return m_dialog.ftvRoleTemplate(); }
    void SetRolesShown(bool value) override { m_dialog.ShowRoles = value; }
    DialogResult Exec() override { return resultOf(m_dialog.exec()); }

private:
    zkDlgSecurity::TfrmSecurity m_dialog;
};

} // namespace

std::unique_ptr<LogonDialog> WidgetSecurityUi::CreateLogonDialog()
{
    return std::make_unique<WidgetLogonDialog>();
}

std::unique_ptr<UserManagementDialog>
WidgetSecurityUi::CreateUserManagementDialog(TzkSecurityTemplate *securityTemplate)
{
    return std::make_unique<WidgetUserManagementDialog>(securityTemplate);
}

std::optional<QByteArray>
WidgetSecurityUi::AskNewPassword(const QByteArray &userName, const PasswordRules &rules,
                                 const std::optional<PasswordHashCost> &cost)
{
    zkUserPasswordDlg::TdlgUserPassword dialog;
    dialog.NewPasswordCost = cost;
    dialog.Rules = rules;
    dialog.UserName = userName;
    dialog.askNewPasswordOnly(
        QCoreApplication::translate("zkSecurity::WidgetSecurityUi", "Change Password"),
        QCoreApplication::translate("zkSecurity::WidgetSecurityUi",
                                    "%1, your password must be changed before you go on.")
            .arg(rightsmith::dialogsupport::decoded(userName)));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return rightsmith::dialogsupport::encoded(dialog.edtNewPassword->text());
}

} // namespace zkSecurity
