// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

// Helpers for the tables that security subsystems keep beside the registry's
// values, in the same database file. Internal: not installed.

#include "toolkit/error.h"
#include "toolkit/registry.h"
#include "toolkit/sqlitestatement_p.h"

#include <QCoreApplication>
#include <QString>

#include <memory>
#include <sqlite3.h>

namespace zkSecurity::detail {

/// True when the database holds table \a name. Reading a registry that has
/// never had the table must not create it (the registry may be read-only).
inline bool tableExists(const rightsmith::toolkit::Registry &registry, const char *name,
                        const QString &what)
{
    rightsmith::toolkit::detail::Statement statement(
        registry, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?");
    statement.bind(1, QString::fromLatin1(name));
    const int rc = statement.step();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        registry.fail(what);
    return rc == SQLITE_ROW;
}

/// Runs \a write (which creates its table when missing and writes it) in the
/// registry's open transaction, or, when none is open, in a write transaction
/// of its own that commits when \a write returns. A read-only registry throws
/// before anything is tried. CREATE TABLE leaves the database's user_version
/// and application_id as they are, so older programs still open the file.
template<typename Write>
void writeTable(rightsmith::toolkit::Registry &registry, const QString &what, Write &&write)
{
    if (registry.access() == rightsmith::toolkit::Registry::ReadOnly)
        throw rightsmith::toolkit::Error(
            QCoreApplication::translate("zkSecurity", "%1: the registry database is read-only")
                .arg(what));
    std::unique_ptr<rightsmith::toolkit::RegistryTransaction> own;
    if (!registry.inTransaction())
        own = std::make_unique<rightsmith::toolkit::RegistryTransaction>(
            registry, rightsmith::toolkit::Registry::WriteTransaction);
    write();
    if (own)
        own->commit();
}

/// Executes \a sql (several statements may follow one another) or throws.
inline void execute(const rightsmith::toolkit::Registry &registry, const char *sql,
                    const QString &what)
{
    if (sqlite3_exec(registry.database(), sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        registry.fail(what);
}

} // namespace zkSecurity::detail
