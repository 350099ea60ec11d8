#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

struct sqlite3;

namespace toolkit {

/// The per-user store of keys and typed values that takes the registry's
/// place: an SQLite database at $XDG_CONFIG_HOME/rightsmith/registry.sqlite3
/// (mode 0600). Key paths use "\" (a leading "\" is absolute from the root);
/// keys and value names compare without regard to letter case. Values are
/// binary, 32-bit integer or zero-terminated 8-bit string. Errors throw
/// toolkit::Error with a message naming what failed.
class Registry
{
public:
    enum ValueType { None, Binary, Integer, String };

    /// Opens the database of the current user (created when missing).
    Registry();
    /// Opens the database at \a path (for tests and tools).
    explicit Registry(const QString &path);
    ~Registry();
    Registry(const Registry &) = delete;
    Registry &operator=(const Registry &) = delete;

    static QString defaultPath();
    QString path() const { return m_path; }

    /// Opens key \a path, creating it (and its parents) when \a create. False when missing and not created.
    bool openKey(const QString &path, bool create);
    void closeKey();
    QString currentKey() const { return m_currentKey; }
    bool keyExists(const QString &path) const;
    /// Deletes \a path with all subkeys, deepest first; true when the key itself was deleted.
    bool deleteKey(const QString &path);
    QStringList subKeys(const QString &path) const;

    // Values of the open key.
    bool valueExists(const QString &name) const;
    ValueType valueType(const QString &name) const;
    /// Size in bytes (a string counts its terminating zero); -1 when missing.
    qint64 valueSize(const QString &name) const;
    QStringList valueNames() const;
    bool deleteValue(const QString &name);

    void writeBinary(const QString &name, const QByteArray &data);
    void writeInteger(const QString &name, qint32 value);
    void writeString(const QString &name, const QByteArray &value);

    /// Throw "Invalid data type for '%s'" when the value has another type.
    std::optional<QByteArray> readBinary(const QString &name) const;
    std::optional<qint32> readInteger(const QString &name) const;
    std::optional<QByteArray> readString(const QString &name) const;

private:
    void open(const QString &path);
    qint64 keyId(const QString &path, bool create) const;

    sqlite3 *m_db = nullptr;
    QString m_path;
    QString m_currentKey;
    qint64 m_currentKeyId = -1;
};

} // namespace toolkit
