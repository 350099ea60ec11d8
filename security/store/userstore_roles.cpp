// The role template of a local store: the values "RoleTemplate" and
// "RoleTemplateSize" of the store's key, in registry and file mode alike, so
// that they are written in the very transaction that commits the user
// template (its value, or its file's digest). Older programs never read them.
#include "security/hardening/audittrail.h"
#include "security/model/roles.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/storedigest_p.h"
#include "security/store/storenames_p.h"
#include "security/store/toolcommand_p.h"
#include "security/store/userstore.h"
#include "security/store/userstorebackend_p.h"
#include "toolkit/error.h"

#include <QBuffer>

using namespace Qt::StringLiterals;
using rightsmith::toolkit::Registry;

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
