// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithwidgets_export.h"

#include <QDialog>

#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace rightsmith::toolkit {
class Action;
}

namespace zkSecurity {
class LogonCheck;
class TreeNode;
class TreeView;
class TzkSecurityTemplate;
} // namespace zkSecurity

namespace zkUserPasswordDlg {
class TdlgUserPassword;
}

namespace zkDlgSecurity {

/// The user management dialog. It edits its own tree, ftvUserTemplate(),
/// which the caller fills with the part of the user template the user may see
/// (see TdlgPassword::CopyUserTemplate) and copies back after OK. Every user
/// can change a password here given the current one; only in SupervisorMode
/// can users be added and removed and rights be toggled.
class RIGHTSMITH_WIDGETS_EXPORT TfrmSecurity : public QDialog
{
    Q_OBJECT
public:
    /// Builds the dialog with an empty user template; \a parent is the owning window.
    explicit TfrmSecurity(QWidget *parent = nullptr);
    /// Runs FormDestroy.
    ~TfrmSecurity() override;

    /// The users being edited; owned by the dialog with their records.
    zkSecurity::TzkSecurityTemplate *ftvUserTemplate() const { return m_userTemplate.get(); }
    /// The view that shows ftvUserTemplate().
    zkSecurity::TreeView *treeView() const { return m_view; }

    /// The dialog was opened for "Supervisor".
    bool SupervisorMode = false;
    /// The component's security template (not owned); new users get their rights from it.
    zkSecurity::TzkSecurityTemplate *SecurityTemplate = nullptr;

    /// The roles being edited beside the users; owned by the dialog with
    /// their records. Shown only when ShowRoles is set in SupervisorMode.
    zkSecurity::TzkSecurityTemplate *ftvRoleTemplate() const { return m_roleTemplate.get(); }
    /// The view that shows ftvRoleTemplate(); nullptr until the roles are shown.
    zkSecurity::TreeView *roleView() const { return m_roleView; }
    /// Show the roles below the users (in SupervisorMode only). A member's
    /// rights then follow the roles and cannot be toggled on the user.
    bool ShowRoles = false;

    /// Says ReadOnlyReason above the tree; hidden when there is none.
    QLabel *lblReadOnly = nullptr;
    /// Closes the dialog with OK; disabled while ReadOnlyReason is set.
    QPushButton *btnOK = nullptr;
    /// Closes the dialog with Cancel.
    QPushButton *btnCancel = nullptr;
    /// Runs actAddUser.
    QPushButton *btnNewUser = nullptr;
    /// Runs actRemoveUser.
    QPushButton *btnDeleteUser = nullptr;
    /// Runs actUnlockUser.
    QPushButton *btnUnlockUser = nullptr;
    /// Runs actResetPassword.
    QPushButton *btnResetPassword = nullptr;
    /// New User (see actAddUserUpdate() and actAddUserExecute()).
    rightsmith::toolkit::Action *actAddUser = nullptr;
    /// Remove User (see actRemoveUserUpdate() and actRemoveUserExecute()).
    rightsmith::toolkit::Action *actRemoveUser = nullptr;
    /// Unlock (see actUnlockUserUpdate() and actUnlockUserExecute()).
    rightsmith::toolkit::Action *actUnlockUser = nullptr;
    /// Reset Password (see actResetPasswordUpdate() and actResetPasswordExecute()).
    rightsmith::toolkit::Action *actResetPassword = nullptr;

    // The roles' controls: made when the dialog is first shown with roles.
    /// The label of the roles' tree.
    QLabel *lblRoles = nullptr;
    /// Names the roles the selected user's rights follow; hidden when they are the user's own.
    QLabel *lblFollowsRoles = nullptr;
    /// Says why the roles cannot be changed; empty when they can.
    QLabel *lblRolesDamaged = nullptr;
    /// Runs actAddRole.
    QPushButton *btnNewRole = nullptr;
    /// Runs actRenameRole.
    QPushButton *btnRenameRole = nullptr;
    /// Runs actRemoveRole.
    QPushButton *btnDeleteRole = nullptr;
    /// Runs actAddMember.
    QPushButton *btnAddMember = nullptr;
    /// Runs actRemoveMember.
    QPushButton *btnRemoveMember = nullptr;
    /// New Role: asks for the name of a new role.
    rightsmith::toolkit::Action *actAddRole = nullptr;
    /// Rename Role: asks for a new name of the selected role.
    rightsmith::toolkit::Action *actRenameRole = nullptr;
    /// Remove Role: removes the selected role after asking.
    rightsmith::toolkit::Action *actRemoveRole = nullptr;
    /// Add Member: asks for a user to add to the selected role.
    rightsmith::toolkit::Action *actAddMember = nullptr;
    /// Remove Member: takes the selected member out of its role.
    rightsmith::toolkit::Action *actRemoveMember = nullptr;

    /// The component's logon check, whose locks Unlock clears (not owned);
    /// Unlock is shown only when it throttles logons.
    const zkSecurity::LogonCheck *Check = nullptr;
    /// Who clears a lock, for the audit trail.
    QByteArray Actor;
    /// When not empty, why the users cannot be changed: the dialog says so
    /// above the tree and OK is disabled.
    QString ReadOnlyReason;

    /// New User is enabled exactly in SupervisorMode.
    void actAddUserUpdate(rightsmith::toolkit::Action *sender);
    /// Remove User is enabled in SupervisorMode while a node of a user other
    /// than "Supervisor" is selected.
    void actRemoveUserUpdate(rightsmith::toolkit::Action *sender);
    /// Asks for a name (TdlgNewUser) and appends that user with an empty
    /// password and every right granted.
    void actAddUserExecute(rightsmith::toolkit::Action *sender);
    /// Removes the whole user of the selected node, without asking.
    void actRemoveUserExecute(rightsmith::toolkit::Action *sender);
    /// Unlock is shown when the dialog is shown with a Check that throttles
    /// logons, and enabled in SupervisorMode while a user's node is selected.
    void actUnlockUserUpdate(rightsmith::toolkit::Action *sender);
    /// Forgets the failed logons of the selected user and says so.
    void actUnlockUserExecute(rightsmith::toolkit::Action *sender);
    /// Reset Password is shown in SupervisorMode when the dialog is shown
    /// with a Check whose hardening allows resets, and enabled while a node
    /// of a user other than "Supervisor" is selected ("Supervisor" changes
    /// its own password, knowing it, on its password node).
    void actResetPasswordUpdate(rightsmith::toolkit::Action *sender);
    /// Asks for a new password for the selected user (typed twice, kept by
    /// the rules) and stores it marked to be changed at the next logon.
    void actResetPasswordExecute(rightsmith::toolkit::Action *sender);
    /// On a user's password node: the change-password dialog. On a right, in
    /// SupervisorMode only: toggles it, unless the user's rights follow
    /// roles. Anything else: nothing.
    void tvDblClick();
    /// On a right of a role: toggles it for the role and its members.
    void tvRolesDblClick();
    /// Clears the tree and frees its records.
    void FormDestroy();

protected:
    /// Makes Unlock, Reset Password, the read-only line and OK follow Check and ReadOnlyReason, and
    /// shows the roles when asked to.
    void showEvent(QShowEvent *event) override;

private:
    // The constructor's steps, called in the order the widgets are created in.
    void createTreeView();
    // A read-only view of \a tree without a header.
    zkSecurity::TreeView *newTreeView(zkSecurity::TzkSecurityTemplate *tree, const QString &name,
                                      const QString &accessibleName);
    void createActions();
    QVBoxLayout *createButtonColumn();
    QVBoxLayout *createTreeColumn();
    // The roles' tree, labels, actions and buttons, added to the columns.
    void createRoles();
    void createRoleActions();
    bool rolesShown() const { return m_roleView != nullptr; }
    // The role of the selected node of the roles' tree; empty when none.
    QByteArray selectedRole() const;
    // The selected member node of the roles' tree, or nullptr.
    zkSecurity::TreeNode *selectedMember() const;
    // What \a userName's rights follow; empty when they are the user's own.
    QByteArrayList rolesOf(const QByteArray &userName) const;
    // After any change of the roles: the members' rights follow, the line says so.
    void rolesChanged();
    void updateFollowsRolesLine();
    // Asks for a role name, starting from \a name, until \a apply takes one
    // or the user cancels; a refusal shows the reason. True when taken.
    bool askRoleName(const QString &title, const QString &name,
                     const std::function<bool(const QByteArray &, QString *)> &apply);
    void askAddMember();
    void askRemoveRole();

    /// The selected node when it is a user's password node, with its stored password.
    zkSecurity::TreeNode *selectedPasswordNode(QByteArray &storedPassword) const;
    /// Delete on the tree: asks, then presses Remove User where it is enabled.
    void askRemoveUser();
    void changePassword(zkSecurity::TreeNode *passwordNode, const QByteArray &storedPassword);
    static void toggleRight(zkSecurity::TreeNode *rightNode);
    /// The password dialog for \a userName's new password, with the cost and rules.
    std::unique_ptr<zkUserPasswordDlg::TdlgUserPassword>
    newPasswordDialog(const QByteArray &userName) const;
    /// Stores \a typed as the password of \a passwordNode (marked to be
    /// changed at the next logon when \a mustChange); a failure is shown.
    void storeNewPassword(zkSecurity::TreeNode *passwordNode, const QString &typed,
                          bool mustChange);

    std::unique_ptr<zkSecurity::TzkSecurityTemplate> m_userTemplate;
    std::unique_ptr<zkSecurity::TzkSecurityTemplate> m_roleTemplate;
    zkSecurity::TreeView *m_view = nullptr;
    zkSecurity::TreeView *m_roleView = nullptr;
    QVBoxLayout *m_treeColumn = nullptr;
    QVBoxLayout *m_buttonColumn = nullptr;
    bool m_rolesDamaged = false;
};

} // namespace zkDlgSecurity
