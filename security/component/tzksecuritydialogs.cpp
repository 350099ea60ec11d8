// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The dialog runner: prepares, runs and reads back the logon dialog for the
// security component, and creates "Supervisor" in an empty user template.
#include "security/component/tzksecuritydialogs.h"

#include "security/component/logoncheck.h"
#include "security/component/securityui.h"
#include "security/component/tzksecurity.h"
#include "security/component/usermanagement.h"
#include "security/model/tree.h"
#include "security/model/tzksecuritytemplate.h"
#include "toolkit/error.h"
#include "toolkit/logging_p.h"
#include "toolkit/messagebox.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <memory>

using rightsmith::logging::lcSecurity;

using namespace Qt::StringLiterals;

namespace zkSecurity {

namespace {

SecurityUi *s_ui = nullptr;

} // namespace

SecurityUi *SecurityUi::Installed()
{
    return s_ui;
}

SecurityUi *SecurityUi::Install(SecurityUi *ui)
{
    SecurityUi *previous = s_ui;
    s_ui = ui;
    return previous;
}

void TzkSecurityDialogs::SetSecurity(TzkSecurity *security)
{
    m_security = security;
    m_userTemplate = security ? security->UserTemplate() : nullptr;
    m_securityTemplate = security ? security->SecurityTemplate() : nullptr;
    // Never over a stored user template that could not be read: that would
    // hand the administrator's rights to whoever damaged it.
    if (!m_userTemplate || m_userTemplate->count() != 0
        || !security->Options().contains(soCreateSupervisorIfMissing)
        || security->UsersUnreadable())
        return;
    m_userTemplate->AddUserToUserTemplate(m_securityTemplate, SupervisorName, QByteArray(), true);
}

bool TzkSecurityDialogs::ShowLogonDialog(QByteArray &userName, QByteArray &password, bool silentTry,
                                         bool showCheckedOKOnly)
{
    SecurityUi *ui = SecurityUi::Installed();
    if (!ui) {
        qCCritical(lcSecurity,
                   "No logon dialog: install the widget library's dialogs with "
                   "rightsmith::installWidgets(). Nobody is logged on.");
        return false;
    }
    // The component's store and hardening; plain comparison without a component.
    const LogonCheck check = m_security ? m_security->CreateLogonCheck() : LogonCheck();
    // Freed on every way out, an exception included.
    const std::unique_ptr<LogonDialog> dialog = ui->CreateLogonDialog();
    dialog->SetShowCheckedOKOnly(showCheckedOKOnly);
    dialog->SetLogonCheck(&check);

    static const QList<QByteArray> noUsers;
    const QList<QByteArray> &lastUsers = m_security ? m_security->LastUsers() : noUsers;
    QByteArray suggested = userName;
    if (suggested.isEmpty())
        suggested = lastUsers.isEmpty() ? SupervisorName : lastUsers.last();
    dialog->SetUserName(suggested);
    dialog->SetPassword(password);
    dialog->SetTemplates(m_userTemplate, m_securityTemplate);
    dialog->SetRoleTemplate(m_security ? m_security->EditableRoleTemplate() : nullptr);

    const auto accept = [&] {
        const QByteArray name = dialog->UserName();
        QByteArray typed = dialog->Password();
        // A password that must be changed first: without the new one the
        // logon does not happen, and whoever was logged on stays so.
        if (!ChangePasswordIfDue(*ui, check, name, typed)) {
            if (!m_security || !m_security->LoggedOn())
                return false;
            userName = m_security->CurrentUserName();
            return true;
        }
        userName = name;
        if (m_security)
            m_security->AddLastUser(userName);
        password = typed;
        return true;
    };

    // The dialog is not visible, so a failed silent check shows nothing.
    if (silentTry && dialog->CheckUserPassword())
        return accept();

    dialog->SetRecentUsers(lastUsers);
    switch (dialog->Exec()) {
    case DialogResult::Accepted:
        return accept();
    case DialogResult::Rejected:
        if (!m_security || !m_security->LoggedOn())
            return false;
        if (!rightsmith::toolkit::askYesNo(QCoreApplication::translate(
                "zkSecurity::TzkSecurityDialogs",
                "Do you want to keep the current logon? If no, all protected "
                "functionality will be disabled.")))
            return false;
        // The same user again, with the password as it was passed in; the
        // recent users stay as they are.
        userName = m_security->CurrentUserName();
        return true;
    case DialogResult::Other:
        break;
    }
    return false;
}

bool TzkSecurityDialogs::ChangePasswordIfDue(SecurityUi &ui, const LogonCheck &check,
                                             const QByteArray &userName, QByteArray &password)
{
    if (!m_userTemplate || !check.mustChangePassword(*m_userTemplate, userName, password))
        return true;
    TreeNode *user = m_userTemplate->GetUserNodeByUserName(userName);
    TreeNode *passwordNode = user ? user->firstChild() : nullptr;
    // A damaged user without a password node has nowhere to keep a new one.
    if (!passwordNode)
        return true;
    const PasswordRules &rules = check.hardening().passwordRules;
    for (;;) {
        const std::optional<QByteArray> chosen =
            ui.AskNewPassword(userName, rules, m_userTemplate->NewPasswordCost());
        if (!chosen)
            return false;
        // The dialog keeps the rules itself; this holds for any interface.
        if (const QString broken = rules.check(*chosen, userName); !broken.isEmpty()) {
            rightsmith::toolkit::showWarning(broken);
            continue;
        }
        try {
            SetUserPassword(passwordNode, *chosen, m_userTemplate->NewPasswordCost());
        } catch (const rightsmith::toolkit::Error &error) {
            rightsmith::toolkit::showWarning(error.message());
            continue;
        }
        password = *chosen;
        return true;
    }
}

} // namespace zkSecurity
