// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The roles of a store: list them, and add, remove, grant, deny, assign and
// unassign through the same Roles code as the user management dialog. Each
// change rewrites the members' own rights and is saved with the users in one
// save, recorded in the trail when the store keeps one.
#include "commands.h"
#include "console.h"
#include "security/model/rightnodes.h"
#include "security/model/roles.h"
#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/userstore.h"
#include "store.h"
#include "toolkit/codec.h"

#include <QCommandLineParser>

#include <functional>
#include <optional>

using namespace Qt::StringLiterals;

namespace rightsmithusers {

namespace {

// What each sub-command takes after the role: nothing, one name or more.
struct SubCommand
{
    QString name;
    // 0: the role only (list: not even that); 1: one or more names after it.
    int names = 0;
};

const SubCommand SubCommands[] = {
    {u"list"_s, -1}, {u"add"_s, 0},    {u"remove"_s, 0},   {u"grant"_s, 1},
    {u"deny"_s, 1},  {u"assign"_s, 1}, {u"unassign"_s, 1},
};

const SubCommand *findSubCommand(const QString &name)
{
    for (const SubCommand &sub : SubCommands)
        if (sub.name == name)
            return &sub;
    return nullptr;
}

QByteArray bytesOf(const QString &name, const QString &what)
{
    const std::optional<QByteArray> bytes = rightsmith::toolkit::Codec::fromUnicode(name);
    if (!bytes || bytes->isEmpty())
        throw Failure {ExitUsage, u"%1 cannot be %2"_s.arg(name, what)};
    return *bytes;
}

// Runs a refused change's reason as the tool's usage failure.
void must(bool done, const QString &why)
{
    if (!done)
        throw Failure {ExitUsage, why};
}

// The granted rights below \a parent, by their path of captions.
void grantedPaths(const zkSecurity::TreeNode *parent, const QString &path, QStringList &paths)
{
    for (int i = 0; i < parent->count(); ++i) {
        const zkSecurity::TreeNode *node = parent->item(i);
        const QString here = rightPath(path, node);
        const zkSecurity::TzkNodeRecord *record = node->data();
        if (record && record->SecurityId != 0 && zkSecurity::IsGrantedText(node->text()))
            paths << u"%1 [%2]"_s.arg(here).arg(record->SecurityId);
        grantedPaths(node, here, paths);
    }
}

int listRoles(const Invocation &call)
{
    zkSecurity::TzkSecurityTemplate users;
    zkSecurity::TzkSecurityTemplate roleTemplate;
    call.store.loadUserTemplate(users);
    call.store.loadRoleTemplate(roleTemplate);
    zkSecurity::Roles roles(roleTemplate, users);
    if (const QString damage = roles.Damage(); !damage.isEmpty())
        throw Failure {ExitError, u"the role template cannot be read: %1"_s.arg(damage)};
    for (const QByteArray &role : roles.RoleNames()) {
        QStringList members;
        for (const QByteArray &member : roles.Members(role))
            members << text(member);
        QStringList granted;
        grantedPaths(roles.RoleRights(role), QString(), granted);
        out() << text(role) << "\n  members: " << members.join(u", "_s)
              << "\n  granted: " << granted.join(u", "_s) << '\n';
    }
    return ExitOk;
}

} // namespace

bool roleAccepts(const QCommandLineParser &parser)
{
    const QStringList args = parser.positionalArguments();
    const SubCommand *sub = findSubCommand(args.value(1));
    if (!sub)
        return false;
    if (parser.isSet(Option::Like) && sub->name != u"add"_s)
        return false;
    if (sub->names < 0)
        return args.size() == 2;
    return sub->names == 0 ? args.size() == 3 : args.size() > 3;
}

int role(const Invocation &call)
{
    const QString &sub = call.argument;
    if (sub == u"list"_s)
        return listRoles(call);
    const QString roleName = call.more.value(0);
    const QByteArray role = bytesOf(roleName, u"a role name"_s);
    const QStringList names = call.more.mid(1);
    QString done;
    editUsersAndRoles(
        call, u"no role was changed"_s,
        [&](zkSecurity::TzkSecurityTemplate &users, zkSecurity::Roles *roles,
            const QString &problem) {
            if (!roles)
                throw Failure {ExitError, problem};
            QString why;
            if (sub == u"add"_s) {
                if (call.isSet(Option::Like)) {
                    const QString like = call.value(Option::Like);
                    must(roles->AddRoleLike(role, bytesOf(like, u"a user name"_s), &why), why);
                    done = u"added the role %1 with the rights of %2"_s.arg(roleName, like);
                } else {
                    // Every right the store knows, from "Supervisor", who holds them all.
                    const zkSecurity::TreeNode *supervisor =
                        users.GetUserNodeByUserName(zkSecurity::SupervisorName);
                    must(roles->AddRole(role, supervisor ? supervisor->item(1) : nullptr, &why),
                         why);
                    done = u"added the role %1, every right denied"_s.arg(roleName);
                }
            } else if (sub == u"remove"_s) {
                must(roles->RemoveRole(role, &why), why);
                done = u"removed the role %1"_s.arg(roleName);
            } else if (sub == u"grant"_s || sub == u"deny"_s) {
                const bool granted = sub == u"grant"_s;
                for (const QString &name : names) {
                    const zkSecurity::TreeNode *rights = roles->RoleRights(role);
                    const zkSecurity::TreeNode *right = rights
                        ? zkSecurity::FindRight(rights, bytesOf(name, u"a right"_s))
                        : nullptr;
                    if (rights && !right)
                        throw Failure {ExitUsage, u"there is no right %1"_s.arg(name)};
                    must(roles->SetRoleRight(role, right ? right->data()->SecurityId : 0, granted,
                                             &why),
                         why);
                }
                done = (granted ? u"granted to the role %1: %2"_s : u"denied to the role %1: %2"_s)
                           .arg(roleName, names.join(u", "_s));
            } else {
                const bool assign = sub == u"assign"_s;
                for (const QString &name : names) {
                    const QByteArray user = bytesOf(name, u"a user name"_s);
                    must(assign ? roles->Assign(role, user, &why)
                                : roles->Unassign(role, user, &why),
                         why);
                }
                done = (assign ? u"assigned to the role %1: %2"_s
                               : u"unassigned from the role %1: %2"_s)
                           .arg(roleName, names.join(u", "_s));
            }
        });
    out() << done << '\n';
    return ExitOk;
}

} // namespace rightsmithusers
