// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The commands for a shared user store on PostgreSQL: make its tables, and
// copy the user template, with its roles, between the local store and a
// shared one.
#include "commands.h"
#include "console.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/sharedstore_p.h"
#include "security/store/userstore.h"
#include "store.h"
#include "toolkit/error.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QTextStream>

#include <optional>

using namespace Qt::StringLiterals;

namespace rightsmithusers {

namespace {

// The shared store a copy-store goes to or comes from.
struct CopyDirection
{
    QString address;
    bool toServer = false;
};

// "--from local --to URL" or "--from URL --to local"; none for anything else.
std::optional<CopyDirection> copyDirection(const QCommandLineParser &parser)
{
    const QString from = parser.value(Option::From);
    const QString to = parser.value(Option::To);
    if (from == u"local"_s && !to.isEmpty() && to != u"local"_s)
        return CopyDirection {to, true};
    if (to == u"local"_s && !from.isEmpty() && from != u"local"_s)
        return CopyDirection {from, false};
    return std::nullopt;
}

QByteArray streamOf(zkSecurity::TzkSecurityTemplate &roleTemplate)
{
    if (roleTemplate.topLevelCount() == 0)
        return {};
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    roleTemplate.SaveToStreamSecurity(buffer);
    return buffer.data();
}

// " and N roles" when \a roleTemplate holds any.
QString rolesCopied(const zkSecurity::TzkSecurityTemplate &roleTemplate)
{
    const int roles = roleTemplate.topLevelCount();
    if (roles == 0)
        return {};
    return roles == 1 ? u" and 1 role"_s : u" and %1 roles"_s.arg(roles);
}

// The role template \a stored of the shared store \a server holds, read into
// \a roleTemplate before anything is copied: roles that cannot be read are
// not copied, and neither are the users.
void readServerRoles(const zkSecurity::SharedStore::Stored &stored, const QString &server,
                     zkSecurity::TzkSecurityTemplate &roleTemplate)
{
    const auto refuse = [&](const QString &problem) {
        return Failure {ExitError,
                        u"the role template \"roles\" in %1 cannot be read (%2); "
                        u"nothing was copied"_s.arg(server, problem)};
    };
    if (!stored.rolesProblem.isEmpty())
        throw refuse(stored.rolesProblem);
    if (stored.roles.isEmpty())
        return;
    QByteArray roles = stored.roles;
    QBuffer buffer(&roles);
    buffer.open(QIODevice::ReadOnly);
    try {
        roleTemplate.LoadFromStreamSecurity(buffer);
    } catch (const rightsmith::toolkit::Error &error) {
        throw refuse(error.message());
    }
}

// Stores \a roleTemplate, the server's roles, beside the user template just
// copied into the local store of \a settings.
void copyRolesToLocal(const zkSecurity::UserStoreSettings &settings,
                      zkSecurity::TzkSecurityTemplate &roleTemplate)
{
    zkSecurity::UserStore userStore;
    zkSecurity::TzkSecurityTemplate users;
    zkSecurity::TzkSecurityTemplate replaced;
    QList<QByteArray> lastUsers;
    QByteArray remembered;
    userStore.load(settings, users, lastUsers, remembered, &replaced);
    const zkSecurity::UserStore::SaveResult result =
        userStore.trySave(settings, users, lastUsers, QByteArray(), &roleTemplate);
    if (!result.saved())
        throw Failure {
            ExitError,
            u"the users were copied to %1 but not the roles: %2"_s.arg(
                zkSecurity::UserStore::location(settings),
                result.message.isEmpty() ? u"the store was not written"_s : result.message)};
}

// Copies the local user template of \a store to the shared store \a shared
// (named \a server), which holds \a stored; a template there already is
// replaced only with \a replace.
int copyToServer(Store &store, zkSecurity::SharedStore &shared, const QString &server,
                 const zkSecurity::SharedStore::Stored &stored, bool replace)
{
    const QString from = zkSecurity::UserStore::location(store.settings());
    const std::optional<QByteArray> stream = store.stream();
    if (!stream)
        throw Failure {ExitError, u"no user template is stored in %1"_s.arg(from)};
    const int users =
        usersIn(*stream, u"the user template of %1 does not load, nothing was copied"_s.arg(from));
    if (stored.exists && !replace)
        throw Failure {ExitError,
                       u"%1 holds a user template already (version %2); nothing was copied "
                       u"(--replace replaces it)"_s.arg(server, QString::number(stored.version))};
    // The roles go with the users, and replace the ones the server holds:
    // left there, they would name members the copied users may not have.
    zkSecurity::TzkSecurityTemplate roleTemplate;
    store.loadRoleTemplate(roleTemplate);
    const QByteArray roles = streamOf(roleTemplate);
    const bool withRoles = !roles.isEmpty() || !stored.roles.isEmpty();
    if (shared.save(store.key(), *stream, stored.version, nullptr, {}, withRoles ? &roles : nullptr)
        != zkSecurity::SharedStore::SaveResult::Saved)
        throw Failure {ExitError,
                       u"the user template in %1 was changed while it was copied; nothing "
                       u"was copied"_s.arg(server)};
    out() << "copied " << users << " users" << rolesCopied(roleTemplate) << " from " << from
          << " to " << server << '\n';
    return ExitOk;
}

// Copies \a stored, the user template of the shared store \a server, into
// the local store of \a store, keeping the one it replaces aside.
int copyToLocal(Store &store, const QString &server, const zkSecurity::SharedStore::Stored &stored)
{
    if (!stored.exists)
        throw Failure {ExitError, u"no user template is stored in %1"_s.arg(server)};
    const int users = usersIn(
        stored.stream, u"the user template of %1 does not load, nothing was copied"_s.arg(server));
    zkSecurity::TzkSecurityTemplate roleTemplate;
    readServerRoles(stored, server, roleTemplate);
    zkSecurity::UserStoreSettings settings = store.settings();
    settings.hardening.auditTrail = store.keepsTrail();
    printKeptAs(zkSecurity::UserStore::restore(settings, stored.stream));
    if (roleTemplate.topLevelCount() > 0)
        copyRolesToLocal(settings, roleTemplate);
    out() << "copied " << users << " users" << rolesCopied(roleTemplate) << " from " << server
          << " to " << zkSecurity::UserStore::location(settings) << '\n';
    return ExitOk;
}

} // namespace

bool copyStoreAccepts(const QCommandLineParser &parser)
{
    const std::optional<CopyDirection> direction = copyDirection(parser);
    // Copied into the local store, the template it replaces is kept aside: no --replace.
    return direction && (direction->toServer || !parser.isSet(Option::Replace));
}

// Makes the tables of the shared store at URL (or checks that they are
// ours), or with --upgrade brings tables of version 1 up to date, and
// prints, as SQL for psql, the rights its roles need.
int initStore(const Invocation &call)
{
    const QString workstationRole = call.value(Option::WorkstationRole);
    const QString administratorRole = call.value(Option::AdministratorRole);
    const QStringList grants =
        zkSecurity::SharedStore::grantStatements(workstationRole, administratorRole);
    const auto store = zkSecurity::SharedStore::connect(call.argument);
    if (call.isSet(Option::Upgrade)) {
        const int before = store->schemaVersion();
        const QStringList moved = store->upgradeSchema();
        if (before < zkSecurity::SharedStore::SchemaVersion)
            out() << "-- upgraded from version " << before << " to version "
                  << zkSecurity::SharedStore::SchemaVersion << ", every row kept\n";
        if (!moved.isEmpty())
            out() << "-- these roles now write the failed logons and the trail only through "
                     "the store's functions: "
                  << moved.join(u", "_s) << '\n';
    } else {
        store->initSchema();
    }
    out() << "-- the schema is ready in " << store->serverName() << '\n'
          << "-- Rights of the workstation role " << workstationRole
          << " and the administrator role " << administratorRole << ".\n"
          << "-- Create the roles first; run as the tables' owner, e.g. piped to psql.\n";
    for (const QString &statement : grants)
        out() << statement << ";\n";
    return ExitOk;
}

// Copies the local user template (found by --key and --file) to the shared
// store at the address under the same key, or back.
int copyStore(const Invocation &call)
{
    const CopyDirection direction = *copyDirection(call.parser);
    zkSecurity::UserStoreSettings sharedSettings;
    sharedSettings.key = call.store.key();
    sharedSettings.sharedAddress = direction.address;
    const QString server = zkSecurity::UserStore::location(sharedSettings);
    const auto shared = zkSecurity::SharedStore::connect(direction.address);
    const zkSecurity::SharedStore::Stored stored = shared->load(call.store.key());
    return direction.toServer
        ? copyToServer(call.store, *shared, server, stored, call.isSet(Option::Replace))
        : copyToLocal(call.store, server, stored);
}

} // namespace rightsmithusers
