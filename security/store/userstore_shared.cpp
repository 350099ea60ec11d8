// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The user store's back end that keeps the user template in a shared store
// on a server, with a copy in the local key.
#include "security/model/tzksecuritytemplate.h"
#include "security/store/storenames_p.h"
#include "security/store/userstore_shared_p.h"
#include "toolkit/error.h"
#include "toolkit/logging_p.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QLoggingCategory>

using rightsmith::logging::lcStore;
using rightsmith::toolkit::Registry;

namespace zkSecurity {

QString SharedBackend::location() const
{
    if (m_settings.sharedAddress.isEmpty()) {
        // The address was refused: the problem says why and where it came from.
        return UserStore::tr("the shared user store (key \"%1\")").arg(m_settings.key);
    }
    return UserStore::tr("the shared user store \"%1\" (key \"%2\")").arg(server(), m_settings.key);
}

QString SharedBackend::server() const
{
    return SharedStore::displayAddress(m_settings.sharedAddress);
}

QString SharedBackend::copyLocation() const
{
    return UserStore::tr("the local copy of %1 in the registry database \"%2\"")
        .arg(location(), m_settings.registryPath());
}

SharedStore::Stored SharedBackend::fetch(SharedStore *lent) const
{
    // On the lent connection when there is one (a notification reloads
    // every desk at once: no storm of connections), unless it was lost.
    const auto loadAnew = [this] {
        return SharedStore::connect(m_settings.sharedAddress)->load(m_settings.key);
    };
    if (!lent)
        return loadAnew();
    try {
        return lent->load(m_settings.key);
    } catch (const rightsmith::toolkit::Error &) {
        if (!lent->isLost())
            throw;
        return loadAnew();
    }
}

std::optional<SharedStore::Stored> SharedBackend::readCopy(Registry &registry) const
{
    const bool cached = registry.valueType(StoreNames::SharedUserTemplate) == Registry::Binary
        && registry.valueType(StoreNames::SharedUserTemplateVersion) == Registry::String;
    if (!cached)
        return std::nullopt;
    bool numeric = false;
    SharedStore::Stored copy;
    copy.version = registry.readString(StoreNames::SharedUserTemplateVersion)
                       .value_or(QByteArray())
                       .toLongLong(&numeric);
    if (!numeric || copy.version <= 0)
        return std::nullopt;
    copy.stream = registry.readBinary(StoreNames::SharedUserTemplate).value_or(QByteArray());
    copy.exists = true;
    return copy;
}

bool SharedBackend::copyIsAt(Registry &registry, qint64 version) const
{
    return registry.valueType(StoreNames::SharedUserTemplate) == Registry::Binary
        && registry.valueType(StoreNames::SharedUserTemplateVersion) == Registry::String
        && registry.readString(StoreNames::SharedUserTemplateVersion)
        == QByteArray::number(version);
}

void SharedBackend::writeCopy(Registry &registry, const QByteArray &bytes, qint64 version) const
{
    writeQuietly(StoreNames::SharedUserTemplate, [&] {
        registry.writeBinary(StoreNames::SharedUserTemplate, bytes);
        registry.writeString(StoreNames::SharedUserTemplateVersion, QByteArray::number(version));
    });
}

SharedStore::SaveResult SharedBackend::send(const QByteArray &bytes,
                                            TzkSecurityTemplate &userTemplate,
                                            SharedStore::Rows &read, qint64 &version,
                                            const QByteArray *roles,
                                            const TzkSecurityTemplate *roleTemplate) const
{
    // A connection of its own: a save must not fail on a lent one that the
    // server dropped before anyone noticed.
    const auto connection = SharedStore::connect(m_settings.sharedAddress);
    SharedStore &shared = *connection;
    if (!m_settings.hardening.auditTrail)
        return shared.save(m_settings.key, userTemplate, read, &version, {}, roles, &bytes);
    // With the trail on, the changes are recorded in the save's transaction:
    // the roles' first, then the members' rights they rewrote.
    // A save of some of the users compares those alone, as they were and as written.
    const auto recordChanges = [&](const QByteArray &replaced, const QByteArray &replacedRoles,
                                   const QByteArray *written) {
        const QDateTime now = m_settings.hardening.now();
        QList<AuditRecord> changes;
        if (roleTemplate)
            changes = roleChangesFrom(m_settings, replacedRoles, *roleTemplate);
        if (written) {
            TzkSecurityTemplate part;
            QBuffer stream;
            stream.setData(*written);
            stream.open(QIODevice::ReadOnly);
            part.LoadFromStreamSecurity(stream);
            changes += changesFrom(m_settings, replaced, part);
        } else {
            changes += changesFrom(m_settings, replaced, userTemplate);
        }
        for (const AuditRecord &entry : changes)
            shared.appendAudit(m_settings.key, entry, m_settings.hardening.auditLimits, now);
    };
    return shared.save(m_settings.key, userTemplate, read, &version, recordChanges, roles, &bytes);
}

std::unique_ptr<UserStoreBackend> makeSharedBackend(const UserStoreSettings &settings)
{
    return std::make_unique<SharedBackend>(settings);
}

} // namespace zkSecurity
