// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>

#include <utility>

namespace zkSecurity {

class TreeNode;
class TzkSecurityTemplate;

/// One right of one user's own "Rights" copy that Roles::ApplyToUsers()
/// rewrote: now \a granted.
struct RIGHTSMITH_CORE_EXPORT RoleRightChange
{
    /// The user whose copy changed.
    QByteArray userName;
    /// The right's identifier.
    qint32 securityId = 0;
    /// The right's caption in the record.
    QByteArray caption;
    /// Whether the right is now granted.
    bool granted = false;

    /// Equal when every field is.
    bool operator==(const RoleRightChange &) const = default;
};

/// Roles: rights granted once to a group of users. They are kept in a role
/// template, a TzkSecurityTemplate in the template stream format beside the
/// user template: one top-level node per role, named by the role, whose first
/// child "Rights" holds a copy of the rights marked " (Yes)"/" (No)" exactly
/// as a user's are, and whose second child "Members" holds one leaf per
/// member's user name.
///
/// A user in at least one role holds a right exactly when one of their roles
/// grants it; ApplyToUsers() writes that into each member's own copy in the
/// user template, so the rights check and every reader of the user template
/// see it with no new rule. A user in no role keeps the rights toggled on
/// the user. "Supervisor" is never a member.
///
/// Every change is checked first: a refused one changes nothing and returns
/// false with the reason in \a why. A damaged role template (see Damage())
/// refuses every change.
class RIGHTSMITH_CORE_EXPORT Roles
{
    Q_DECLARE_TR_FUNCTIONS(zkSecurity::Roles)
public:
    /// Works on \a roleTemplate and \a userTemplate; neither is owned.
    Roles(TzkSecurityTemplate &roleTemplate, TzkSecurityTemplate &userTemplate);

    /// Empty when the role template has a role template's shape; otherwise
    /// what is wrong with it. Users must not be rewritten from a damaged one.
    QString Damage() const;

    /// The names of the roles, in their order.
    QByteArrayList RoleNames() const;
    /// The role's node, or nullptr.
    TreeNode *RoleNode(const QByteArray &role) const;
    /// The role's "Rights" node, or nullptr.
    TreeNode *RoleRights(const QByteArray &role) const;
    /// The user names in \a role's "Members", in their order; empty when there is no such role.
    QByteArrayList Members(const QByteArray &role) const;
    /// The roles \a userName is a member of, in role order.
    QByteArrayList RolesOfUser(const QByteArray &userName) const;

    /// Appends the role \a role with a copy of the rights below
    /// \a rightsSource (the security template's root, or a user's "Rights"
    /// node where no security template is at hand), every right denied.
    bool AddRole(const QByteArray &role, const TreeNode *rightsSource, QString *why = nullptr);
    /// Appends the role \a role with a copy of \a userName's rights, each
    /// granted or denied as the user holds it.
    bool AddRoleLike(const QByteArray &role, const QByteArray &userName, QString *why = nullptr);
    /// Renames \a role to \a newName, which must be a valid name that no role or user has.
    bool RenameRole(const QByteArray &role, const QByteArray &newName, QString *why = nullptr);
    /// Removes \a role with its rights and members; the members keep their rights as they are.
    bool RemoveRole(const QByteArray &role, QString *why = nullptr);
    /// Grants or denies the right with identifier \a securityId to \a role
    /// (FindRight() on RoleRights() names one by its path).
    bool SetRoleRight(const QByteArray &role, qint32 securityId, bool granted,
                      QString *why = nullptr);
    /// Makes the user \a userName a member of \a role; true with no change
    /// when it is one already.
    bool Assign(const QByteArray &role, const QByteArray &userName, QString *why = nullptr);
    /// Takes the user \a userName out of \a role; refused when it is no member.
    bool Unassign(const QByteArray &role, const QByteArray &userName, QString *why = nullptr);
    /// Takes \a userName out of every role (the user was removed); true when
    /// it was a member of one.
    bool ForgetUser(const QByteArray &userName);
    /// Takes out of every role the members who are not users (removed by a
    /// program without roles, or by a restore), so that a user added later
    /// under such a name is no member; returns each (role, member) dropped.
    /// Does nothing on a damaged role template.
    QList<std::pair<QByteArray, QByteArray>> DropMembersNotUsers();

    /// Rewrites each member's own "Rights" copy in the user template to hold
    /// the union of their roles' rights: flag and text, through
    /// SetRightGranted(); rights are matched by security identifier. Touches
    /// no other node and no user in no role; returns every right it changed.
    /// Does nothing on a damaged role template.
    QList<RoleRightChange> ApplyToUsers();

    /// After the security template changed: rebuilds each role's "Rights"
    /// copy, and each member's, from \a securityTemplate, keeping the grants
    /// of the rights they held by security identifier. A new right arrives
    /// denied; a right the template does not know stays as it was, since a
    /// program that knows more may have put it there. True when a copy
    /// changed.
    /// Does nothing on a damaged role template.
    bool FollowSecurityTemplate(const TzkSecurityTemplate &securityTemplate);

    /// Rebuilds the "Rights" copy \a rights (in \a tree) from the children of
    /// \a templateRoot, keeping the grant of every right it held by security
    /// identifier and the text of every right whose caption stayed; new
    /// rights are denied, and rights the template lacks are kept under
    /// their path. True when the copy changed.
    static bool RebuildRightsCopy(TzkSecurityTemplate &tree, TreeNode *rights,
                                  const TreeNode *templateRoot);

private:
    bool refuseDamaged(QString *why) const;
    bool checkNewName(const QByteArray &name, QString *why) const;
    TreeNode *membersOf(const QByteArray &role) const;
    // The role to change, or nullptr (and why) when there is none or the
    // roles are damaged.
    TreeNode *roleToChange(const QByteArray &role, QString *why) const;
    TreeNode *appendRole(const QByteArray &role);

    TzkSecurityTemplate &m_roles;
    TzkSecurityTemplate &m_users;
};

} // namespace zkSecurity
