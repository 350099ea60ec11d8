// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithwidgets_export.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace rightsmith::toolkit {
class Action;
}

namespace zkDlgSecurity {
class TfrmSecurity;
}

namespace zkNewUserDlg {

/// Asks for the name of a new user. OK is enabled only for a non-empty name
/// (taken as typed, never trimmed) that no top-level node of the owning
/// management dialog's tree carries yet. After OK the caller reads
/// edtNewUserName and adds the user.
class RIGHTSMITH_WIDGETS_EXPORT TdlgNewUser : public QDialog
{
    Q_OBJECT
public:
    /// \a owner is the management dialog whose tree holds the existing users.
    explicit TdlgNewUser(zkDlgSecurity::TfrmSecurity *owner);
    ~TdlgNewUser() override;

    /// "User Name", the label of edtNewUserName.
    QLabel *lblNewUserName = nullptr;
    /// The name box; the caller reads the new user's name here after OK.
    QLineEdit *edtNewUserName = nullptr;
    /// Runs actOK.
    QPushButton *OKBtn = nullptr;
    /// Closes the dialog with Cancel.
    QPushButton *CancelBtn = nullptr;
    /// OK: closes the dialog with OK while actOKUpdate() enables it.
    rightsmith::toolkit::Action *actOK = nullptr;

    /// Enables \a sender exactly when the name is not empty and no user of
    /// the owner's tree has exactly that name (letter case counts).
    void actOKUpdate(rightsmith::toolkit::Action *sender);

private:
    zkDlgSecurity::TfrmSecurity *m_owner;
};

} // namespace zkNewUserDlg
