// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"
#include "security/hardening/passwordrules.h"
#include "security/model/passwordhash.h"

#include <QByteArray>
#include <QList>

#include <memory>
#include <optional>

namespace zkSecurity {

class LogonCheck;
class TzkSecurityTemplate;

/// How a dialog of the security component ended.
enum class DialogResult { Accepted, Rejected, Other };

/// The logon dialog as the component's dialog runner drives it: it is set
/// up, then either checked silently or shown, and its two texts read back.
class RIGHTSMITH_CORE_EXPORT LogonDialog
{
public:
    virtual ~LogonDialog() = default;
    /// Whether a user other than "Supervisor" sees only granted rights (the
    /// option soShowCheckedOKOnly).
    virtual void SetShowCheckedOKOnly(bool value) = 0;
    /// The component's user template (users, passwords, rights) and security template; not owned.
    virtual void SetTemplates(TzkSecurityTemplate *userTemplate,
                              TzkSecurityTemplate *securityTemplate) = 0;
    /// The typed user name, in the code page.
    virtual QByteArray UserName() const = 0;
    /// Shows \a name in the user name box.
    virtual void SetUserName(const QByteArray &name) = 0;
    /// The typed password, in the code page.
    virtual QByteArray Password() const = 0;
    /// Shows \a password in the password box.
    virtual void SetPassword(const QByteArray &password) = 0;
    /// Offers \a names, in their order, in the user name box's list.
    virtual void SetRecentUsers(const QList<QByteArray> &names) = 0;
    /// The check CheckUserPassword() runs (not owned; it outlives the
    /// dialog). Without one, passwords are compared without hardening.
    virtual void SetLogonCheck(const LogonCheck *check) { Q_UNUSED(check); }
    /// The roles its Security button lets "Supervisor" edit beside the
    /// users (not owned; nullptr: no roles).
    virtual void SetRoleTemplate(TzkSecurityTemplate *roleTemplate) { Q_UNUSED(roleTemplate); }
    /// True when the typed user exists and the typed password is theirs.
    virtual bool CheckUserPassword() = 0;
    /// Shows the dialog modally and returns how it was closed.
    virtual DialogResult Exec() = 0;
};

/// The user management dialog: it edits its own copy of the user template.
class RIGHTSMITH_CORE_EXPORT UserManagementDialog
{
public:
    virtual ~UserManagementDialog() = default;
    /// The tree the dialog shows and edits.
    virtual TzkSecurityTemplate *EditedTemplate() = 0;
    /// Whether the dialog was opened for "Supervisor", who may add and remove users and toggle
    /// rights.
    virtual void SetSupervisorMode(bool value) = 0;
    /// The check whose locks the dialog may clear, on behalf of \a actor
    /// (not owned; nullptr when there is none).
    virtual void SetLogonCheck(const LogonCheck *check, const QByteArray &actor)
    {
        Q_UNUSED(check);
        Q_UNUSED(actor);
    }
    /// Why the users cannot be changed now (the shared store is out of
    /// reach), for the dialog to say; empty when they can.
    virtual void SetReadOnlyReason(const QString &reason) { Q_UNUSED(reason); }
    /// The role template the dialog shows and edits beside the users, or
    /// nullptr when it cannot show roles.
    virtual TzkSecurityTemplate *EditedRoleTemplate() { return nullptr; }
    /// Shows the roles of EditedRoleTemplate() (in supervisor mode only).
    virtual void SetRolesShown(bool value) { Q_UNUSED(value); }
    /// Shows the dialog modally and returns how it was closed.
    virtual DialogResult Exec() = 0;
};

/// Where the widget-free component gets its dialogs from. The widget library
/// installs one (rightsmith::installWidgets()); tests install fakes. Without
/// one, nobody can log on and no dialog opens.
class RIGHTSMITH_CORE_EXPORT SecurityUi
{
public:
    virtual ~SecurityUi() = default;
    /// A new logon dialog.
    virtual std::unique_ptr<LogonDialog> CreateLogonDialog() = 0;
    /// A user management dialog whose images and rights come from \a securityTemplate.
    virtual std::unique_ptr<UserManagementDialog>
    CreateUserManagementDialog(TzkSecurityTemplate *securityTemplate) = 0;

    /// Asks \a userName, just logged on, for a new password before going on:
    /// typed twice, kept by \a rules and stored whole at \a cost (scrambled
    /// when empty). The new password; nullopt when the user cancelled, or
    /// when this interface cannot ask (then the logon does not happen).
    virtual std::optional<QByteArray> AskNewPassword(const QByteArray &userName,
                                                     const PasswordRules &rules,
                                                     const std::optional<PasswordHashCost> &cost)
    {
        Q_UNUSED(userName);
        Q_UNUSED(rules);
        Q_UNUSED(cost);
        return std::nullopt;
    }

    /// The installed user interface, or nullptr.
    static SecurityUi *Installed();
    /// Installs \a ui (not owned; nullptr removes it) and returns the one it replaces.
    static SecurityUi *Install(SecurityUi *ui);
};

} // namespace zkSecurity
