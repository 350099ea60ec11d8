#pragma once

// One prepared SQLite statement, for the registry and for the tables other
// subsystems keep in the registry's database. Internal: not installed.

#include <QByteArray>
#include <QString>

#include <sqlite3.h>

namespace rightsmith::toolkit {

namespace detail {
/// One prepared statement; errors throw through the registry's fail().
class Statement
{
public:
    Statement(sqlite3 *db, const char *sql)
    {
        m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool prepared() const { return m_rc == SQLITE_OK; }

    void bind(int index, qint64 value) { record(sqlite3_bind_int64(m_stmt, index, value)); }
    void bind(int index, const QString &text)
    {
        record(sqlite3_bind_text16(m_stmt, index, text.utf16(), int(text.size() * 2),
                                   SQLITE_TRANSIENT));
    }
    void bindBlob(int index, const QByteArray &bytes)
    {
        // A null pointer would bind NULL; an empty value is a zero-length BLOB.
        // Bound without a copy: every statement here runs and ends while the
        // bytes it was given are alive.
        if (bytes.isEmpty())
            record(sqlite3_bind_zeroblob(m_stmt, index, 0));
        else
            record(sqlite3_bind_blob64(m_stmt, index, bytes.constData(), quint64(bytes.size()),
                                       SQLITE_STATIC));
    }

    /// SQLITE_ROW, SQLITE_DONE or an error code.
    int step()
    {
        if (m_rc != SQLITE_OK)
            return m_rc;
        const int rc = sqlite3_step(m_stmt);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            m_rc = rc;
        return rc;
    }

    int columnType(int column) const { return sqlite3_column_type(m_stmt, column); }
    qint64 columnInt(int column) const { return sqlite3_column_int64(m_stmt, column); }
    QString columnText(int column) const
    {
        const auto *text = static_cast<const char16_t *>(sqlite3_column_text16(m_stmt, column));
        const int bytes = sqlite3_column_bytes16(m_stmt, column);
        return text ? QString::fromUtf16(text, bytes / 2) : QString();
    }
    QByteArray columnBlob(int column) const
    {
        const void *data = sqlite3_column_blob(m_stmt, column);
        const int size = sqlite3_column_bytes(m_stmt, column);
        return data && size > 0 ? QByteArray(static_cast<const char *>(data), size) : QByteArray();
    }
    int columnBytes(int column) const { return sqlite3_column_bytes(m_stmt, column); }

private:
    void record(int rc)
    {
        if (m_rc == SQLITE_OK && rc != SQLITE_OK)
            m_rc = rc;
    }

    sqlite3_stmt *m_stmt = nullptr;
    int m_rc = SQLITE_OK;
};
} // namespace detail

} // namespace rightsmith::toolkit
