// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The user store's back end that keeps the user template as the
// "UserTemplate" value of the store's key, with its size beside it.
#include "security/hardening/registrytables_p.h"
#include "security/model/templatestreamlayout_p.h"
#include "security/store/storedigest_p.h"
#include "security/store/storenames_p.h"
#include "security/store/userstorebackend_p.h"
#include "toolkit/bytestream_p.h"
#include "toolkit/error.h"
#include "toolkit/logging_p.h"
#include "toolkit/positioneddevice_p.h"
#include "toolkit/sqlitestatement_p.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLoggingCategory>
#include <QScopeGuard>

#include <cstring>

using rightsmith::logging::lcStore;
using rightsmith::toolkit::Registry;
using rightsmith::toolkit::detail::Statement;

namespace zkSecurity {

namespace {

QString registryWriteMessage()
{
    return UserStore::tr(
        "Error saving Users into Windows Registry. \t\r"
        "Probably you work with an older version of Windows that limits the size of binary block "
        "to be written to the registry. \t\r\t\r"
        "To resolve this problem you may chose to save Users into a file, pointed by a registry "
        "entry. (set \"soSaveUsersInFile\" option to your TzkSecurity component and rebuild)");
}

// A read-only view of \a data followed by zero bytes up to \a size, the buffer
// of "UserTemplateSize" bytes into which a shorter "UserTemplate" value is
// read, without allocating the zero tail.
class ZeroPaddedDevice : public rightsmith::toolkit::PositionedDevice
{
public:
    ZeroPaddedDevice(const QByteArray &data, qint64 size)
        : PositionedDevice(size)
        , m_data(data)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

protected:
    bool readAt(char *out, qint64 at, qint64 length) override
    {
        const qint64 fromData = qBound(qint64(0), qint64(m_data.size()) - at, length);
        if (fromData > 0)
            std::memcpy(out, m_data.constData() + at, size_t(fromData));
        std::memset(out + fromData, 0, size_t(length - fromData));
        return true;
    }

private:
    QByteArray m_data;
};

// The length at which \a data padded with zeros to \a size reads exactly as the
// whole padded buffer does: once the records fit, the text section ends at the
// first zero byte, and one padding zero past both the data and the records is
// enough to end it. A damaged count leaves the full size (the reader refuses it
// before reading anything large).
qint64 effectivePaddedSize(const QByteArray &data, qint64 size)
{
    if (size <= qint64(data.size()))
        return size;
    // The node count, with the bytes past the data read as the zeros they stand for.
    char count[4] = {};
    for (int i = 0; i < 4; ++i) {
        if (TemplateStreamLayout::CountOffset + i < data.size())
            count[i] = data.at(TemplateStreamLayout::CountOffset + i);
    }
    const qint32 n = rightsmith::toolkit::readInt32LE(count);
    const qint64 recordsEnd = TemplateStreamLayout::linesOffset(qMax(n, 0));
    if (n < 0 || recordsEnd > size)
        return size;
    return qMin(size, qMax(qint64(data.size()), recordsEnd) + 1);
}

// The store key as the records of "UserTemplate" values name it.
QString valueRecordName(const Registry &registry)
{
    return registry.currentKey();
}

// Copies an unreadable "UserTemplate" value, in whatever type it was stored,
// under a new value name of the open key, unless an identical copy is there.
// Returns the name it is kept under; empty when there is no such value.
QString keepValueAside(Registry &registry)
{
    const QString &value = StoreNames::UserTemplate;
    const Registry::ValueType type = registry.valueType(value);
    if (type == Registry::None)
        return {};

    auto same = [&registry, &value, type](const QString &name) {
        if (registry.valueType(name) != type)
            return false;
        try {
            switch (type) {
            case Registry::Integer:
                return registry.readInteger(name) == registry.readInteger(value);
            case Registry::String:
                return registry.readString(name) == registry.readString(value);
            default:
                return registry.readBinary(name) == registry.readBinary(value);
            }
        } catch (const rightsmith::toolkit::Error &) {
            return false;
        }
    };
    for (const QString &name : registry.valueNames()) {
        if (name.startsWith(value + AsideInfix, Qt::CaseInsensitive) && same(name))
            return name;
    }

    const QString aside =
        asideName(value, [&registry](const QString &name) { return registry.valueExists(name); });
    switch (type) {
    case Registry::Integer:
        registry.writeInteger(aside, registry.readInteger(value).value_or(0));
        break;
    case Registry::String:
        registry.writeString(aside, registry.readString(value).value_or(QByteArray()));
        break;
    default:
        // A binary value, or one whose stored type is damaged: its payload is
        // reached as binary or not at all, and then there is nothing to keep.
        try {
            registry.writeBinary(aside, registry.readBinary(value).value_or(QByteArray()));
        } catch (const rightsmith::toolkit::Error &) {
            if (type == Registry::Binary)
                throw;
            return {};
        }
        break;
    }
    return aside;
}

// The backups of "UserTemplate" values: a table beside the registry's values,
// one row a backup, which programs that do not know it never read. Its
// template is copied from the value inside the database, never through the
// program; rows are only added and dropped, never rewritten.
constexpr const char *BackupTable = "user_template_backups";
constexpr const char *CreateBackupTableSql =
    "CREATE TABLE IF NOT EXISTS user_template_backups("
    "id INTEGER PRIMARY KEY AUTOINCREMENT, store_key TEXT NOT NULL COLLATE NOCASE, "
    "kept_at INTEGER NOT NULL, digest BLOB NOT NULL, template BLOB NOT NULL);"
    "CREATE INDEX IF NOT EXISTS user_template_backups_by_key "
    "ON user_template_backups(store_key, id);";

QString backupFailure()
{
    return UserStore::tr("Cannot keep a backup of the user template");
}

// Keeps the "UserTemplate" value of the open key, whose bytes have \a digest,
// as its newest backup and drops the oldest beyond the number kept; in the
// open transaction. True when the value was there to keep.
bool keepValueBackup(Registry &registry, const QByteArray &digest)
{
    detail::execute(registry, CreateBackupTableSql, backupFailure());
    Statement keep(registry,
                   "INSERT INTO user_template_backups(store_key, kept_at, digest, template) "
                   "SELECT ?1, ?2, ?3, data FROM \"values\" WHERE key = ?4 AND name = ?5 "
                   "AND type = 1 AND typeof(data) = 'blob'");
    keep.bind(1, valueRecordName(registry));
    keep.bind(2, QDateTime::currentMSecsSinceEpoch());
    keep.bindBlob(3, digest);
    keep.bind(4, registry.currentKeyId());
    keep.bind(5, StoreNames::UserTemplate);
    if (keep.step() != SQLITE_DONE)
        registry.fail(backupFailure());
    const bool kept = sqlite3_changes(registry.database()) > 0;
    Statement drop(registry,
                   "DELETE FROM user_template_backups WHERE store_key = ?1 AND id NOT IN "
                   "(SELECT id FROM user_template_backups WHERE store_key = ?1 "
                   "ORDER BY id DESC LIMIT ?2)");
    drop.bind(1, valueRecordName(registry));
    drop.bind(2, UserStore::KeptBackups);
    if (drop.step() != SQLITE_DONE)
        registry.fail(backupFailure());
    return kept;
}

// Writes \a bytes as the "UserTemplate" value. SQLite here zeroes whatever is
// deleted (secure_delete), so that nothing removed stays in the file. With
// \a keptAsBackup the bytes replaced stay in the file all the same, as the
// newest backup written in the same transaction: zeroing the pages they
// leave costs about as much as writing the value and protects nothing, so
// only the bytes in pages written anyway are zeroed (FAST). The pages the
// new value does not take again hold a copy of that backup, and the pages
// of a dropped backup are zeroed as ever.
void writeTemplateValue(Registry &registry, const QByteArray &bytes, bool keptAsBackup)
{
    sqlite3 *db = registry.database();
    int zeroing = -1;
    if (keptAsBackup) {
        Statement setting(registry, "PRAGMA secure_delete");
        if (setting.step() == SQLITE_ROW)
            zeroing = int(setting.columnInt(0));
    }
    if (zeroing > 0)
        sqlite3_exec(db, "PRAGMA secure_delete=FAST", nullptr, nullptr, nullptr);
    const auto restore = qScopeGuard([db, zeroing] {
        if (zeroing > 0) {
            const QByteArray sql = "PRAGMA secure_delete=" + QByteArray::number(zeroing);
            sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
        }
    });
    registry.writeBinary(StoreNames::UserTemplate, bytes);
}

class ValueBackend final : public LocalBackend
{
public:
    explicit ValueBackend(const UserStoreSettings &settings)
        : LocalBackend(settings)
    {
    }

    QString location() const override
    {
        return UserStore::tr("the value \"%1\" in the registry database \"%2\" (key \"%3\")")
            .arg(StoreNames::UserTemplate, m_settings.registryPath(), m_settings.key);
    }

    QString keepAside() override
    {
        Registry registry(m_settings.registryPath(), Registry::ReadWrite);
        rightsmith::toolkit::RegistryTransaction transaction(registry, Registry::WriteTransaction);
        QString kept;
        if (registry.openKey(m_settings.key, false))
            kept = keepValueAside(registry);
        recordInTrail(m_settings, registry, AuditEvent::StoreKeptAside, kept);
        transaction.commit();
        if (kept.isEmpty())
            return {};
        return UserStore::tr("the value \"%1\" of the same key").arg(kept);
    }

    QString prepareRead(Registry &, bool) override { return {}; }

    bool existsOutsideDatabase() const override { return false; }
    bool isThere(Registry &registry) const override
    {
        return registry.valueType(StoreNames::UserTemplate) != Registry::None;
    }

    Read read(Registry &registry, qint64 size, bool) override
    {
        Read read;
        QByteArray stored;
        const Registry::ValueType type = registry.valueType(StoreNames::UserTemplate);
        if (type != Registry::None) {
            if (type != Registry::Binary || registry.valueSize(StoreNames::UserTemplate) > size)
                throwInvalidDataType(StoreNames::UserTemplate);
            stored = registry.readBinary(StoreNames::UserTemplate, size).value_or(QByteArray());
        }
        read.size = stored.size();
        read.contentHash = ContentHash::of(stored);
        // A value shorter than the size reads as if its tail were zero bytes.
        read.stream = std::make_unique<ZeroPaddedDevice>(stored, effectivePaddedSize(stored, size));
        read.recorded =
            recordedDigest(registry, ValueDigestKey, valueRecordName(registry), m_settings.key);
        // Hashed while the stream is read.
        if (type != Registry::None) {
            read.hashing =
                std::async(std::launch::async, [data = stored] { return digestOf(data); });
        }
        return read;
    }

    void forgetRecord(Registry &registry) override
    {
        recordDigest(registry, ValueDigestKey, valueRecordName(registry), std::nullopt,
                     m_settings.key);
    }

    QByteArray heldDigest(Registry &registry) const override
    {
        if (registry.valueType(StoreNames::UserTemplate) == Registry::None)
            return {};
        const QString name = valueRecordName(registry);
        if (const auto recorded = recordedDigest(registry, ValueDigestKey, name, m_settings.key))
            return *recorded;
        if (registry.valueType(StoreNames::UserTemplate) != Registry::Binary)
            return {};
        return digestOf(storedBytes(registry));
    }

    std::optional<qint64> storedSize(Registry &registry) const override
    {
        if (registry.valueType(StoreNames::UserTemplate) != Registry::Binary)
            return std::nullopt;
        return registry.valueSize(StoreNames::UserTemplate);
    }

    QByteArray storedBytes(Registry &registry) const override
    {
        if (registry.valueType(StoreNames::UserTemplate) != Registry::Binary)
            return {};
        return registry.readBinary(StoreNames::UserTemplate).value_or(QByteArray());
    }

    QString place() const override { return m_settings.key; }
    bool isAt(const QString &place) const override
    {
        return place.compare(m_settings.key, Qt::CaseInsensitive) == 0;
    }

    bool writesBytes() const override { return true; }
    std::optional<Failure> prepareWrite(Registry &) override { return std::nullopt; }

    std::optional<Failure> writeValues(Registry &registry, const QByteArray &bytes,
                                       bool keepUnreadable, Written &written) override
    {
        std::future<QByteArray> hashing;
        bool keptAsBackup = false;
        if (m_keepReplaced && !keepUnreadable) {
            try {
                keptAsBackup = keepValueBackup(registry, *m_keepReplaced);
            } catch (const rightsmith::toolkit::Error &error) {
                return Failure {error.message(), {}};
            }
        }
        try {
            if (keepUnreadable) {
                recordInTrail(m_settings, registry, AuditEvent::StoreKeptAside,
                              keepValueAside(registry));
            }
            // Hashed while the value is written.
            hashing = std::async(std::launch::async, [&bytes] { return digestOf(bytes); });
            writeTemplateValue(registry, bytes, keptAsBackup);
        } catch (const rightsmith::toolkit::Error &error) {
            qCWarning(lcStore, "%ls", qUtf16Printable(error.message()));
            return Failure {{}, registryWriteMessage()};
        }
        try {
            registry.writeInteger(StoreNames::UserTemplateSize, qint32(bytes.size()));
            written.size = bytes.size();
            written.digest = hashing.get();
            recordDigest(registry, ValueDigestKey, valueRecordName(registry), written.digest,
                         m_settings.key);
        } catch (const rightsmith::toolkit::Error &error) {
            return Failure {error.message(), {}};
        }
        return std::nullopt;
    }

    // Everything is in the key.
    std::optional<Failure> stage(Registry &, TzkSecurityTemplate &, const QByteArray &, bool,
                                 Written &) override
    {
        return std::nullopt;
    }

    QStringList keptAside() const override
    {
        QStringList names;
        try {
            Registry registry(m_settings.registryPath(), Registry::ReadOnly);
            if (registry.openKey(m_settings.key, false)) {
                for (const QString &name : registry.valueNames()) {
                    if (name.startsWith(StoreNames::UserTemplate + AsideInfix, Qt::CaseInsensitive))
                        names << name;
                }
            }
        } catch (const rightsmith::toolkit::Error &) {
            // A store that cannot be opened keeps nothing that can be listed.
        }
        return names;
    }

    QString replace(Registry &registry, const QByteArray &stream) override
    {
        const bool same = registry.valueType(StoreNames::UserTemplate) == Registry::Binary
            && registry.readBinary(StoreNames::UserTemplate) == stream;
        QString kept;
        bool keptAsBackup = false;
        if (!same && m_keepReplaced) {
            keptAsBackup = keepValueBackup(registry, *m_keepReplaced);
            kept = UserStore::tr("backup 1");
        } else if (!same) {
            kept = keepValueAside(registry);
        }
        writeTemplateValue(registry, stream, keptAsBackup);
        recordDigest(registry, ValueDigestKey, valueRecordName(registry), digestOf(stream),
                     m_settings.key);
        return kept;
    }

    QList<Backup> backups(Registry *registry) const override
    {
        // Kept in the database: a damaged one keeps none that can be read.
        QList<Backup> list;
        if (!registry || !detail::tableExists(*registry, BackupTable, backupFailure()))
            return list;
        Statement rows(*registry,
                       "SELECT kept_at, digest, template FROM user_template_backups "
                       "WHERE store_key = ?1 ORDER BY id DESC LIMIT ?2");
        rows.bind(1, valueRecordName(*registry));
        rows.bind(2, UserStore::KeptBackups);
        int rc;
        while ((rc = rows.step()) == SQLITE_ROW) {
            list.append({QDateTime::fromMSecsSinceEpoch(rows.columnInt(0), Qt::UTC),
                         rows.columnBlob(2), rows.columnBlob(1)});
        }
        if (rc != SQLITE_DONE)
            registry->fail(UserStore::tr("Cannot read the backups of the user template"));
        return list;
    }
};

} // namespace

std::unique_ptr<UserStoreBackend> makeValueBackend(const UserStoreSettings &settings)
{
    return std::make_unique<ValueBackend>(settings);
}

} // namespace zkSecurity
