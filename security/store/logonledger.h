// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"
#include "security/hardening/audittrail.h"
#include "security/hardening/logonthrottle.h"
#include "security/store/userstore.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>

#include <chrono>
#include <memory>

namespace zkSecurity {

/// Where the failed logons and the audit trail of a store's users are kept:
/// the shared store on the server when the store has one, else the local
/// registry database. One ledger is one transaction of its store: what it
/// writes is kept by commit() and dropped when it is destroyed without.
class RIGHTSMITH_CORE_EXPORT LogonLedger
{
public:
    /// What the ledger is opened for.
    enum class Access {
        Read,
        Write,
        /// Reads for an administrator: the local registry is opened read-only
        /// (one that is not there is not made, and throws), and a shared
        /// store that cannot be reached throws instead of being stood in for.
        Inspect,
    };

    /// The ledger of \a store. When the shared store cannot be reached, the
    /// workstation's own ledger stands in (except to Inspect), so that logons
    /// are still counted and recorded while the server is away. Throws naming
    /// the store when neither can be opened, and for a store that could not
    /// be decided.
    static std::unique_ptr<LogonLedger> open(const UserStoreSettings &store, Access access);
    virtual ~LogonLedger() = default;

    /// True when this is the shared store's ledger.
    virtual bool isShared() const = 0;

    /// The failures counted for \a userName.
    virtual ThrottleState failures(const QByteArray &userName) = 0;
    /// How long an attempt for \a userName must wait now by its own count
    /// (\a now: the shared store of version 2 uses the server's clock instead).
    virtual std::chrono::seconds wait(const QByteArray &userName, const ThrottleSettings &settings,
                                      const QDateTime &now) = 0;
    /// Counts an attempt for \a userName from this workstation before it is
    /// checked, unless the name or the workstation must wait: decided and
    /// written together (see LogonThrottle::reserve()).
    virtual ThrottleReservation reserve(const QByteArray &userName,
                                        const ThrottleSettings &settings, const QDateTime &now) = 0;
    /// Takes back what \a reservation counted (see LogonThrottle::release()).
    virtual void release(const QByteArray &userName, const ThrottleReservation &reservation) = 0;
    /// Forgets the failures of \a userName; true when there were any.
    virtual bool clearFailures(const QByteArray &userName) = 0;
    /// Forgets the failures counted for this workstation.
    virtual void clearWorkstation() = 0;

    /// Adds \a record to the trail (see AuditTrail::append()).
    virtual void append(AuditRecord record, const QDateTime &now) = 0;
    /// Records from \a since on (all when invalid), of \a user only when not empty, oldest first
    /// (see AuditTrail::read()).
    virtual QList<AuditRecord> read(const QDateTime &since = {}, const QByteArray &user = {}) = 0;
    /// True when the trail holds a record of this store's users (see AuditTrail::hasRecords()).
    virtual bool hasRecords() = 0;

    /// Keeps what the ledger wrote; without it, destroying the ledger drops it.
    virtual void commit() = 0;
};

} // namespace zkSecurity
