// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace rightsmith::toolkit {
class Registry;
}

namespace zkSecurity {

class TzkSecurityTemplate;

/// What an audit record says happened. The stored names are those of name().
enum class AuditEvent {
    LogonAccepted,
    LogonRefused,
    LogonThrottled,
    UserAdded,
    UserRemoved,
    RightGranted,
    RightDenied,
    PasswordChanged,
    LockCleared,
    StoreKeptAside,
    StoreRestored,
    RoleAdded,
    RoleRemoved,
    RoleRightGranted,
    RoleRightDenied,
    UserAssigned,
    UserUnassigned,
    RoleRenamed,
};

/// One entry of the audit trail. It never holds a password, scrambled or hashed.
struct RIGHTSMITH_CORE_EXPORT AuditRecord
{
    /// UTC.
    QDateTime time;
    /// The operating-system user who ran the program.
    QString osUser;
    /// The workstation's host name.
    QString host;
    /// The program's application name (the executable's name without one).
    QString program;
    /// What happened.
    AuditEvent event = AuditEvent::LogonAccepted;
    /// The user concerned; empty for a name without a user.
    QByteArray user;
    /// The user who acted; empty when nobody was logged on.
    QByteArray actor;
    /// More about the event: the right ("42 Open"), where a copy was kept.
    QString detail;
    /// How often the event happened in the minute from time: refused and
    /// throttled logons of a name without a user, and throttled logons, from
    /// one workstation and program are kept as one record with a count.
    int count = 1;
    /// The database role that wrote the record (a shared store's server
    /// stamps it); empty for the local store and for older shared stores.
    QString role;

    /// Fills in the time (from \a now, the current time when invalid),
    /// operating-system user, host and program where they are empty.
    void complete(const QDateTime &now);

    /// "logon accepted", "right granted", ...
    static QString name(AuditEvent event);
    /// The event named \a name; false when there is none.
    static bool fromName(const QString &name, AuditEvent &event);
    /// True for the records of logon attempts (accepted, refused, throttled):
    /// anyone at a logon dialog can make many of them, so the row limit drops
    /// them before any record of a change.
    static bool isLogon(AuditEvent event);
    /// True when repeats of this record within a minute are counted in one
    /// record (see count).
    bool isCounted() const;
};

/// How long the trail keeps its records: those older than keepDays, and the
/// oldest beyond keepRows, are dropped whenever a record is added (zero
/// keeps without limit). Beyond keepRows the records of logon attempts go
/// first: a record of a change goes only when no such record is left.
struct RIGHTSMITH_CORE_EXPORT AuditLimits
{
    /// Records older than this many days are dropped; 0 keeps them whatever their age.
    int keepDays = 365;
    /// The most records kept; 0 keeps any number.
    qint64 keepRows = 100000;
};

/// The append-only audit trail of the users under one store key: a table of
/// the registry's database. Records are written in the registry's open
/// transaction, so a record is stored exactly when the change it records is.
class RIGHTSMITH_CORE_EXPORT AuditTrail
{
public:
    /// The trail of the users under \a storeKey in \a registry's database (not owned), dropping
    /// records as \a limits say.
    AuditTrail(rightsmith::toolkit::Registry &registry, const QString &storeKey,
               const AuditLimits &limits = {});

    /// Adds \a record, filling in the time (from \a now), operating-system
    /// user, host and program where they are empty (a record counted with one
    /// of the same minute raises its count instead); then drops what the
    /// limits say, counting days back from \a now (the current time when
    /// invalid). Throws rightsmith::toolkit::Error when it cannot be written,
    /// and always with a read-only registry.
    void append(AuditRecord record, const QDateTime &now);
    /// Records from \a since on (all when invalid), of \a user only when it is
    /// not empty (as the user concerned or as the one who acted), oldest first.
    /// A registry without the table has none (reading never creates it).
    QList<AuditRecord> read(const QDateTime &since = {}, const QByteArray &user = {}) const;
    /// True when the trail holds a record of this store key. Once written, a
    /// trail keeps at least its newest record, whatever the limits.
    bool hasRecords() const;

    /// The records that tell how \a after differs from \a before: users added
    /// and removed, rights granted and denied, passwords changed (user, event
    /// and detail filled in). Users are matched by name, the first of a name
    /// only; rights by identifier, the first leaf of an identifier only.
    static QList<AuditRecord> changes(const TzkSecurityTemplate &before,
                                      const TzkSecurityTemplate &after);
    /// The records that tell how the role template \a after differs from
    /// \a before: roles added and removed (the role in the detail), rights
    /// granted and denied to a role ("<role>: <id> <caption>"), members
    /// assigned and unassigned (the member as the user, the role in the
    /// detail). Roles are matched by name, rights by identifier.
    static QList<AuditRecord> roleChanges(const TzkSecurityTemplate &before,
                                          const TzkSecurityTemplate &after);

private:
    rightsmith::toolkit::Registry &m_registry;
    QString m_storeKey;
    AuditLimits m_limits;
};

} // namespace zkSecurity
