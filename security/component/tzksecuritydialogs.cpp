// The dialog runner: prepares, runs and reads back the logon dialog for the
// security component, and creates "Supervisor" in an empty user template.
#include "security/component/tzksecuritydialogs.h"

#include "security/component/logoncheck.h"
#include "security/component/securityui.h"
#include "security/component/tzksecurity.h"
#include "security/model/tzksecuritytemplate.h"
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

    const auto accept = [&] {
        userName = dialog->UserName();
        if (m_security)
            m_security->AddLastUser(userName);
        password = dialog->Password();
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

} // namespace zkSecurity
