// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

struct sqlite3;

namespace rightsmith::toolkit {

namespace detail {
class Statement;
class StatementCache;
} // namespace detail

/// The per-user store of keys and typed values that takes the registry's
/// place: an SQLite database at $XDG_CONFIG_HOME/rightsmith/registry.sqlite3
/// (mode 0600). Key paths use "\" (a leading "\" is absolute from the root);
/// keys and value names compare without regard to letter case. Values are
/// binary, 32-bit integer or zero-terminated 8-bit string. Errors throw
/// rightsmith::toolkit::Error with a message naming what failed.
///
/// Letter case is folded for ASCII letters only (SQLite's NOCASE): "Ä" and
/// "ä" are two different names. Every name the system uses is ASCII.
///
/// A relative path is resolved against the open key; with no key open, the
/// root key is the open key and values live there. Each write of a value is
/// one statement, so it is atomic; several Registry objects or processes may
/// use the same file at once (WAL journal, busy timeout), the last write of a
/// value winning. Several operations become one atomic unit inside a
/// transaction (RegistryTransaction).
///
/// A database file is opened only when it is ours (our application id) or
/// brand new and empty; anything else is refused before a byte, a setting or
/// its mode is changed.
class RIGHTSMITH_CORE_EXPORT Registry
{
    Q_DECLARE_TR_FUNCTIONS(rightsmith::toolkit::Registry)

public:
    /// Unknown is a value whose stored type and payload do not agree (a
    /// damaged or foreign database); reading it throws like a wrong type.
    enum ValueType { None, Binary, Integer, String, Unknown };
    /// ReadOnly opens an existing database without creating or changing
    /// anything; every write then throws.
    enum Access { ReadWrite, ReadOnly };
    /// What a transaction does (see beginTransaction()).
    enum TransactionKind { ReadTransaction, WriteTransaction };

    /// Opens the database of the current user (created when missing with
    /// ReadWrite). The location is read from the environment at each construction.
    explicit Registry(Access access = ReadWrite);
    /// Opens the database at \a path (for tests and tools). With ReadWrite,
    /// missing parent directories are created with mode 0700 and the file
    /// gets mode 0600. Throws rightsmith::toolkit::Error naming the path and the reason
    /// when it cannot be opened or is not a registry database.
    explicit Registry(const QString &path, Access access = ReadWrite);
    ~Registry();
    Registry(const Registry &) = delete;
    Registry &operator=(const Registry &) = delete;

    /// $XDG_CONFIG_HOME/rightsmith/registry.sqlite3, or
    /// $HOME/.config/rightsmith/registry.sqlite3 when XDG_CONFIG_HOME is
    /// unset, empty or not absolute.
    static QString defaultPath();
    /// Why the file at \a path cannot be used as a registry database: it is
    /// not an SQLite database, another program's, or one of ours whose
    /// tables are missing or damaged. Empty when it is sound, brand new,
    /// missing, made by a newer version, or cannot be looked at (no access,
    /// a lock): only damage it can see. Reads only; changes nothing.
    static QString damage(const QString &path);
    /// Moves the database at \a path, with its -wal and -shm files, aside as
    /// "<path>.damaged-<UTC time>" (never over another file) and returns
    /// that path. Throws naming the reason when it cannot.
    static QString moveAside(const QString &path);
    /// The database file's path.
    QString path() const { return m_path; }
    /// How the database was opened.
    Access access() const { return m_access; }

    /// Begins a transaction: every call up to commit() is one atomic unit. A
    /// write transaction takes the database's write lock at once (waiting up
    /// to the busy timeout), so nobody else writes until it ends; a read
    /// transaction reads one consistent snapshot. Throws naming the database
    /// and the reason when it cannot begin. Transactions do not nest.
    void beginTransaction(TransactionKind kind);
    /// Throws naming the database and the reason when the commit fails (the
    /// transaction is then rolled back).
    void commit();
    /// Rolls the open transaction back; nothing without one.
    void rollback() noexcept;
    /// Whether a transaction is open.
    bool inTransaction() const;

    /// Opens key \a path, creating it (and its parents) when \a create. False when missing and not
    /// created.
    bool openKey(const QString &path, bool create);
    /// Makes the root key the open key again.
    void closeKey();
    /// Path of the open key from the root, without a leading "\", in the
    /// letter case its keys were created with; empty for the root.
    QString currentKey() const { return m_currentKey; }
    /// The row of the open key in the database, for the tables other parts
    /// of the system keep beside the values and refer to them by.
    qint64 currentKeyId() const { return m_currentKeyId; }
    /// Whether key \a path exists (relative to the open key unless it starts with "\").
    bool keyExists(const QString &path) const;
    /// Deletes \a path with all subkeys, deepest first; true when the key itself was deleted.
    /// The root cannot be deleted (false).
    bool deleteKey(const QString &path);
    /// Names of the direct subkeys of \a path, sorted; empty when it is missing.
    QStringList subKeys(const QString &path) const;

    // Values of the open key.
    /// Whether value \a name exists.
    bool valueExists(const QString &name) const;
    /// The stored type of value \a name; None when missing.
    ValueType valueType(const QString &name) const;
    /// Size in bytes (a string counts its terminating zero); -1 when missing.
    qint64 valueSize(const QString &name) const;
    /// Names of the open key's values in the order they were first written.
    QStringList valueNames() const;
    /// Deletes value \a name; true when there was one.
    bool deleteValue(const QString &name);

    /// Writing replaces a value of any type. Throws when the open key was
    /// deleted meanwhile (by this or another Registry object).
    void writeBinary(const QString &name, const QByteArray &data);
    /// Writes a 32-bit integer value.
    void writeInteger(const QString &name, qint32 value);
    /// A string value cannot hold a zero byte: \a value is stored up to its
    /// first zero byte, like a zero-terminated string.
    void writeString(const QString &name, const QByteArray &value);

    /// Throw "Invalid data type for '%s'" when the value has another type.
    std::optional<QByteArray> readBinary(const QString &name) const;
    /// As readBinary(), and also throws "Invalid data type for '%s'" when the
    /// value is longer than \a maxSize bytes (a reader with a fixed buffer).
    std::optional<QByteArray> readBinary(const QString &name, qint64 maxSize) const;
    /// The binary value \a name as a read-only device that reads it from the
    /// database in pieces, as they are asked for: a large value is never held
    /// whole. Null when there is no such value; throws "Invalid data type
    /// for '%s'" when it has another type. Destroy it before the registry.
    std::unique_ptr<QIODevice> binaryReader(const QString &name) const;
    /// The integer value \a name; empty when missing. Throws "Invalid data type for '%s'" when it
    /// has another type.
    std::optional<qint32> readInteger(const QString &name) const;
    /// The bytes without the terminating zero.
    std::optional<QByteArray> readString(const QString &name) const;

    /// The database connection, for the tables that other parts of the system
    /// keep in the same file and write in the same transactions.
    sqlite3 *database() const { return m_db; }
    /// Throws Error("<what>: <the database's reason for the last failure>").
    [[noreturn]] void fail(const QString &what) const;

private:
    friend class detail::Statement;

    struct KeyRef
    {
        qint64 id = -1;
        QString path;
    };
    struct ValueInfo
    {
        ValueType type = None;
        qint64 size = -1;
    };

    void open(const QString &path, Access access);
    /// Finalizes the kept statements, then closes the connection.
    void close() noexcept;
    bool checkOwnership() const;
    void createSchema();
    void restrictFileModes() const;
    KeyRef resolveKey(const QString &path, bool create) const;
    bool keyIdExists(qint64 id) const;
    ValueInfo valueInfo(const QString &name) const;
    void writeValue(const QString &name, ValueType type, const QByteArray *bytes, qint32 integer);
    /// SQLite's message for the last failure, with the operating system's reason when it has one.
    QString reason() const;
    bool stepValue(detail::Statement &statement, const QString &name) const;

    sqlite3 *m_db = nullptr;
    /// The statements run per call, prepared once on m_db.
    std::unique_ptr<detail::StatementCache> m_statements;
    QString m_path;
    Access m_access = ReadWrite;
    QString m_currentKey;
    qint64 m_currentKeyId = -1;
};

/// A transaction of \a registry that is rolled back unless committed.
class RIGHTSMITH_CORE_EXPORT RegistryTransaction
{
public:
    /// Begins a transaction of \a kind on \a registry (see Registry::beginTransaction()).
    RegistryTransaction(Registry &registry, Registry::TransactionKind kind)
        : m_registry(registry)
    {
        m_registry.beginTransaction(kind);
    }
    ~RegistryTransaction() { m_registry.rollback(); }
    RegistryTransaction(const RegistryTransaction &) = delete;
    RegistryTransaction &operator=(const RegistryTransaction &) = delete;

    /// Commits the transaction (see Registry::commit()).
    void commit() { m_registry.commit(); }

private:
    Registry &m_registry;
};

} // namespace rightsmith::toolkit
