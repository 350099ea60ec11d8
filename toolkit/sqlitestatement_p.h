// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

// One prepared SQLite statement, for the registry and for the tables other
// subsystems keep in the registry's database. Internal: not installed.

#include "toolkit/registry.h"

#include <QByteArray>
#include <QString>

#include <map>
#include <sqlite3.h>
#include <string>
#include <string_view>
#include <utility>

namespace rightsmith::toolkit {

namespace detail {

/// The statements of one connection that are run again and again, each
/// prepared once and kept for the next use. Several uses of the same text at
/// once (one still stepping while the text runs again) each get a statement
/// of their own; only one of them is kept. clear() must run before the
/// connection closes.
class StatementCache
{
public:
    explicit StatementCache(sqlite3 *db)
        : m_db(db)
    {
    }
    ~StatementCache() { clear(); }
    StatementCache(const StatementCache &) = delete;
    StatementCache &operator=(const StatementCache &) = delete;

    /// The kept statement for \a sql, or a new one; *\a slot is where
    /// giveBack() keeps it. Returns SQLite's result of preparing it.
    int take(const char *sql, sqlite3_stmt **statement, sqlite3_stmt ***slot)
    {
        auto it = m_idle.find(std::string_view(sql));
        if (it == m_idle.end())
            it = m_idle.emplace(std::string(sql), nullptr).first;
        *slot = &it->second;
        *statement = std::exchange(it->second, nullptr);
        if (*statement)
            return SQLITE_OK;
        return sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, statement, nullptr);
    }
    /// Resets \a statement, drops its bindings (blobs are bound without a
    /// copy) and keeps it in \a slot, unless another one is kept there already.
    static void giveBack(sqlite3_stmt *statement, sqlite3_stmt **slot)
    {
        if (!statement)
            return;
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        if (*slot)
            sqlite3_finalize(statement);
        else
            *slot = statement;
    }
    /// Finalizes every kept statement.
    void clear()
    {
        for (auto &[sql, statement] : m_idle)
            sqlite3_finalize(std::exchange(statement, nullptr));
    }

private:
    sqlite3 *m_db;
    // A node-based map: the slots handed out stay where they are.
    std::map<std::string, sqlite3_stmt *, std::less<>> m_idle;
};

/// One prepared statement; errors throw through the registry's fail().
class Statement
{
public:
    /// Prepared for this one use (statements run once per connection).
    Statement(sqlite3 *db, const char *sql)
    {
        m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
    }
    /// The connection's kept statement for \a sql (see StatementCache); it
    /// is reset and its bindings dropped when this ends, by an exception too.
    Statement(const Registry &registry, const char *sql)
    {
        m_rc = registry.m_statements->take(sql, &m_stmt, &m_slot);
    }
    ~Statement()
    {
        if (m_slot)
            StatementCache::giveBack(m_stmt, m_slot);
        else
            sqlite3_finalize(m_stmt);
    }
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
    sqlite3_stmt **m_slot = nullptr;
    int m_rc = SQLITE_OK;
};
} // namespace detail

} // namespace rightsmith::toolkit
