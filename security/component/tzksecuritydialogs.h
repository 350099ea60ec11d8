// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QByteArray>

namespace zkSecurity {

class LogonCheck;
class SecurityUi;
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
    /// A user whose password must be changed (LogonCheck::mustChangePassword)
    /// is asked for a new one first, which \a password then holds; when
    /// they cancel, the logon does not happen: false, or, while someone is
    /// logged on, true with that user's name (the logon stays as it was).
    bool ShowLogonDialog(QByteArray &userName, QByteArray &password, bool silentTry,
                         bool showCheckedOKOnly);

    /// The component set with SetSecurity(), or nullptr.
    TzkSecurity *Security() const { return m_security; }
    /// The component's user template, or nullptr.
    TzkSecurityTemplate *UserTemplate() const { return m_userTemplate; }
    /// The component's security template, or nullptr.
    TzkSecurityTemplate *SecurityTemplate() const { return m_securityTemplate; }

private:
    // Asks \a userName for a new password when the one just accepted must be
    // changed (LogonCheck::mustChangePassword), again while one breaks the
    // rules, and stores it in the user template; \a password becomes the
    // new one. False when the user cancelled.
    bool ChangePasswordIfDue(SecurityUi &ui, const LogonCheck &check, const QByteArray &userName,
                             QByteArray &password);

    TzkSecurity *m_security = nullptr;
    TzkSecurityTemplate *m_userTemplate = nullptr;
    TzkSecurityTemplate *m_securityTemplate = nullptr;
};

} // namespace zkSecurity
