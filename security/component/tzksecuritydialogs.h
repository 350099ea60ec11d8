#pragma once

#include "rightsmithcore_export.h"

#include <QByteArray>

namespace zkSecurity {

class TzkSecurity;
class TzkSecurityTemplate;

/// Runs the logon dialog for the security component, and creates the
/// built-in "Supervisor" in an empty user template when the component asks.
class RIGHTSMITH_CORE_EXPORT TzkSecurityDialogs
{
public:
    TzkSecurityDialogs() = default;

    /// Stores the component and its two trees; adds "Supervisor" (empty
    /// password, every right) to an empty user template with soCreateSupervisorIfMissing.
    void SetSecurity(TzkSecurity *security);

    /// Shows the logon dialog (or first tries \a userName / \a password
    /// silently). True: log \a userName on with the plain-text \a password.
    bool ShowLogonDialog(QByteArray &userName, QByteArray &password, bool silentTry,
                         bool showCheckedOKOnly);

    TzkSecurity *Security() const { return m_security; }
    TzkSecurityTemplate *UserTemplate() const { return m_userTemplate; }
    TzkSecurityTemplate *SecurityTemplate() const { return m_securityTemplate; }

private:
    TzkSecurity *m_security = nullptr;
    TzkSecurityTemplate *m_userTemplate = nullptr;
    TzkSecurityTemplate *m_securityTemplate = nullptr;
};

} // namespace zkSecurity
