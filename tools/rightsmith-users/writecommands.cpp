// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The commands that change a store: restore a kept copy of the user
// template, set a password, clear a lock. Each writes through the library
// as the program does, and is recorded in the trail when the store keeps one.
#include "commands.h"
#include "console.h"
#include "security/component/logoncheck.h"
#include "security/component/usermanagement.h"
#include "security/hardening/audittrail.h"
#include "security/hardening/passwordrules.h"
#include "security/model/passwordhash.h"
#include "security/model/rightnodes.h"
#include "security/model/roles.h"
#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/sharedstore_p.h"
#include "security/store/userstore.h"
#include "store.h"
#include "toolkit/codec.h"
#include "toolkit/registry.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

#include <algorithm>
#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

namespace rightsmithusers {

namespace {

// The copy named \a source: a file, or a binary value of the store's key
// (not with a shared store, whose copies are files).
QByteArray readCopy(Store &store, const QString &source)
{
    if (store.isShared() && !QFileInfo(source).isFile())
        throw Failure {ExitError, u"no file named %1 (with --store, COPY is a file)"_s.arg(source)};
    if (QFileInfo(source).isFile()) {
        QFile file(source);
        if (!file.open(QIODevice::ReadOnly))
            throw Failure {ExitError, u"cannot read %1: %2"_s.arg(source, file.errorString())};
        return file.readAll();
    }
    if (store.hasValue(source))
        return store.registry().readBinary(source).value_or(QByteArray());
    throw Failure {ExitError, u"no file and no binary value of the key named %1"_s.arg(source)};
}

void printRestored(const QString &kept, int users, const QString &source, const QString &to)
{
    printKeptAs(kept);
    out() << "restored " << users << " users from " << source << " to " << to << '\n';
}

// Puts \a stream (from the file \a source) on the shared store of \a store,
// compare-and-set, after keeping the user template it replaces beside
// \a source; recorded in the trail when \a trail.
void restoreShared(Store &store, const QString &source, const QByteArray &stream, int users,
                   bool trail)
{
    zkSecurity::SharedStore &shared = store.shared();
    const zkSecurity::SharedStore::Stored stored = shared.load(store.key());
    QString kept;
    if (stored.exists && stored.stream != stream) {
        kept = u"%1.replaced-version-%2"_s.arg(source).arg(stored.version);
        QSaveFile file(kept);
        if (!file.open(QIODevice::WriteOnly) || file.write(stored.stream) != stored.stream.size()
            || !file.commit())
            throw Failure {ExitError,
                           u"cannot keep the current user template as %1: %2; "
                           u"nothing was changed"_s.arg(kept, file.errorString())};
    }
    const auto record = [&](const QByteArray &, const QByteArray &) {
        if (!trail)
            return;
        zkSecurity::AuditRecord entry;
        for (const auto &[event, detail] :
             {std::pair {zkSecurity::AuditEvent::StoreKeptAside, kept},
              std::pair {zkSecurity::AuditEvent::StoreRestored, source}}) {
            if (detail.isEmpty())
                continue;
            entry.event = event;
            entry.detail = detail;
            shared.appendAudit(store.key(), entry, {}, QDateTime());
        }
    };
    const QString location = zkSecurity::UserStore::location(store.settings());
    if (shared.save(store.key(), stream, stored.version, nullptr, record)
        != zkSecurity::SharedStore::SaveResult::Saved)
        throw Failure {ExitError,
                       u"the user template in %1 was changed meanwhile; nothing was "
                       u"restored"_s.arg(location)};
    printRestored(kept, users, source, location);
}

// The cost to hash a new password at: the highest any user of \a users was
// hashed at (at least the recommended one); empty when nobody is hashed.
std::optional<zkSecurity::PasswordHashCost> hashCostOf(const zkSecurity::TzkSecurityTemplate &users)
{
    std::optional<zkSecurity::PasswordHashCost> cost;
    for (int i = 0; i < users.topLevelCount(); ++i) {
        const zkSecurity::TreeNode *passwordNode = users.topLevel(i)->firstChild();
        const zkSecurity::TzkNodeRecord *record = passwordNode ? passwordNode->data() : nullptr;
        const auto found = record ? zkSecurity::PasswordHash::costOf(*record) : std::nullopt;
        if (!found)
            continue;
        if (!cost)
            cost = zkSecurity::PasswordHashCost::recommended();
        cost->passes = std::max(cost->passes, found->passes);
        cost->memoryKiB = std::max(cost->memoryKiB, found->memoryKiB);
    }
    return cost;
}

// The password rules --min-length N turns on; off without it.
zkSecurity::PasswordRules passwordRules(const Invocation &call)
{
    zkSecurity::PasswordRules rules;
    if (!call.isSet(Option::MinLength))
        return rules;
    bool ok = false;
    rules.minimumLength = call.value(Option::MinLength).toInt(&ok);
    if (!ok || rules.minimumLength < 1)
        throw Failure {ExitUsage, u"--min-length needs a number of characters from 1 on"_s};
    rules.enabled = true;
    return rules;
}

// Sets the password of \a name in \a users from stdin, hashed at the cost
// the others are (scrambled when nobody is hashed), after checking it
// against \a call's password rules; returns that cost.
std::optional<zkSecurity::PasswordHashCost>
setPasswordFromStdin(const Invocation &call, zkSecurity::TzkSecurityTemplate &users,
                     const QString &name)
{
    zkSecurity::TreeNode *passwordNode = findUser(users, name)->firstChild();
    if (!passwordNode)
        throw Failure {ExitError, u"%1 has no password node"_s.arg(name)};
    const QByteArray password = passwordFromStdin();
    if (password.contains('\0'))
        throw Failure {ExitError, u"a password cannot hold a zero byte"_s};
    const QByteArray userName =
        rightsmith::toolkit::Codec::fromUnicode(name).value_or(QByteArray());
    if (const QString broken = passwordRules(call).check(password, userName); !broken.isEmpty())
        throw Failure {ExitError, broken};
    const std::optional<zkSecurity::PasswordHashCost> cost = hashCostOf(users);
    if (QString tooLong; !zkSecurity::PasswordHash::fits(password, cost, &tooLong))
        throw Failure {ExitError, tooLong};
    zkSecurity::TzkNodeRecord record =
        passwordNode->data() ? *passwordNode->data() : zkSecurity::TzkNodeRecord();
    zkSecurity::PasswordHash::storePassword(record, password, cost);
    passwordNode->setData(record);
    return cost;
}

} // namespace

// Puts a kept copy (a file, or a value of the store's key) back as the user
// template, after checking that it loads.
int restore(const Invocation &call)
{
    if (call.isSet(Option::Backup))
        return restoreBackup(call);
    if (call.argument.isEmpty())
        return restoreDatabase(call);
    Store &store = call.store;
    const QString &source = call.argument;
    zkSecurity::UserStoreSettings settings = store.settings();
    settings.hardening.auditTrail = store.keepsTrail();
    const QByteArray stream = readCopy(store, source);
    const int users = usersIn(stream, u"%1 does not load, nothing was changed"_s.arg(source));
    if (!zkSecurity::UserStore::isCompleteStream(stream))
        err() << "rightsmith-users: warning: " << source
              << " loads, but not exactly as a save writes it; some texts may be damaged\n";
    if (store.isShared()) {
        restoreShared(store, source, stream, users, settings.hardening.auditTrail);
        return ExitOk;
    }
    setDamagedDatabaseAside(settings);
    const QString kept = zkSecurity::UserStore::restore(settings, stream);
    printRestored(kept, users, source, zkSecurity::UserStore::location(settings));
    return ExitOk;
}

// Loads the users and the roles of \a call's store as the program does, lets
// \a change edit them, writes each member's rights from their roles and
// saves both through the store in one save (recorded in the trail when the
// store keeps one). \a undone says what did not happen when the save fails.
// A role template that cannot be read is left as it is and rewrites nobody.
void editUsersAndRoles(const Invocation &call, const QString &undone, const RoleChange &change)
{
    Store &store = call.store;
    if (!store.isShared())
        store.registry(); // a store that is not there is not made here
    zkSecurity::UserStoreSettings settings = store.settings();
    settings.hardening.auditTrail = store.keepsTrail();
    zkSecurity::UserStore userStore;
    zkSecurity::TzkSecurityTemplate users;
    zkSecurity::TzkSecurityTemplate roleTemplate;
    QList<QByteArray> lastUsers;
    QByteArray remembered;
    userStore.load(settings, users, lastUsers, remembered, &roleTemplate);
    if (userStore.state() != zkSecurity::UserStore::State::Loaded)
        throw Failure {ExitError,
                       userStore.problem().isEmpty()
                           ? u"no users are stored under the key %1"_s.arg(store.key())
                           : u"the users cannot be loaded: %1"_s.arg(userStore.problem())};
    const bool rolesRead = userStore.roleProblem().isEmpty();
    zkSecurity::Roles roles(roleTemplate, users);
    // Members who are no longer users (removed by a program without roles)
    // leave their roles first: a user added under such a name is no member.
    if (rolesRead)
        roles.DropMembersNotUsers();
    change(users, rolesRead ? &roles : nullptr,
           rolesRead ? QString() : userStore.roleProblemMessage(settings));
    if (rolesRead)
        roles.ApplyToUsers();
    // What the program would show in a message box ends the tool instead.
    const zkSecurity::UserStore::SaveResult result = userStore.trySave(
        settings, users, lastUsers, QByteArray(), rolesRead ? &roleTemplate : nullptr);
    const bool saved = result.saved();
    const QString &message = result.message;
    // Another program's save since the users were read is never undone.
    if (!saved && userStore.changedElsewhere())
        throw Failure {ExitError,
                       u"the users in %1 were changed by another program since they were read; "
                       u"%2; run %3 again"_s.arg(zkSecurity::UserStore::location(settings), undone,
                                                 call.command)};
    if (!saved)
        throw Failure {ExitError, message.isEmpty() ? u"the store was not written"_s : message};
}

namespace {

// As editUsersAndRoles(), for a change of the users alone.
template<typename Change>
void editUsers(const Invocation &call, const QString &undone, Change &&change)
{
    editUsersAndRoles(call, undone,
                      [&](zkSecurity::TzkSecurityTemplate &users, zkSecurity::Roles *,
                          const QString &) { change(users); });
}

// The rights node of the user \a name (the user node's second child).
zkSecurity::TreeNode *rightsOf(const zkSecurity::TzkSecurityTemplate &users, const QString &name)
{
    zkSecurity::TreeNode *rights = findUser(users, name)->item(1);
    if (!rights)
        throw Failure {ExitError, u"%1 has no rights node"_s.arg(name)};
    return rights;
}

// Grants or denies the right at \a node as the user management dialog
// does; a right already so is left as it is.
void setGranted(zkSecurity::TreeNode *node, bool granted)
{
    if (node->data() && node->data()->granted() != granted)
        zkSecurity::SetRightGranted(node, granted);
}

bool isSupervisor(const QString &name)
{
    return name == text(zkSecurity::SupervisorName);
}

int setRights(const Invocation &call, bool granted)
{
    const QStringList &names = call.more;
    if (isSupervisor(call.argument))
        throw Failure {ExitUsage, u"the rights of %1 cannot be changed"_s.arg(call.argument)};
    editUsersAndRoles(
        call, u"no right was changed"_s,
        [&](zkSecurity::TzkSecurityTemplate &users, zkSecurity::Roles *roles,
            const QString &problem) {
            zkSecurity::TreeNode *rights = rightsOf(users, call.argument);
            // Unread roles cannot say whom they rewrite: a right changed
            // here would be undone once they are mended.
            if (!roles)
                throw Failure {ExitError,
                               u"the rights of %1 cannot be changed until the roles are repaired; "
                               u"%2"_s.arg(call.argument, problem)};
            // A member's rights follow the roles: they are changed there.
            const QByteArrayList memberOf =
                roles ? roles->RolesOfUser(rights->parent()->text()) : QByteArrayList();
            if (!memberOf.isEmpty())
                throw Failure {ExitUsage,
                               u"the rights of %1 follow the roles %2; change the roles' "
                               u"rights (role grant, role deny) or unassign %1"_s.arg(
                                   call.argument, text(memberOf.join(", ")))};
            for (const QString &name : names) {
                const std::optional<QByteArray> bytes =
                    rightsmith::toolkit::Codec::fromUnicode(name);
                zkSecurity::TreeNode *right =
                    bytes ? zkSecurity::FindRight(rights, *bytes) : nullptr;
                if (!right)
                    throw Failure {ExitUsage, u"%1 holds no right %2"_s.arg(call.argument, name)};
                setGranted(right, granted);
            }
        });
    out() << (granted ? "granted to %1: %2\n"_L1 : "denied to %1: %2\n"_L1)
                 .arg(call.argument, names.join(u", "_s));
    return ExitOk;
}

// Grants every right of \a target that \a source grants, denies the others;
// the two hold the same rights, \a target copied from \a source.
void copyGrants(const zkSecurity::TreeNode *source, zkSecurity::TreeNode *target)
{
    for (int i = 0; i < source->count() && i < target->count(); ++i) {
        const zkSecurity::TreeNode *from = source->item(i);
        if (from->data() && from->data()->SecurityId != 0)
            setGranted(target->item(i), from->data()->granted());
        copyGrants(from, target->item(i));
    }
}

} // namespace

// Sets USER's password from stdin, hashed when the store's users are, and
// saves through the store as the program does.
int passwd(const Invocation &call)
{
    std::optional<zkSecurity::PasswordHashCost> cost;
    editUsers(call, u"the password was not set"_s, [&](zkSecurity::TzkSecurityTemplate &users) {
        cost = setPasswordFromStdin(call, users, call.argument);
    });
    out() << "the password of " << call.argument << " is set (" << (cost ? "hashed" : "scrambled")
          << ")\n";
    return ExitOk;
}

int grant(const Invocation &call)
{
    return setRights(call, true);
}

int deny(const Invocation &call)
{
    return setRights(call, false);
}

// Adds USER with the password from stdin and, as the user management dialog
// gives a new user, every right granted (the rights "Supervisor" holds); or
// with --like OTHER, OTHER's rights as granted or denied.
int add(const Invocation &call)
{
    const std::optional<QByteArray> name = rightsmith::toolkit::Codec::fromUnicode(call.argument);
    if (!name || name->isEmpty())
        throw Failure {ExitUsage, u"%1 cannot be a user name"_s.arg(call.argument)};
    const QString like =
        call.isSet(Option::Like) ? call.value(Option::Like) : text(zkSecurity::SupervisorName);
    editUsersAndRoles(
        call, u"the user was not added"_s,
        [&](zkSecurity::TzkSecurityTemplate &users, zkSecurity::Roles *roles, const QString &) {
            if (users.GetUserNodeByUserName(*name))
                throw Failure {ExitUsage, u"%1 is a user already"_s.arg(call.argument)};
            // A role's name stays the role's, as a user's stays the user's.
            if (roles && roles->RoleNode(*name))
                throw Failure {ExitUsage,
                               u"There is a role named \"%1\"; a user cannot have that "
                               u"name."_s.arg(call.argument)};
            zkSecurity::TreeNode *source = rightsOf(users, like);
            users.AddUserToUserTemplate(nullptr, *name, QByteArray(), true);
            zkSecurity::TreeNode *rights = rightsOf(users, call.argument);
            users.BuildASecurityUser(rights, source, true);
            if (call.isSet(Option::Like))
                copyGrants(source, rights);
            setPasswordFromStdin(call, users, call.argument);
        });
    out() << "added " << call.argument << '\n';
    return ExitOk;
}

// Removes USER with its password and rights; never "Supervisor".
int remove(const Invocation &call)
{
    if (isSupervisor(call.argument))
        throw Failure {ExitUsage, u"%1 cannot be removed"_s.arg(call.argument)};
    editUsersAndRoles(
        call, u"the user was not removed"_s,
        [&](zkSecurity::TzkSecurityTemplate &users, zkSecurity::Roles *roles, const QString &) {
            zkSecurity::TreeNode *user = findUser(users, call.argument);
            if (roles)
                roles->ForgetUser(user->text());
            users.DeleteNode(user);
        });
    out() << "removed " << call.argument << '\n';
    return ExitOk;
}

// Forgets the failed logons counted for NAME.
int unlock(const Invocation &call)
{
    const QString &name = call.argument;
    const std::optional<QByteArray> bytes = rightsmith::toolkit::Codec::fromUnicode(name);
    if (!bytes)
        throw Failure {ExitUsage, u"unknown user: %1"_s.arg(name)};
    Store &store = call.store;
    store.open();
    zkSecurity::UserStoreSettings settings = store.settings();
    settings.hardening.auditTrail = store.keepsTrail();
    const bool cleared = zkSecurity::LogonCheck(settings).unlock(*bytes, QByteArray());
    out() << (cleared ? "the failed logons of %1 are forgotten\n"_L1
                      : "no failed logons of %1 are counted\n"_L1)
                 .arg(name);
    return ExitOk;
}

} // namespace rightsmithusers
