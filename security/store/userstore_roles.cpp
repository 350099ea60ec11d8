// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The role template of a local store: the values "RoleTemplate" and
// "RoleTemplateSize" of the store's key, in registry and file mode alike, so
// that they are written in the very transaction that commits the user
// template (its value, or its file's digest). Older programs never read them.
#include "security/hardening/audittrail.h"
#include "security/hardening/registrytables_p.h"
#include "security/model/roles.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/storedigest_p.h"
#include "security/store/storenames_p.h"
#include "security/store/toolcommand_p.h"
#include "security/store/userstore.h"
#include "security/store/userstorebackend_p.h"
#include "toolkit/error.h"
#include "toolkit/sqlitestatement_p.h"

#include <QBuffer>

using namespace Qt::StringLiterals;
using rightsmith::toolkit::Registry;
using rightsmith::toolkit::detail::Statement;

namespace zkSecurity {

namespace {

// The stored role template: nothing when none is stored; a problem when it
// is not stored as a save stores it.
struct StoredRoles
{
    QByteArray bytes;
    QString problem;
};

StoredRoles storedRoles(Registry &registry)
{
    const Registry::ValueType type = registry.valueType(StoreNames::RoleTemplate);
    const Registry::ValueType sizeType = registry.valueType(StoreNames::RoleTemplateSize);
    if (type == Registry::None && sizeType == Registry::None)
        return {};
    if (type != Registry::Binary)
        return {{}, UserStore::tr("\"%1\" is missing or not binary").arg(StoreNames::RoleTemplate)};
    if (sizeType != Registry::Integer)
        return {{},
                UserStore::tr("\"%1\" is missing or not a 32-bit integer")
                    .arg(StoreNames::RoleTemplateSize)};
    const qint64 size = registry.readInteger(StoreNames::RoleTemplateSize).value_or(-1);
    if (size < 0 || registry.valueSize(StoreNames::RoleTemplate) != size)
        return {{},
                UserStore::tr("\"%1\" does not have the size \"%2\" says")
                    .arg(StoreNames::RoleTemplate, StoreNames::RoleTemplateSize)};
    return {registry.readBinary(StoreNames::RoleTemplate, size).value_or(QByteArray()), {}};
}

void loadStream(TzkSecurityTemplate &tree, QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    tree.LoadFromStreamSecurity(buffer);
}

} // namespace

QByteArray storedRoleDigest(Registry &registry)
{
    const StoredRoles stored = storedRoles(registry);
    if (!stored.problem.isEmpty())
        return QByteArrayLiteral("unreadable");
    return stored.bytes.isEmpty() ? QByteArray() : digestOf(stored.bytes);
}

// The role template stored when each backup of the user template was kept,
// so that restoring a backup brings back the roles its members followed: a
// table beside the backups, one row a backup, named by the digest the
// backup was kept with (the same in registry and file mode).
constexpr const char *RoleBackupTable = "role_template_backups";
constexpr const char *CreateRoleBackupTableSql =
    "CREATE TABLE IF NOT EXISTS role_template_backups("
    "id INTEGER PRIMARY KEY AUTOINCREMENT, store_key TEXT NOT NULL COLLATE NOCASE, "
    "digest BLOB NOT NULL, roles BLOB NOT NULL);"
    "CREATE INDEX IF NOT EXISTS role_template_backups_by_key "
    "ON role_template_backups(store_key, id);";

void keepRolesWithBackup(Registry &registry, const QByteArray &digest)
{
    const QString failure = UserStore::tr("Cannot keep a backup of the role template");
    const StoredRoles stored = storedRoles(registry);
    // Roles that cannot be read are not kept; a restore leaves the roles
    // as they then are.
    if (!stored.problem.isEmpty())
        return;
    detail::execute(registry, CreateRoleBackupTableSql, failure);
    Statement keep(
        registry,
        "INSERT INTO role_template_backups(store_key, digest, roles) VALUES (?1, ?2, ?3)");
    keep.bind(1, registry.currentKey());
    keep.bindBlob(2, digest);
    keep.bindBlob(3, stored.bytes);
    if (keep.step() != SQLITE_DONE)
        registry.fail(failure);
    Statement drop(registry,
                   "DELETE FROM role_template_backups WHERE store_key = ?1 AND id NOT IN "
                   "(SELECT id FROM role_template_backups WHERE store_key = ?1 "
                   "ORDER BY id DESC LIMIT ?2)");
    drop.bind(1, registry.currentKey());
    drop.bind(2, UserStore::KeptBackups);
    if (drop.step() != SQLITE_DONE)
        registry.fail(failure);
}

bool restoreRolesOfBackup(Registry &registry, const QByteArray &stream)
{
    const QString failure = UserStore::tr("Cannot read the backups of the role template");
    if (!detail::tableExists(registry, RoleBackupTable, failure))
        return false;
    std::optional<QByteArray> roles;
    {
        Statement rows(registry,
                       "SELECT digest, roles FROM role_template_backups "
                       "WHERE store_key = ?1 ORDER BY id DESC");
        rows.bind(1, registry.currentKey());
        int rc;
        while (!roles && (rc = rows.step()) == SQLITE_ROW) {
            if (matchesDigest(stream, rows.columnBlob(0)))
                roles = rows.columnBlob(1);
        }
        if (!roles && rc != SQLITE_DONE)
            registry.fail(failure);
    }
    if (!roles)
        return false;
    if (roles->isEmpty()) {
        registry.deleteValue(StoreNames::RoleTemplate);
        registry.deleteValue(StoreNames::RoleTemplateSize);
    } else {
        registry.writeBinary(StoreNames::RoleTemplate, *roles);
        registry.writeInteger(StoreNames::RoleTemplateSize, qint32(roles->size()));
    }
    return true;
}

QString readRoleTemplate(const QByteArray &bytes, const QString &where,
                         TzkSecurityTemplate &userTemplate, TzkSecurityTemplate &roleTemplate,
                         const QString &storedProblem)
{
    QString problem = storedProblem;
    try {
        if (problem.isEmpty() && !bytes.isEmpty()) {
            loadStream(roleTemplate, bytes);
            problem = Roles(roleTemplate, userTemplate).Damage();
        }
    } catch (const rightsmith::toolkit::Error &error) {
        problem = error.message();
    }
    if (problem.isEmpty())
        return {};
    roleTemplate.ClearTemplate();
    return UserStore::tr("the role template %1 cannot be read: %2").arg(where, problem);
}

void UserStore::readRoles(Registry &registry, TzkSecurityTemplate &userTemplate,
                          TzkSecurityTemplate &roleTemplate)
{
    const QString where = u"\"%1\""_s.arg(StoreNames::RoleTemplate);
    StoredRoles stored;
    try {
        stored = storedRoles(registry);
    } catch (const rightsmith::toolkit::Error &error) {
        stored.problem = error.message();
    }
    m_roleProblem =
        readRoleTemplate(stored.bytes, where, userTemplate, roleTemplate, stored.problem);
    if (m_roleProblem.isEmpty())
        m_roles = stored.bytes;
}

std::optional<QString> UserStore::writeRoles(const UserStoreSettings &settings, Registry &registry,
                                             const TzkSecurityTemplate &roleTemplate,
                                             const QByteArray &bytes)
{
    try {
        if (settings.hardening.auditTrail) {
            AuditTrail trail(registry, settings.key, settings.hardening.auditLimits);
            const QDateTime now = settings.hardening.now();
            for (const AuditRecord &entry :
                 roleChangesFrom(settings, storedRoles(registry).bytes, roleTemplate))
                trail.append(entry, now);
        }
        // A store without roles keeps no role template at all.
        if (bytes.isEmpty()) {
            registry.deleteValue(StoreNames::RoleTemplate);
            registry.deleteValue(StoreNames::RoleTemplateSize);
        } else {
            registry.writeBinary(StoreNames::RoleTemplate, bytes);
            registry.writeInteger(StoreNames::RoleTemplateSize, qint32(bytes.size()));
        }
    } catch (const rightsmith::toolkit::Error &error) {
        return error.message();
    }
    return std::nullopt;
}

QString UserStore::roleProblemMessage(const UserStoreSettings &settings) const
{
    QString problem = m_roleProblem;
    if (problem.endsWith(u'.'))
        problem.chop(1);
    return UserStore::tr(
               "The stored roles cannot be read. The users were read, but no member's rights "
               "follow their roles, and the roles cannot be changed, until the role template is "
               "mended.\n\nStore: %1.\nProblem: %2.\n\nAn administrator can examine the store "
               "with:\n%3")
        .arg(location(settings), problem, toolCommand(settings, QStringLiteral("verify")));
}

} // namespace zkSecurity
