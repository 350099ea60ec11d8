// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The user store's back end that keeps the user template in a shared store
// on a server, with a copy in the local key.
#include "security/model/tzksecuritytemplate.h"
#include "security/store/storenames_p.h"
#include "security/store/templaterows_p.h"
#include "security/store/userstore_shared_p.h"
#include "toolkit/bytestream_p.h"
#include "toolkit/error.h"
#include "toolkit/logging_p.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QLoggingCategory>
#include <QRandomGenerator>

#include <utility>

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

namespace {

// A user's row as the local copy keeps it: the size of its records
// (4 bytes, little-endian), its records, then its lines.
QByteArray rowValue(const TemplateRows::Row &row)
{
    QByteArray value(4, Qt::Uninitialized);
    rightsmith::toolkit::writeInt32LE(value.data(), qint32(row.records.size()));
    return value + row.records + row.lines;
}

std::optional<TemplateRows::Row> rowFromValue(const QByteArray &value)
{
    if (value.size() < 4)
        return std::nullopt;
    const qint32 records = rightsmith::toolkit::readInt32LE(value.constData());
    if (records < 0 || records > value.size() - 4)
        return std::nullopt;
    return TemplateRows::Row {value.mid(4, records), value.mid(4 + records)};
}

// Opens the subkey of the copy's rows below the open key of \a registry
// (made when \a create), and the store's key again when it goes.
class RowsKey
{
public:
    RowsKey(Registry &registry, bool create)
        : m_registry(registry)
        , m_storeKey(u'\\' + registry.currentKey())
    {
        m_open = m_registry.openKey(StoreNames::SharedUserTemplateRows, create);
    }
    ~RowsKey() { m_registry.openKey(m_storeKey, false); }
    RowsKey(const RowsKey &) = delete;
    RowsKey &operator=(const RowsKey &) = delete;

    bool isOpen() const { return m_open; }

private:
    Registry &m_registry;
    QString m_storeKey;
    bool m_open = false;
};

// The mark of the copy's rows as stored; empty when there are none.
QByteArray writerOf(Registry &registry)
{
    if (!registry.keyExists(StoreNames::SharedUserTemplateRows))
        return {};
    RowsKey rows(registry, false);
    if (!rows.isOpen() || registry.valueType(StoreNames::SharedRowsWriter) != Registry::String)
        return {};
    return registry.readString(StoreNames::SharedRowsWriter).value_or(QByteArray());
}

QByteArray newWriter()
{
    return QByteArray::number(QRandomGenerator::system()->generate64(), 16);
}

// Whether \a rows says which server version each of \a users rows has.
bool knowsRows(const SharedStore::Rows &rows, qsizetype users)
{
    return rows.split && rows.versions.size() == users;
}

} // namespace

std::optional<SharedStore::Stored> SharedBackend::readCopy(Registry &registry) const
{
    if (registry.valueType(StoreNames::SharedUserTemplateVersion) != Registry::String)
        return std::nullopt;
    bool numeric = false;
    SharedStore::Stored copy;
    copy.version = registry.readString(StoreNames::SharedUserTemplateVersion)
                       .value_or(QByteArray())
                       .toLongLong(&numeric);
    if (!numeric || copy.version <= 0)
        return std::nullopt;
    if (registry.valueType(StoreNames::SharedUserTemplate) == Registry::Binary) {
        copy.stream = registry.readBinary(StoreNames::SharedUserTemplate).value_or(QByteArray());
        copy.exists = true;
        return copy;
    }
    if (!registry.keyExists(StoreNames::SharedUserTemplateRows))
        return std::nullopt;
    RowsKey key(registry, false);
    const std::optional<qint32> users = registry.readInteger(StoreNames::SharedRowCount);
    if (!key.isOpen() || !users || *users < 0)
        return std::nullopt;
    QList<TemplateRows::Row> rows;
    rows.reserve(*users);
    for (qint32 position = 0; position < *users; ++position) {
        const QString name = QString::number(position);
        if (registry.valueType(name) != Registry::Binary)
            return std::nullopt;
        std::optional<TemplateRows::Row> row =
            rowFromValue(registry.readBinary(name).value_or(QByteArray()));
        if (!row)
            return std::nullopt;
        rows.append(std::move(*row));
    }
    copy.stream = TemplateRows::assemble(rows);
    copy.exists = true;
    return copy;
}

bool SharedBackend::copyIsAt(Registry &registry, qint64 version, const SharedStore::Rows &rows,
                             CopyRows &copy) const
{
    if (registry.valueType(StoreNames::SharedUserTemplateVersion) != Registry::String
        || registry.readString(StoreNames::SharedUserTemplateVersion)
            != QByteArray::number(version))
        return false;
    if (registry.valueType(StoreNames::SharedUserTemplate) == Registry::Binary) {
        copy = {};
        return true;
    }
    const QByteArray writer = writerOf(registry);
    if (writer.isEmpty())
        return false;
    copy = {};
    if (rows.split) {
        RowsKey key(registry, false);
        if (registry.readInteger(StoreNames::SharedRowCount) == rows.versions.size())
            copy = {writer, rows.versions};
    }
    return true;
}

void SharedBackend::writeCopy(Registry &registry, const QByteArray &bytes, qint64 version,
                              const SharedStore::Rows &rows, CopyRows &copy) const
{
    copy = {};
    writeQuietly(StoreNames::SharedUserTemplate, [&] {
        std::optional<QList<TemplateRows::Row>> cut;
        if (rows.split)
            cut = TemplateRows::split(bytes);
        if (!cut || !knowsRows(rows, cut->size())) {
            registry.deleteKey(StoreNames::SharedUserTemplateRows);
            registry.writeBinary(StoreNames::SharedUserTemplate, bytes);
            registry.writeString(StoreNames::SharedUserTemplateVersion,
                                 QByteArray::number(version));
            return;
        }
        // The rows replace whatever copy there was, in the same transaction.
        registry.deleteValue(StoreNames::SharedUserTemplate);
        registry.deleteKey(StoreNames::SharedUserTemplateRows);
        const QByteArray writer = newWriter();
        {
            RowsKey key(registry, true);
            for (qsizetype position = 0; position < cut->size(); ++position)
                registry.writeBinary(QString::number(position), rowValue(cut->at(position)));
            registry.writeInteger(StoreNames::SharedRowCount, qint32(cut->size()));
            registry.writeString(StoreNames::SharedRowsWriter, writer);
        }
        registry.writeString(StoreNames::SharedUserTemplateVersion, QByteArray::number(version));
        copy = {writer, rows.versions};
    });
}

void SharedBackend::updateCopy(Registry &registry, TzkSecurityTemplate &tree, qint64 version,
                               const SharedStore::Rows &rows, CopyRows &copy) const
{
    const int users = tree.topLevelCount();
    const auto whole = [&] {
        QBuffer stream;
        stream.open(QIODevice::WriteOnly);
        tree.SaveToStreamSecurity(stream);
        writeCopy(registry, stream.data(), version, rows, copy);
    };
    // Only the copy this program wrote or read last is patched: anyone
    // else's write renews the mark.
    if (copy.writer.isEmpty() || !knowsRows(rows, users) || writerOf(registry) != copy.writer)
        return whole();
    QList<std::pair<int, TemplateRows::Row>> changed;
    for (int position = 0; position < users; ++position) {
        if (position < copy.versions.size() && copy.versions[position] == rows.versions[position])
            continue;
        std::optional<TemplateRows::Row> row = TemplateRows::rowOf(tree, position);
        if (!row)
            return whole();
        changed.append({position, std::move(*row)});
    }
    // Known again only once written.
    const QList<qint64> before = std::exchange(copy, {}).versions;
    writeQuietly(StoreNames::SharedUserTemplate, [&] {
        const QByteArray renewed = newWriter();
        {
            RowsKey key(registry, false);
            if (!key.isOpen())
                throw rightsmith::toolkit::Error(UserStore::tr("the local copy is gone"));
            for (const auto &[position, row] : std::as_const(changed))
                registry.writeBinary(QString::number(position), rowValue(row));
            for (qsizetype position = users; position < before.size(); ++position)
                registry.deleteValue(QString::number(position));
            registry.writeInteger(StoreNames::SharedRowCount, qint32(users));
            registry.writeString(StoreNames::SharedRowsWriter, renewed);
        }
        registry.writeString(StoreNames::SharedUserTemplateVersion, QByteArray::number(version));
        copy = {renewed, rows.versions};
    });
}

SharedStore::SaveResult SharedBackend::send(TzkSecurityTemplate &userTemplate,
                                            SharedStore::Rows &read, qint64 &version,
                                            const QByteArray *roles,
                                            const TzkSecurityTemplate *roleTemplate) const
{
    // A connection of its own: a save must not fail on a lent one that the
    // server dropped before anyone noticed.
    const auto connection = SharedStore::connect(m_settings.sharedAddress);
    SharedStore &shared = *connection;
    if (!m_settings.hardening.auditTrail)
        return shared.save(m_settings.key, userTemplate, read, &version, {}, roles);
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
    return shared.save(m_settings.key, userTemplate, read, &version, recordChanges, roles);
}

std::unique_ptr<UserStoreBackend> makeSharedBackend(const UserStoreSettings &settings)
{
    return std::make_unique<SharedBackend>(settings);
}

} // namespace zkSecurity
