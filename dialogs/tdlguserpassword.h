// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithwidgets_export.h"
#include "security/hardening/passwordrules.h"
#include "security/model/passwordhash.h"
#include "security/model/tzknoderecord.h"

#include <QByteArray>
#include <QDialog>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace rightsmith::toolkit {
class Action;
}

namespace zkUserPasswordDlg {

/// Changes a password: asks for the current one, the new one and the new one
/// again, and closes with OK only when the current password is right, the
/// two new ones agree and the new one is kept whole in the form it is stored
/// in. It changes no tree itself; after OK the caller reads edtNewPassword
/// and stores it (scrambled, or hashed at NewPasswordCost).
class RIGHTSMITH_WIDGETS_EXPORT TdlgUserPassword : public QDialog
{
    Q_OBJECT
public:
    /// The most characters a scrambled password keeps. The boxes take more:
    /// one cut to this silently would be another password.
    static constexpr int MaxPasswordLength = 40;

    /// Builds the dialog with empty boxes; \a parent is the owning window.
    explicit TdlgUserPassword(QWidget *parent = nullptr);
    ~TdlgUserPassword() override;

    /// The user's stored (scrambled) password, at most 40 characters; set before showing.
    QByteArray CurrentPassword;
    /// The whole record of the user's password node, when known: a hashed
    /// password is checked against it instead of CurrentPassword.
    std::optional<zkSecurity::TzkNodeRecord> CurrentRecord;
    /// How the new password will be stored: hashed at this cost (any length
    /// kept), or scrambled when empty (at most MaxPasswordLength characters).
    std::optional<zkSecurity::PasswordHashCost> NewPasswordCost;

    /// The rules the new password must keep (off by default), and the user
    /// whose password it is, for the rule that it is not the user name.
    zkSecurity::PasswordRules Rules;
    /// The user whose password is changed.
    QByteArray UserName;

    /// Asks for the new password only (a reset, or a change asked for right
    /// after a logon): the current password box is hidden, \a title is the
    /// window's and \a reason, when not empty, stands in Label1 above the
    /// new boxes. Call before showing.
    void askNewPasswordOnly(const QString &title, const QString &reason);

    /// "Current password", or the reason given to askNewPasswordOnly().
    QLabel *Label1 = nullptr;
    /// The current password box.
    QLineEdit *edtCurrentPassword = nullptr;
    /// "New password".
    QLabel *Label2 = nullptr;
    /// The new password box; the caller reads the new password here after OK.
    QLineEdit *edtNewPassword = nullptr;
    /// "Retype new password".
    QLabel *Label3 = nullptr;
    /// The box that repeats the new password.
    QLineEdit *edtNewPasswordRetype = nullptr;
    /// Runs actOK.
    QPushButton *OKBtn = nullptr;
    /// Closes the dialog with Cancel.
    QPushButton *CancelBtn = nullptr;
    /// OK (see actOKExecute()).
    rightsmith::toolkit::Action *actOK = nullptr;

    /// OK: closes the dialog when the current password is the user's (hashed
    /// in CurrentRecord, or Scramble(current) equals CurrentPassword) and both
    /// new boxes agree on a password that can be stored; otherwise shows "Invalid current or new
    /// password. Please retype.", puts the focus in edtCurrentPassword and stays open.
    /// A new password longer than a scrambled one keeps is refused the same
    /// way with a message of its own, the focus in edtNewPassword, and so is
    /// one that breaks Rules, with the message that names the rule.
    void actOKExecute(rightsmith::toolkit::Action *sender);

private:
    bool m_newOnly = false;
};

} // namespace zkUserPasswordDlg
