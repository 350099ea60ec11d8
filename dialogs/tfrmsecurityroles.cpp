// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The roles of the user management dialog: a second tree below the users,
// in which "Supervisor" adds, renames and removes roles, toggles their rights
// and assigns members. Every change goes through zkSecurity::Roles and is
// applied at once to the dialog's users, so the users show what OK saves.
#include "dialogs/dialogsupport_p.h"
#include "dialogs/tfrmsecurity.h"
#include "security/model/roles.h"
#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/widgets/treeview.h"
#include "toolkit/action.h"
#include "toolkit/messagebox.h"
#include "toolkit/widgets/codecvalidator.h"

#include <QBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace toolkit = rightsmith::toolkit;
namespace support = rightsmith::dialogsupport;

namespace zkDlgSecurity {

namespace {

// The node of \a node's branch at \a level (0 is the role), or nullptr.
zkSecurity::TreeNode *ancestorAt(zkSecurity::TreeNode *node, int level)
{
    while (node && node->level() > level)
        node = node->parent();
    return node && node->level() == level ? node : nullptr;
}

// A right in a role's "Rights" (its first child).
bool isRoleRight(zkSecurity::TreeNode *node)
{
    const zkSecurity::TreeNode *branch = ancestorAt(node, 1);
    return branch && branch->index() == 0 && node->level() > 1 && node->data()
        && node->data()->SecurityId >= 1;
}

QString joined(const QByteArrayList &names)
{
    QStringList shown;
    for (const QByteArray &name : names)
        shown << support::decoded(name);
    return shown.join(u", "_s);
}

} // namespace

void TfrmSecurity::createRoleActions()
{
    const auto add = [this](const QString &name, const QString &text,
                            toolkit::Action::Handler onUpdate, toolkit::Action::Handler onExecute) {
        auto *action = new toolkit::Action(this);
        action->setObjectName(name);
        action->setText(text);
        action->setOnUpdate(std::move(onUpdate));
        action->setOnExecute(std::move(onExecute));
        return action;
    };
    const auto roleSelected = [this](toolkit::Action *sender) {
        sender->setEnabled(!m_rolesDamaged && !selectedRole().isEmpty());
    };
    actAddRole = add(
        u"actAddRole"_s, tr("Ne&w Role…"),
        [this](toolkit::Action *sender) { sender->setEnabled(!m_rolesDamaged); },
        [this](toolkit::Action *) {
            const zkSecurity::TreeNode *source =
                SecurityTemplate ? SecurityTemplate->firstNode() : nullptr;
            askRoleName(tr("New Role"), QString(),
                        [this, source](const QByteArray &name, QString *why) {
                            zkSecurity::Roles roles(*m_roleTemplate, *m_userTemplate);
                            if (!roles.AddRole(name, source, why))
                                return false;
                            m_roleTemplate->setSelected(roles.RoleNode(name));
                            return true;
                        });
        });
    actRenameRole =
        add(u"actRenameRole"_s, tr("Ren&ame Role…"), roleSelected, [this](toolkit::Action *) {
            const QByteArray role = selectedRole();
            askRoleName(tr("Rename Role"), support::decoded(role),
                        [this, role](const QByteArray &name, QString *why) {
                            return zkSecurity::Roles(*m_roleTemplate, *m_userTemplate)
                                .RenameRole(role, name, why);
                        });
        });
    actRemoveRole = add(u"actRemoveRole"_s, tr("Remo&ve Role"), roleSelected,
                        [this](toolkit::Action *) { askRemoveRole(); });
    actAddMember = add(u"actAddMember"_s, tr("A&dd Member…"), roleSelected,
                       [this](toolkit::Action *) { askAddMember(); });
    actRemoveMember = add(
        u"actRemoveMember"_s, tr("Remove &Member"),
        [this](toolkit::Action *sender) {
            sender->setEnabled(!m_rolesDamaged && selectedMember());
        },
        [this](toolkit::Action *) {
            const zkSecurity::TreeNode *member = selectedMember();
            QString why;
            if (!member)
                return;
            if (zkSecurity::Roles(*m_roleTemplate, *m_userTemplate)
                    .Unassign(selectedRole(), member->text(), &why))
                rolesChanged();
            else
                toolkit::showWarning(why);
        });
}

void TfrmSecurity::createRoles()
{
    const QString damage = zkSecurity::Roles(*m_roleTemplate, *m_userTemplate).Damage();
    m_rolesDamaged = !damage.isEmpty();
    createRoleActions();

    m_roleView = newTreeView(m_roleTemplate.get(), u"ftvRoleTemplate"_s,
                             tr("Roles, their rights and members"));
    connect(m_roleView, &zkSecurity::TreeView::nodeDoubleClicked, this,
            [this] { tvRolesDblClick(); });
    // Delete takes out the selected member, or asks to remove the selected role.
    connect(m_roleView, &zkSecurity::TreeView::nodeDeleteRequested, this, [this] {
        if (selectedMember())
            btnRemoveMember->click();
        else
            askRemoveRole();
    });
    connect(m_userTemplate.get(), &zkSecurity::Tree::selectionChanged, this,
            [this] { updateFollowsRolesLine(); });

    lblFollowsRoles = new QLabel(this);
    lblFollowsRoles->setObjectName(u"lblFollowsRoles"_s);
    lblFollowsRoles->setWordWrap(true);
    lblRoles = new QLabel(tr("Ro&les"), this);
    lblRoles->setObjectName(u"lblRoles"_s);
    lblRoles->setBuddy(m_roleView);
    lblRolesDamaged = new QLabel(this);
    lblRolesDamaged->setObjectName(u"lblRolesDamaged"_s);
    lblRolesDamaged->setWordWrap(true);
    lblRolesDamaged->setText(tr("The roles cannot be changed: %1.").arg(damage));
    lblRolesDamaged->setVisible(m_rolesDamaged);
    m_treeColumn->addWidget(lblFollowsRoles);
    m_treeColumn->addWidget(lblRoles);
    m_treeColumn->addWidget(m_roleView, 1);
    m_treeColumn->addWidget(lblRolesDamaged);

    // Below the user commands, before the column's closing stretch.
    const QList<std::pair<QPushButton **, toolkit::Action *>> buttons {
        {&btnNewRole, actAddRole},
        {&btnRenameRole, actRenameRole},
        {&btnDeleteRole, actRemoveRole},
        {&btnAddMember, actAddMember},
        {&btnRemoveMember, actRemoveMember}};
    int at = m_buttonColumn->count() - 1;
    m_buttonColumn->insertSpacing(at++, 8);
    // The roles' tree after the users', their buttons after the users'.
    QWidget *previous = m_view;
    for (QWidget *next :
         {static_cast<QWidget *>(m_roleView), static_cast<QWidget *>(btnOK),
          static_cast<QWidget *>(btnCancel), static_cast<QWidget *>(btnNewUser),
          static_cast<QWidget *>(btnDeleteUser), static_cast<QWidget *>(btnUnlockUser),
          static_cast<QWidget *>(btnResetPassword)}) {
        setTabOrder(previous, next);
        previous = next;
    }
    for (const auto &[button, action] : buttons) {
        const QString name = u"btn"_s + action->objectName().mid(3);
        *button = support::columnButton(this, name, QString());
        support::bindButton(*button, action);
        m_buttonColumn->insertWidget(at++, *button);
        setTabOrder(previous, *button);
        previous = *button;
    }
    // Two trees want more room than the users alone.
    resize(qMax(width(), 560), qMax(height(), 680));
    updateFollowsRolesLine();
}

QByteArray TfrmSecurity::selectedRole() const
{
    const zkSecurity::TreeNode *role = ancestorAt(m_roleTemplate->selected(), 0);
    return role ? role->text() : QByteArray();
}

zkSecurity::TreeNode *TfrmSecurity::selectedMember() const
{
    zkSecurity::TreeNode *node = m_roleTemplate->selected();
    const zkSecurity::TreeNode *branch = ancestorAt(node, 1);
    return branch && branch->index() == 1 && node->level() == 2 ? node : nullptr;
}

QByteArrayList TfrmSecurity::rolesOf(const QByteArray &userName) const
{
    if (!rolesShown() || m_rolesDamaged)
        return {};
    return zkSecurity::Roles(*m_roleTemplate, *m_userTemplate).RolesOfUser(userName);
}

void TfrmSecurity::rolesChanged()
{
    zkSecurity::Roles(*m_roleTemplate, *m_userTemplate).ApplyToUsers();
    updateFollowsRolesLine();
}

void TfrmSecurity::updateFollowsRolesLine()
{
    const zkSecurity::TreeNode *user = m_userTemplate->GetUserNodeForSelected();
    const QByteArrayList roles = user ? rolesOf(user->text()) : QByteArrayList();
    const QString name = user ? support::decoded(user->text()) : QString();
    lblFollowsRoles->setText(roles.size() == 1
                                 ? tr("%1's rights follow the role %2.").arg(name, joined(roles))
                                 : tr("%1's rights follow the roles %2.").arg(name, joined(roles)));
    lblFollowsRoles->setVisible(!roles.isEmpty());
}

bool TfrmSecurity::askRoleName(const QString &title, const QString &name,
                               const std::function<bool(const QByteArray &, QString *)> &apply)
{
    QInputDialog dialog(this);
    dialog.setObjectName(u"dlgRoleName"_s);
    dialog.setWindowTitle(title);
    dialog.setLabelText(tr("&Role Name"));
    dialog.setOkButtonText(tr("&OK"));
    dialog.setCancelButtonText(tr("&Cancel"));
    dialog.setTextValue(name);
    if (auto *edit = dialog.findChild<QLineEdit *>())
        toolkit::refuseUnencodableInput(edit);
    while (dialog.exec() == QDialog::Accepted) {
        const auto typed = support::encoded(dialog.textValue());
        QString why;
        if (typed && apply(*typed, &why)) {
            rolesChanged();
            return true;
        }
        toolkit::showWarning(why);
    }
    return false;
}

void TfrmSecurity::askAddMember()
{
    const QByteArray role = selectedRole();
    zkSecurity::Roles roles(*m_roleTemplate, *m_userTemplate);
    const QByteArrayList members = roles.Members(role);
    QStringList candidates;
    for (int u = 0; u < m_userTemplate->topLevelCount(); ++u) {
        const QByteArray user = m_userTemplate->topLevel(u)->text();
        if (user != zkSecurity::SupervisorName && !members.contains(user))
            candidates << support::decoded(user);
    }
    if (role.isEmpty() || candidates.isEmpty()) {
        toolkit::showMessage(tr("Every user but \"Supervisor\" is a member of the role %1.")
                                 .arg(support::decoded(role)));
        return;
    }
    QInputDialog dialog(this);
    dialog.setObjectName(u"dlgAddMember"_s);
    dialog.setWindowTitle(tr("Add Member"));
    dialog.setLabelText(tr("&User to add to the role %1").arg(support::decoded(role)));
    dialog.setOkButtonText(tr("&OK"));
    dialog.setCancelButtonText(tr("&Cancel"));
    dialog.setComboBoxItems(candidates);
    dialog.setComboBoxEditable(false);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const auto user = support::encoded(dialog.textValue());
    QString why;
    if (user && roles.Assign(role, *user, &why))
        rolesChanged();
    else
        toolkit::showWarning(why);
}

void TfrmSecurity::askRemoveRole()
{
    actRemoveRole->Update();
    const QByteArray role = selectedRole();
    if (!actRemoveRole->isEnabled() || role.isEmpty())
        return;
    if (!toolkit::askYesNo(tr("Remove the role %1?").arg(support::decoded(role))))
        return;
    QString why;
    if (zkSecurity::Roles(*m_roleTemplate, *m_userTemplate).RemoveRole(role, &why))
        rolesChanged();
    else
        toolkit::showWarning(why);
}

void TfrmSecurity::tvRolesDblClick()
{
    zkSecurity::TreeNode *node = m_roleTemplate->selected();
    if (!SupervisorMode || !rolesShown() || !isRoleRight(node))
        return;
    QString why;
    if (zkSecurity::Roles(*m_roleTemplate, *m_userTemplate)
            .SetRoleRight(selectedRole(), node->data()->SecurityId, !node->data()->granted(), &why))
        rolesChanged();
    else
        toolkit::showWarning(why);
}

} // namespace zkDlgSecurity
