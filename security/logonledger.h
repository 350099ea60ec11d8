#pragma once

#include "rightsmithcore_export.h"
#include "security/audittrail.h"
#include "security/logonthrottle.h"
#include "security/userstore.h"

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
    enum class Access { Read, Write };

    /// The ledger of \a store. When the shared store cannot be reached, the
    /// workstation's own ledger stands in, so that logons are still counted
    /// and recorded while the server is away. Throws naming the store when
    /// neither can be opened, and for a store that could not be decided.
    static std::unique_ptr<LogonLedger> open(const UserStoreSettings &store, Access access);
    virtual ~LogonLedger() = default;

    /// True when this is the shared store's ledger.
    virtual bool isShared() const = 0;

    virtual ThrottleState failures(const QByteArray &userName) = 0;
    virtual ThrottleState noteFailure(const QByteArray &userName, const QDateTime &now,
                                      std::chrono::seconds forgetAfter) = 0;
    virtual bool clearFailures(const QByteArray &userName) = 0;

    /// Adds \a record to the trail (see AuditTrail::append()).
    virtual void append(AuditRecord record, const QDateTime &now) = 0;
    virtual QList<AuditRecord> read(const QDateTime &since = {}, const QByteArray &user = {}) = 0;
    virtual bool hasRecords() = 0;

    virtual void commit() = 0;
};

} // namespace zkSecurity
