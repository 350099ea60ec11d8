// The dialog runner: prepares, runs and reads back the logon dialog for the
// security component, and creates "Supervisor" in an empty user template.
#include "security/tzksecuritydialogs.h"

#include "dialogs/tdlgpassword.h"
#include "security/tzksecurity.h"
#include "security/tzksecuritytemplate.h"
#include "toolkit/messagebox.h"

#include <QDialog>

#include <memory>

using namespace Qt::StringLiterals;

namespace zkSecurity {

namespace {

const QByteArray supervisorName = QByteArrayLiteral("Supervisor");

} // namespace

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
    m_userTemplate->AddUserToUserTemplate(m_securityTemplate, supervisorName, QByteArray(), true);
}

bool TzkSecurityDialogs::ShowLogonDialog(QByteArray &userName, QByteArray &password, bool silentTry,
                                         bool showCheckedOKOnly)
{
    // Freed on every way out, an exception included.
    const auto dialog = std::make_unique<zkEntryPasswordDlg::TdlgPassword>(nullptr);
    dialog->ShowCheckedOKOnly = showCheckedOKOnly;

    static const QList<QByteArray> noUsers;
    const QList<QByteArray> &lastUsers = m_security ? m_security->LastUsers() : noUsers;
    QByteArray suggested = userName;
    if (suggested.isEmpty())
        suggested = lastUsers.isEmpty() ? supervisorName : lastUsers.last();
    dialog->setUserName(suggested);
    dialog->setPassword(password);
    dialog->UserTemplate = m_userTemplate;
    dialog->SecurityTemplate = m_securityTemplate;

    const auto accept = [&] {
        userName = dialog->userName();
        if (m_security)
            m_security->AddLastUser(userName);
        password = dialog->password();
        return true;
    };

    // The dialog is not visible, so a failed silent check shows nothing.
    if (silentTry && dialog->CheckUserPassword())
        return accept();

    dialog->setRecentUsers(lastUsers);
    switch (dialog->exec()) {
    case QDialog::Accepted:
        return accept();
    case QDialog::Rejected:
        if (!m_security || !m_security->LoggedOn())
            return false;
        if (!rightsmith::toolkit::askYesNo(
                u"Do you want to keep the current logon? If no, all protected "
                u"functionality will be disabled."_s))
            return false;
        // The same user again, with the password as it was passed in; the
        // recent users stay as they are.
        userName = m_security->CurrentUserName();
        return true;
    default:
        return false;
    }
}

} // namespace zkSecurity
