// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/registry.h"

#include "toolkit/error.h"
#include "toolkit/positioneddevice_p.h"
#include "toolkit/sqlitestatement_p.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QScopeGuard>
#include <QSet>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace rightsmith::toolkit {

namespace {

constexpr qint64 RootKeyId = 1;
constexpr int SchemaVersion = 1;
// "RSMR": marks a database file as ours, so that a foreign SQLite file is refused.
constexpr int ApplicationId = 0x52534d52;
constexpr int BusyTimeoutMs = 5000;
constexpr mode_t DirectoryMode = 0700;
constexpr mode_t FileMode = 0600;

// The tables. A value keeps its type in `type` and its payload in `data`, which
// has no type affinity: binary and string payloads are BLOBs (the string's bytes
// are 8-bit code page text, not UTF-8), integers are INTEGERs. NOCASE folds
// ASCII letters only. Subkeys are deleted explicitly, deepest first; the
// foreign key on `parent` refuses to orphan a key instead of cascading.
constexpr const char *SchemaSql = R"sql(
CREATE TABLE IF NOT EXISTS keys(
    id INTEGER PRIMARY KEY,
    parent INTEGER REFERENCES keys(id),
    name TEXT NOT NULL COLLATE NOCASE,
    UNIQUE(parent, name));
INSERT OR IGNORE INTO keys(id, parent, name) VALUES(1, NULL, '');
CREATE TABLE IF NOT EXISTS "values"(
    key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,
    name TEXT NOT NULL COLLATE NOCASE,
    type INTEGER NOT NULL CHECK(type IN (1, 2, 3)),
    data BLOB,
    UNIQUE(key, name),
    CHECK(typeof(data) = CASE type WHEN 2 THEN 'integer' ELSE 'blob' END));
)sql";

QString sqliteMessage(sqlite3 *db)
{
    if (!db)
        return Registry::tr("out of memory");
    return QString::fromUtf16(static_cast<const char16_t *>(sqlite3_errmsg16(db)));
}

QString systemMessage(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString invalidDataType(const QString &name)
{
    return Registry::tr("Invalid data type for '%1'").arg(name);
}

/// Creates \a dir and its missing parents with mode 0700, whatever the umask.
void ensureDirectory(const QString &dir)
{
    const QByteArray native = QFile::encodeName(dir);
    struct stat st;
    if (::stat(native.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return;
        throw Error(
            Registry::tr("Cannot create directory '%1': %2").arg(dir, systemMessage(ENOTDIR)));
    }
    const QString parent = QFileInfo(dir).path();
    if (parent != dir)
        ensureDirectory(parent);
    if (::mkdir(native.constData(), DirectoryMode) != 0) {
        if (errno == EEXIST)
            return; // made by another process meanwhile
        throw Error(
            Registry::tr("Cannot create directory '%1': %2").arg(dir, systemMessage(errno)));
    }
    ::chmod(native.constData(), DirectoryMode);
}

/// Creates a missing database file with mode 0600 before SQLite opens it, so
/// that it is never readable by others, not even for a moment. An existing
/// file is left as it is: it is narrowed only once it is known to be ours.
void createFileIfMissing(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, FileMode);
    if (fd >= 0) {
        ::fchmod(fd, FileMode);
        ::close(fd);
        return;
    }
    // An existing file (or one SQLite cannot open) is left for SQLite to report.
    if (errno != EEXIST)
        throw Error(
            Registry::tr("Cannot open registry database '%1': %2").arg(path, systemMessage(errno)));
}

/// Why the file system keeps the database \a path from being used with
/// \a access, in the operating system's words; empty when it finds nothing.
/// SQLite opens a file it may not write read-only instead, then fails on its
/// -wal and -shm files and names their errno (a missing file), not the cause.
QString fileSystemCause(const QString &path, Registry::Access access)
{
    const QString folder = QFileInfo(path).path();
    const QByteArray nativeFolder = QFile::encodeName(folder);
    const bool write = access == Registry::ReadWrite;
    // Writing needs the file and its folder (for the -wal and -shm files);
    // reading a database in WAL mode needs a -shm file, made when missing.
    struct statvfs fs;
    if (::statvfs(nativeFolder.constData(), &fs) == 0 && (fs.f_flag & ST_RDONLY)
        && (write || !QFileInfo::exists(path + u"-shm"_s)))
        return systemMessage(EROFS);
    if (::access(QFile::encodeName(path).constData(), write ? R_OK | W_OK : R_OK) != 0)
        return systemMessage(errno);
    if (write && ::access(nativeFolder.constData(), W_OK | X_OK) != 0)
        return Registry::tr("folder '%1': %2").arg(folder, systemMessage(errno));
    return QString();
}

} // namespace

namespace {
using detail::Statement;

/// A write transaction around one operation of the registry that rolls back
/// unless committed. Inside a transaction the caller already holds, it does
/// nothing: the caller's transaction makes the operation part of its unit.
class ImplicitTransaction
{
public:
    explicit ImplicitTransaction(sqlite3 *db)
        : m_db(db)
    {
    }
    ~ImplicitTransaction()
    {
        if (m_open)
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    ImplicitTransaction(const ImplicitTransaction &) = delete;
    ImplicitTransaction &operator=(const ImplicitTransaction &) = delete;

    bool begin()
    {
        if (!sqlite3_get_autocommit(m_db))
            return true;
        m_open = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
        return m_open;
    }
    bool commit()
    {
        if (!m_open)
            return true;
        if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
            return false;
        m_open = false;
        return true;
    }

private:
    sqlite3 *m_db;
    bool m_open = false;
};

/// Type of a stored value: the type column and the payload must agree, or the
/// value is of no type that can be read.
Registry::ValueType classify(qint64 type, int columnType, qint64 integer)
{
    switch (type) {
    case Registry::Binary:
    case Registry::String:
        return columnType == SQLITE_BLOB ? Registry::ValueType(type) : Registry::Unknown;
    case Registry::Integer:
        return columnType == SQLITE_INTEGER && integer >= std::numeric_limits<qint32>::min()
                && integer <= std::numeric_limits<qint32>::max()
            ? Registry::Integer
            : Registry::Unknown;
    default:
        return Registry::Unknown;
    }
}

QByteArray cutAtZero(const QByteArray &bytes)
{
    const qsizetype zero = bytes.indexOf('\0');
    return zero < 0 ? bytes : bytes.left(zero);
}

} // namespace

Registry::Registry(Access access)
{
    open(defaultPath(), access);
}

Registry::Registry(const QString &path, Access access)
{
    open(path, access);
}

Registry::~Registry()
{
    close();
}

void Registry::close() noexcept
{
    // A statement still prepared would keep the connection, and its file, open.
    m_statements.reset();
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

QString Registry::defaultPath()
{
    // Asked at every call: a test or a tool may point XDG_CONFIG_HOME elsewhere
    // between two stores. QStandardPaths honours XDG_CONFIG_HOME and its test
    // mode; a relative XDG_CONFIG_HOME is invalid and ignored.
    QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QDir::homePath() + u"/.config"_s;
    return QDir::cleanPath(config + u"/rightsmith/registry.sqlite3"_s);
}

QString Registry::damage(const QString &path)
{
    const QString absolute = QDir::cleanPath(QDir(QDir::currentPath()).absoluteFilePath(path));
    if (!QFileInfo(absolute).isFile())
        return {};
    sqlite3 *db = nullptr;
    const int opened = sqlite3_open_v2(QFile::encodeName(absolute).constData(), &db,
                                       SQLITE_OPEN_READONLY, nullptr);
    const auto closeDb = qScopeGuard([&db] { sqlite3_close_v2(db); });
    if (opened != SQLITE_OK)
        return {};
    sqlite3_busy_timeout(db, BusyTimeoutMs);
    const auto isDamage = [](int rc) {
        return rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT;
    };
    // One integer of \a sql into \a value; SQLite's result code.
    const auto integer = [db](const char *sql, qint64 &value) {
        Statement statement(db, sql);
        const int rc = statement.step();
        if (rc == SQLITE_ROW)
            value = statement.columnInt(0);
        return rc == SQLITE_ROW ? SQLITE_OK : rc;
    };
    qint64 applicationId = 0;
    qint64 version = 0;
    qint64 objects = 0;
    for (const auto &[sql, value] : {std::pair {"PRAGMA application_id", &applicationId},
                                     std::pair {"PRAGMA user_version", &version},
                                     std::pair {"SELECT count(*) FROM sqlite_master", &objects}}) {
        const int rc = integer(sql, *value);
        if (isDamage(rc))
            return tr("it is not an SQLite database (%1)").arg(sqliteMessage(db));
        if (rc != SQLITE_OK)
            return {};
    }
    if (applicationId == 0 && version == 0 && objects == 0)
        return {};
    if (applicationId != ApplicationId)
        return tr("it belongs to another program");
    if (version > SchemaVersion)
        return {};
    // Both tables, with the root key, and pages that read back whole.
    qint64 root = 0;
    qint64 values = 0;
    for (const auto &[sql, value] :
         {std::pair {"SELECT count(*) FROM keys WHERE id = 1", &root},
          std::pair {"SELECT count(*) FROM (SELECT key, name, type, data FROM \"values\" LIMIT 1)",
                     &values}}) {
        const int rc = integer(sql, *value);
        if (rc == SQLITE_ERROR || isDamage(rc))
            return tr("its tables are damaged (%1)").arg(sqliteMessage(db));
        if (rc != SQLITE_OK)
            return {};
    }
    if (root != 1)
        return tr("its root key is missing");
    Statement check(db, "PRAGMA quick_check(1)");
    const int rc = check.step();
    if (isDamage(rc))
        return tr("its pages are damaged (%1)").arg(sqliteMessage(db));
    if (rc == SQLITE_ROW && check.columnText(0) != "ok"_L1)
        return tr("its pages are damaged (%1)").arg(check.columnText(0));
    return {};
}

QString Registry::moveAside(const QString &path)
{
    const QString absolute = QDir::cleanPath(QDir(QDir::currentPath()).absoluteFilePath(path));
    const QString stem = absolute + u".damaged-"_s
        + QDateTime::currentDateTimeUtc().toString(u"yyyyMMdd'T'HHmmss'Z'"_s);
    const auto taken = [](const QString &name) {
        for (const auto suffix : {""_L1, "-wal"_L1, "-shm"_L1}) {
            if (QFileInfo::exists(name + suffix) || QFileInfo(name + suffix).isSymLink())
                return true;
        }
        return false;
    };
    QString aside = stem;
    for (int counter = 2; taken(aside); ++counter)
        aside = stem + u'-' + QString::number(counter);
    // The database first: once it is gone, its -wal file must follow, or a
    // new database in its place would take the old one's journal for its own.
    for (const auto suffix : {""_L1, "-wal"_L1, "-shm"_L1}) {
        const QByteArray from = QFile::encodeName(absolute + suffix);
        const QByteArray to = QFile::encodeName(aside + suffix);
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) != 0
            && (errno != ENOENT || suffix.isEmpty()))
            throw Error(tr("Cannot move registry database '%1' aside: %2")
                            .arg(absolute + suffix, systemMessage(errno)));
    }
    const int folder = ::open(QFile::encodeName(QFileInfo(absolute).path()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return aside;
}

void Registry::open(const QString &path, Access access)
{
    m_path = QDir::cleanPath(QDir(QDir::currentPath()).absoluteFilePath(path));
    m_access = access;
    int flags = SQLITE_OPEN_READONLY;
    if (access == ReadWrite) {
        ensureDirectory(QFileInfo(m_path).path());
        createFileIfMissing(m_path);
        flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    } else if (!QFileInfo(m_path).isFile()) {
        throw Error(
            tr("Cannot open registry database '%1': %2").arg(m_path, systemMessage(ENOENT)));
    }

    const QByteArray native = QFile::encodeName(m_path);
    const int rc = sqlite3_open_v2(native.constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = reason();
        close();
        throw Error(tr("Cannot open registry database '%1': %2").arg(m_path, message));
    }
    m_statements = std::make_unique<detail::StatementCache>(m_db);
    try {
        sqlite3_busy_timeout(m_db, BusyTimeoutMs);
        // Nothing is written, and no setting or mode changed, before the file
        // is known to be ours or brand new.
        const bool isNew = checkOwnership();
        if (access == ReadOnly) {
            if (isNew)
                throw Error(
                    tr("Cannot open registry database '%1': it holds no registry").arg(m_path));
        } else {
            const QString what = tr("Cannot open registry database '%1'").arg(m_path);
            // A new file gets large pages: a user template of many users is
            // one value of megabytes, written in a sixteenth of the pages (a
            // file made with smaller ones keeps them; WAL cannot change them).
            if (isNew)
                sqlite3_exec(m_db, "PRAGMA page_size=65536", nullptr, nullptr, nullptr);
            if (sqlite3_exec(m_db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr)
                    != SQLITE_OK
                || sqlite3_exec(m_db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr)
                    != SQLITE_OK)
                fail(what);
            createSchema();
            restrictFileModes();
        }
        if (sqlite3_exec(m_db, "PRAGMA foreign_keys=ON", nullptr, nullptr, nullptr) != SQLITE_OK)
            fail(tr("Cannot open registry database '%1'").arg(m_path));
    } catch (...) {
        close();
        throw;
    }
    m_currentKeyId = RootKeyId;
    m_currentKey.clear();
}

bool Registry::checkOwnership() const
{
    const QString what = tr("Cannot open registry database '%1'").arg(m_path);
    auto pragma = [&](const char *sql) {
        Statement statement(m_db, sql); // once per connection: not kept
        if (statement.step() != SQLITE_ROW)
            fail(what);
        return statement.columnInt(0);
    };
    // The first statement reads the header: a file that is not a database fails here.
    const qint64 applicationId = pragma("PRAGMA application_id");
    const qint64 version = pragma("PRAGMA user_version");
    const qint64 objects = pragma("SELECT count(*) FROM sqlite_master");
    if (applicationId == 0 && version == 0 && objects == 0)
        return true;
    if (applicationId != ApplicationId)
        throw Error(
            tr("Cannot open registry database '%1': it belongs to another program").arg(m_path));
    if (version > SchemaVersion)
        throw Error(tr("Cannot open registry database '%1': made by a newer version (%2)")
                        .arg(m_path)
                        .arg(version));
    return false;
}

void Registry::createSchema()
{
    const QString what = tr("Cannot open registry database '%1'").arg(m_path);
    {
        Statement root(*this, "SELECT 1 FROM keys WHERE id = 1");
        if (root.prepared() && root.step() == SQLITE_ROW)
            return;
    }

    // A new file, or one of ours without its root key: set up in one write
    // transaction, so that two programs starting at once do it one after the
    // other; the second finds the file ours and the tables there.
    ImplicitTransaction transaction(m_db);
    if (!transaction.begin())
        fail(what);
    checkOwnership();
    if (sqlite3_exec(m_db, SchemaSql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(what);
    const QByteArray stamp = "PRAGMA user_version=" + QByteArray::number(SchemaVersion)
        + ";PRAGMA application_id=" + QByteArray::number(ApplicationId);
    if (sqlite3_exec(m_db, stamp.constData(), nullptr, nullptr, nullptr) != SQLITE_OK
        || !transaction.commit())
        fail(what);
}

void Registry::restrictFileModes() const
{
    // The file is ours now: one made earlier with a wider mode (by hand, or by
    // an older version) is narrowed, and so are the -wal and -shm files.
    for (const auto suffix : {""_L1, "-wal"_L1, "-shm"_L1}) {
        const QByteArray native = QFile::encodeName(m_path + suffix);
        struct stat st;
        if (::stat(native.constData(), &st) == 0 && S_ISREG(st.st_mode)
            && (st.st_mode & 07777) != FileMode)
            ::chmod(native.constData(), FileMode);
    }
}

QString Registry::reason() const
{
    QString message = sqliteMessage(m_db);
    if (!m_db)
        return message;
    // The operating system's own words where a file operation failed: the
    // cause the file system shows, else the error of SQLite's last call.
    switch (sqlite3_errcode(m_db)) {
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
    case SQLITE_READONLY:
    case SQLITE_PERM:
        if (const QString cause = fileSystemCause(m_path, m_access); !cause.isEmpty()) {
            message += u" ("_s + cause + u')';
            break;
        }
        [[fallthrough]];
    case SQLITE_FULL:
        if (const int error = sqlite3_system_errno(m_db))
            message += u" ("_s + systemMessage(error) + u')';
        break;
    default:
        break;
    }
    return message;
}

void Registry::fail(const QString &what) const
{
    throw Error(u"%1: %2"_s.arg(what, reason()));
}

void Registry::beginTransaction(TransactionKind kind)
{
    if (inTransaction())
        throw Error(
            tr("Cannot begin a transaction in registry database '%1': one is open").arg(m_path));
    // A write transaction takes the write lock at once, waiting up to the busy
    // timeout; a read transaction fixes its snapshot with its first read.
    const char *sql = kind == WriteTransaction ? "BEGIN IMMEDIATE" : "BEGIN";
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(kind == WriteTransaction ? tr("Cannot write registry database '%1'").arg(m_path)
                                      : tr("Cannot read registry database '%1'").arg(m_path));
    if (kind == ReadTransaction) {
        Statement snapshot(*this, "SELECT 1 FROM keys WHERE id = 1");
        if (snapshot.step() != SQLITE_ROW) {
            const QString message = reason();
            rollback();
            throw Error(tr("Cannot read registry database '%1': %2").arg(m_path, message));
        }
    }
}

void Registry::commit()
{
    if (!inTransaction())
        return;
    if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        const QString message = reason();
        rollback();
        throw Error(tr("Cannot write registry database '%1': %2").arg(m_path, message));
    }
}

void Registry::rollback() noexcept
{
    if (inTransaction())
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool Registry::inTransaction() const
{
    return !sqlite3_get_autocommit(m_db);
}

bool Registry::keyIdExists(qint64 id) const
{
    Statement statement(*this, "SELECT 1 FROM keys WHERE id = ?");
    statement.bind(1, id);
    const int rc = statement.step();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        fail(tr("Cannot read registry key '%1'").arg(m_currentKey));
    return rc == SQLITE_ROW;
}

Registry::KeyRef Registry::resolveKey(const QString &path, bool create) const
{
    const QStringList names = path.split(u'\\', Qt::SkipEmptyParts);
    KeyRef base;
    if (path.startsWith(u'\\') || m_currentKeyId == RootKeyId) {
        base.id = RootKeyId;
    } else {
        base = {m_currentKeyId, m_currentKey};
        if (!keyIdExists(base.id)) {
            if (create)
                throw Error(tr("Cannot create registry key '%1': the key '%2' no longer exists")
                                .arg(path, m_currentKey));
            return {};
        }
    }

    auto walk = [&](bool insert) -> KeyRef {
        KeyRef key = base;
        for (const QString &name : names) {
            Statement find(*this, "SELECT id, name FROM keys WHERE parent = ? AND name = ?");
            find.bind(1, key.id);
            find.bind(2, name);
            const int rc = find.step();
            QString stored = name;
            if (rc == SQLITE_ROW) {
                key.id = find.columnInt(0);
                stored = find.columnText(1);
            } else if (rc == SQLITE_DONE && insert) {
                Statement add(*this, "INSERT INTO keys(parent, name) VALUES(?, ?)");
                add.bind(1, key.id);
                add.bind(2, name);
                if (add.step() != SQLITE_DONE)
                    fail(tr("Cannot create registry key '%1'").arg(path));
                key.id = sqlite3_last_insert_rowid(m_db);
            } else if (rc == SQLITE_DONE) {
                return {};
            } else {
                fail(tr("Cannot read registry key '%1'").arg(path));
            }
            key.path = key.path.isEmpty() ? stored : key.path + u'\\' + stored;
        }
        return key;
    };

    // Opening an existing key writes nothing; only a missing one takes the write lock.
    KeyRef found = walk(false);
    if (found.id >= 0 || !create)
        return found;
    ImplicitTransaction transaction(m_db);
    if (!transaction.begin())
        fail(tr("Cannot create registry key '%1'").arg(path));
    found = walk(true);
    if (!transaction.commit())
        fail(tr("Cannot create registry key '%1'").arg(path));
    return found;
}

bool Registry::openKey(const QString &path, bool create)
{
    const KeyRef key = resolveKey(path, create);
    if (key.id < 0)
        return false;
    m_currentKeyId = key.id;
    m_currentKey = key.path;
    return true;
}

void Registry::closeKey()
{
    m_currentKeyId = RootKeyId;
    m_currentKey.clear();
}

bool Registry::keyExists(const QString &path) const
{
    return resolveKey(path, false).id >= 0;
}

bool Registry::deleteKey(const QString &path)
{
    const QString what = tr("Cannot delete registry key '%1'").arg(path);
    ImplicitTransaction transaction(m_db);
    if (!transaction.begin())
        fail(what);
    const KeyRef key = resolveKey(path, false);
    if (key.id < 0 || key.id == RootKeyId)
        return false;

    // Collect the subtree level by level; the visited set keeps a damaged file
    // whose parent links form a cycle from looping, and the root is never taken.
    QList<qint64> order {key.id};
    QSet<qint64> seen {RootKeyId, key.id};
    for (qsizetype i = 0; i < order.size(); ++i) {
        Statement children(*this, "SELECT id FROM keys WHERE parent = ?");
        children.bind(1, order.at(i));
        int rc;
        while ((rc = children.step()) == SQLITE_ROW) {
            const qint64 child = children.columnInt(0);
            if (!seen.contains(child)) {
                seen.insert(child);
                order.append(child);
            }
        }
        if (rc != SQLITE_DONE)
            fail(what);
    }

    // Deepest first: children come after their parents in the list.
    for (qsizetype i = order.size() - 1; i >= 0; --i) {
        Statement values(*this, "DELETE FROM \"values\" WHERE key = ?");
        values.bind(1, order.at(i));
        Statement keys(*this, "DELETE FROM keys WHERE id = ?");
        keys.bind(1, order.at(i));
        if (values.step() != SQLITE_DONE || keys.step() != SQLITE_DONE)
            fail(what);
    }
    if (!transaction.commit())
        fail(what);
    return true;
}

QStringList Registry::subKeys(const QString &path) const
{
    const KeyRef key = resolveKey(path, false);
    QStringList names;
    if (key.id < 0)
        return names;
    Statement statement(*this,
                        "SELECT name FROM keys WHERE parent = ?1 AND id <> ?1 ORDER BY name");
    statement.bind(1, key.id);
    int rc;
    while ((rc = statement.step()) == SQLITE_ROW)
        names.append(statement.columnText(0));
    if (rc != SQLITE_DONE)
        fail(tr("Cannot list registry key '%1'").arg(path));
    return names;
}

Registry::ValueInfo Registry::valueInfo(const QString &name) const
{
    // length() and typeof() read no payload; instr() reads it, so only a
    // string's is searched for its terminator (3 is String).
    static_assert(String == 3);
    Statement statement(*this,
                        "SELECT type, typeof(data), CASE typeof(data) WHEN 'integer' THEN data "
                        "END, length(data), CASE type WHEN 3 THEN instr(data, x'00') END "
                        "FROM \"values\" WHERE key = ? AND name = ?");
    statement.bind(1, m_currentKeyId);
    statement.bind(2, name);
    const int rc = statement.step();
    if (rc == SQLITE_DONE)
        return {};
    if (rc != SQLITE_ROW)
        fail(tr("Cannot read value '%1'").arg(name));

    const QString storage = statement.columnText(1);
    const int columnType = storage == "integer"_L1 ? SQLITE_INTEGER
        : storage == "blob"_L1                     ? SQLITE_BLOB
                                                   : SQLITE_NULL;
    ValueInfo info;
    info.type = classify(statement.columnInt(0), columnType, statement.columnInt(2));
    switch (info.type) {
    case Integer:
        info.size = sizeof(qint32);
        break;
    case String: {
        // Up to and including the first zero byte, the terminator when there is none.
        const qint64 zero = statement.columnInt(4);
        info.size = zero > 0 ? zero : statement.columnInt(3) + 1;
        break;
    }
    default:
        info.size = statement.columnInt(3);
        break;
    }
    return info;
}

bool Registry::valueExists(const QString &name) const
{
    return valueInfo(name).type != None;
}

Registry::ValueType Registry::valueType(const QString &name) const
{
    return valueInfo(name).type;
}

qint64 Registry::valueSize(const QString &name) const
{
    return valueInfo(name).size;
}

QStringList Registry::valueNames() const
{
    Statement statement(*this, "SELECT name FROM \"values\" WHERE key = ? ORDER BY rowid");
    statement.bind(1, m_currentKeyId);
    QStringList names;
    int rc;
    while ((rc = statement.step()) == SQLITE_ROW)
        names.append(statement.columnText(0));
    if (rc != SQLITE_DONE)
        fail(tr("Cannot list the values of registry key '%1'").arg(m_currentKey));
    return names;
}

bool Registry::deleteValue(const QString &name)
{
    Statement statement(*this, "DELETE FROM \"values\" WHERE key = ? AND name = ?");
    statement.bind(1, m_currentKeyId);
    statement.bind(2, name);
    if (statement.step() != SQLITE_DONE)
        fail(tr("Cannot delete value '%1'").arg(name));
    return sqlite3_changes(m_db) > 0;
}

void Registry::writeValue(const QString &name, ValueType type, const QByteArray *bytes,
                          qint32 integer)
{
    // One statement: the value is replaced whole or not at all. The EXISTS
    // guard turns a key deleted meanwhile into a clear error.
    Statement statement(*this,
                        "INSERT INTO \"values\"(key, name, type, data) SELECT ?1, ?2, ?3, ?4 "
                        "WHERE EXISTS(SELECT 1 FROM keys WHERE id = ?1) "
                        "ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, "
                        "data = excluded.data");
    statement.bind(1, m_currentKeyId);
    statement.bind(2, name);
    statement.bind(3, qint64(type));
    if (bytes)
        statement.bindBlob(4, *bytes);
    else
        statement.bind(4, qint64(integer));
    const QString what = tr("Cannot write value '%1'").arg(name);
    if (statement.step() != SQLITE_DONE)
        fail(what);
    if (sqlite3_changes(m_db) == 0)
        throw Error(tr("%1: the registry key '%2' no longer exists").arg(what, m_currentKey));
}

void Registry::writeBinary(const QString &name, const QByteArray &data)
{
    writeValue(name, Binary, &data, 0);
}

void Registry::writeInteger(const QString &name, qint32 value)
{
    writeValue(name, Integer, nullptr, value);
}

void Registry::writeString(const QString &name, const QByteArray &value)
{
    const QByteArray bytes = cutAtZero(value);
    writeValue(name, String, &bytes, 0);
}

std::optional<QByteArray> Registry::readBinary(const QString &name) const
{
    return readBinary(name, std::numeric_limits<qint64>::max());
}

namespace {
const char SelectValueSql[] = "SELECT type, data FROM \"values\" WHERE key = ? AND name = ?";
} // namespace

// Steps \a statement (SelectValueSql) to the row of value \a name of the open
// key; false when there is no such value.
bool Registry::stepValue(detail::Statement &statement, const QString &name) const
{
    statement.bind(1, m_currentKeyId);
    statement.bind(2, name);
    const int rc = statement.step();
    if (rc == SQLITE_DONE)
        return false;
    if (rc != SQLITE_ROW)
        fail(tr("Cannot read value '%1'").arg(name));
    return true;
}

std::optional<QByteArray> Registry::readBinary(const QString &name, qint64 maxSize) const
{
    Statement statement(*this, SelectValueSql);
    if (!stepValue(statement, name))
        return std::nullopt;
    if (classify(statement.columnInt(0), statement.columnType(1), 0) != Binary
        || statement.columnBytes(1) > maxSize)
        throw Error(invalidDataType(name));
    return statement.columnBlob(1);
}

namespace {

// A binary value read through SQLite's incremental BLOB I/O: each read takes
// the bytes it asks for from the value's pages, nothing more.
class BlobReader final : public PositionedDevice
{
public:
    explicit BlobReader(sqlite3_blob *blob)
        : PositionedDevice(sqlite3_blob_bytes(blob))
        , m_blob(blob)
    {
        QIODevice::open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    ~BlobReader() override { sqlite3_blob_close(m_blob); }

protected:
    bool readAt(char *data, qint64 at, qint64 length) override
    {
        return sqlite3_blob_read(m_blob, data, int(length), int(at)) == SQLITE_OK;
    }

private:
    sqlite3_blob *m_blob;
};

} // namespace

std::unique_ptr<QIODevice> Registry::binaryReader(const QString &name) const
{
    // typeof() tells the storage class without reading the value's pages.
    Statement statement(
        *this, "SELECT type, typeof(data), rowid FROM \"values\" WHERE key = ? AND name = ?");
    if (!stepValue(statement, name))
        return nullptr;
    const int columnType = statement.columnText(1) == "blob"_L1 ? SQLITE_BLOB : SQLITE_NULL;
    if (classify(statement.columnInt(0), columnType, 0) != Binary)
        throw Error(invalidDataType(name));
    sqlite3_blob *blob = nullptr;
    if (sqlite3_blob_open(m_db, "main", "values", "data", statement.columnInt(2), 0, &blob)
        != SQLITE_OK)
        fail(tr("Cannot read value '%1'").arg(name)); // no handle is left open

    return std::make_unique<BlobReader>(blob);
}

std::optional<qint32> Registry::readInteger(const QString &name) const
{
    Statement statement(*this, SelectValueSql);
    if (!stepValue(statement, name))
        return std::nullopt;
    const int columnType = statement.columnType(1);
    const qint64 value = columnType == SQLITE_INTEGER ? statement.columnInt(1) : 0;
    if (classify(statement.columnInt(0), columnType, value) != Integer)
        throw Error(invalidDataType(name));
    return qint32(value);
}

std::optional<QByteArray> Registry::readString(const QString &name) const
{
    Statement statement(*this, SelectValueSql);
    if (!stepValue(statement, name))
        return std::nullopt;
    if (classify(statement.columnInt(0), statement.columnType(1), 0) != String)
        throw Error(invalidDataType(name));
    // A damaged file may hold a zero byte inside a string: it ends the string there.
    return cutAtZero(statement.columnBlob(1));
}

} // namespace rightsmith::toolkit
