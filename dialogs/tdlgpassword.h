// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithwidgets_export.h"
#include "security/component/logoncheck.h"

#include <QByteArray>
#include <QDialog>
#include <QList>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace rightsmith::toolkit {
class Action;
}

namespace zkSecurity {
class TzkSecurityTemplate;
}

namespace zkEntryPasswordDlg {

/// The logon dialog: asks for a user name and a password and closes with OK
/// only when they match the user template. Its Security button opens the user
/// management dialog for the typed user without logging on.
///
/// The dialog runner creates it, sets the members and the two texts, then
/// either calls CheckUserPassword() silently or shows it, and reads the texts
/// back. The dialog owns none of the templates it refers to.
class RIGHTSMITH_WIDGETS_EXPORT TdlgPassword : public QDialog
{
    Q_OBJECT
public:
    /// Builds the dialog with empty boxes; \a parent is the owning window.
    explicit TdlgPassword(QWidget *parent = nullptr);
    ~TdlgPassword() override;

    /// Only granted rights (and no empty category) for users other than "Supervisor".
    bool ShowCheckedOKOnly = false;
    /// The component's user template: users, scrambled passwords, rights.
    zkSecurity::TzkSecurityTemplate *UserTemplate = nullptr;
    /// The component's security template; its image list goes to the management tree.
    zkSecurity::TzkSecurityTemplate *SecurityTemplate = nullptr;
    /// The component's check of a logon (hashed passwords, throttling, the
    /// trail); not owned. Without one, passwords are compared as stored.
    const zkSecurity::LogonCheck *Check = nullptr;
    /// The component's role template, which "Supervisor" edits beside the
    /// users after Security; not owned. Without one, no roles are shown.
    zkSecurity::TzkSecurityTemplate *RoleTemplate = nullptr;

    /// "Enter user name:", the label of edtUserName.
    QLabel *lblUserName = nullptr;
    /// Editable drop-down: free text plus the recently logged-on users.
    QComboBox *edtUserName = nullptr;
    /// "Enter password:", the label of edtPassword.
    QLabel *Label1 = nullptr;
    /// The password box; it hides what is typed.
    QLineEdit *edtPassword = nullptr;
    /// Runs actOK.
    QPushButton *btnOK = nullptr;
    /// Closes the dialog with Cancel.
    QPushButton *btnCancel = nullptr;
    /// Runs actSecurity.
    QPushButton *btnSecurity = nullptr;
    /// OK (see actOKUpdate() and actOKExecute()).
    rightsmith::toolkit::Action *actOK = nullptr;
    /// Security (see actOKUpdate() and actSecurityExecute()).
    rightsmith::toolkit::Action *actSecurity = nullptr;

    /// The user name and password boxes as bytes of the code page.
    QByteArray userName() const;
    /// Shows \a name, decoded from the code page, in the user name box.
    void setUserName(const QByteArray &name);
    /// The password box's text in the code page; empty when the code page cannot hold it.
    QByteArray password() const;
    /// Shows \a password, decoded from the code page, in the password box.
    void setPassword(const QByteArray &password);
    /// Fills the drop-down list of the user name box with \a names in their
    /// order; the box keeps the text it shows.
    void setRecentUsers(const QList<QByteArray> &names);

    /// True when a user with exactly the typed name exists and the typed
    /// password is theirs (through Check, when set). Otherwise false; while the
    /// dialog is visible it then shows "Wrong user name or password." (or, when
    /// attempts for the name must wait, how long) and puts the focus in the
    /// user name box.
    bool CheckUserPassword();

    /// Copies into \a Dest the part of \a Source that \a UserName may see.
    /// "Supervisor" (exactly) gets a full copy of Source, whatever
    /// \a ShowCheckedOKOnly says. Anyone else: Dest's first node of that name is
    /// removed and every top-level node of Source with that name is appended,
    /// its rights filtered (with \a ShowCheckedOKOnly only granted ones), and
    /// with \a ShowCheckedOKOnly the categories left empty are removed.
    static void CopyUserTemplate(zkSecurity::TzkSecurityTemplate *Source,
                                 zkSecurity::TzkSecurityTemplate *Dest, const QByteArray &UserName,
                                 bool ShowCheckedOKOnly);

    /// After the management dialog ended with OK for a user other than
    /// "Supervisor": copies the whole record of \a UserName's password node
    /// (the first child) from \a Edited onto the one in \a UserTemplate.
    /// Nothing else is taken over.
    static void TakeOverPassword(zkSecurity::TzkSecurityTemplate *Edited,
                                 zkSecurity::TzkSecurityTemplate *UserTemplate,
                                 const QByteArray &UserName);

    /// OK and Security are enabled exactly when the user name box is not empty (untrimmed).
    void actOKUpdate(rightsmith::toolkit::Action *sender);
    /// Closes with OK only after a successful CheckUserPassword().
    void actOKExecute(rightsmith::toolkit::Action *sender);
    /// With valid credentials: the user management dialog for the typed user;
    /// its changes reach UserTemplate when it ends with OK.
    void actSecurityExecute(rightsmith::toolkit::Action *sender);

private:
    // The constructor's steps, called in the order the widgets are created in.
    void createEntryBoxes();
    void createActions();
    QDialogButtonBox *createButtons();
    void layOut(QDialogButtonBox *box);

    bool checkTyped(zkSecurity::LogonCheck::Attempt attempt);
};

} // namespace zkEntryPasswordDlg
