// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/store/logonledger.h"

#include "security/store/sharedstore_p.h"
#include "toolkit/error.h"
#include "toolkit/logging_p.h"
#include "toolkit/registry.h"

#include <QLoggingCategory>

#include <optional>

using rightsmith::logging::lcLedger;

using rightsmith::toolkit::Registry;
using rightsmith::toolkit::RegistryTransaction;

namespace zkSecurity {

namespace {

// The tables of the registry database, in one transaction when writing.
class LocalLedger final : public LogonLedger
{
public:
    LocalLedger(const UserStoreSettings &store, Access access)
        // Opened to write to read too: a first logon finds no database yet.
        : m_registry(store.registryPath(),
                     access == Access::Inspect ? Registry::ReadOnly : Registry::ReadWrite)
        , m_throttle(m_registry, store.key)
        , m_trail(m_registry, store.key, store.hardening.auditLimits)
    {
        if (access == Access::Write)
            m_transaction.emplace(m_registry, Registry::WriteTransaction);
    }

    bool isShared() const override { return false; }
    ThrottleState failures(const QByteArray &userName) override
    {
        return m_throttle.state(userName);
    }
    std::chrono::seconds wait(const QByteArray &userName, const ThrottleSettings &settings,
                              const QDateTime &now) override
    {
        return m_throttle.state(userName).remaining(settings, now);
    }
    ThrottleReservation reserve(const QByteArray &userName, const ThrottleSettings &settings,
                                const QDateTime &now) override
    {
        return m_throttle.reserve(userName, LogonThrottle::workstationDigest(), settings, now);
    }
    void release(const QByteArray &userName, const ThrottleReservation &reservation) override
    {
        m_throttle.release(userName, LogonThrottle::workstationDigest(), reservation);
    }
    bool clearFailures(const QByteArray &userName) override { return m_throttle.clear(userName); }
    void clearWorkstation() override
    {
        m_throttle.clearWorkstation(LogonThrottle::workstationDigest());
    }
    void append(AuditRecord record, const QDateTime &now) override
    {
        m_trail.append(std::move(record), now);
    }
    QList<AuditRecord> read(const QDateTime &since, const QByteArray &user) override
    {
        return m_trail.read(since, user);
    }
    bool hasRecords() override { return m_trail.hasRecords(); }
    void commit() override
    {
        if (m_transaction)
            m_transaction->commit();
    }

private:
    Registry m_registry;
    std::optional<RegistryTransaction> m_transaction;
    LogonThrottle m_throttle;
    AuditTrail m_trail;
};

// The tables of the shared store, in one transaction of its connection when writing.
class SharedLedger final : public LogonLedger
{
public:
    SharedLedger(std::unique_ptr<SharedStore> store, const UserStoreSettings &settings,
                 Access access)
        : m_store(std::move(store))
        , m_key(settings.key)
        , m_limits(settings.hardening.auditLimits)
    {
        if (access == Access::Write)
            m_transaction.emplace(*m_store);
    }

    bool isShared() const override { return true; }
    ThrottleState failures(const QByteArray &userName) override
    {
        return m_store->failures(m_key, LogonThrottle::nameDigest(userName));
    }
    std::chrono::seconds wait(const QByteArray &userName, const ThrottleSettings &settings,
                              const QDateTime &now) override
    {
        return m_store->wait(m_key, LogonThrottle::nameDigest(userName), settings, now);
    }
    ThrottleReservation reserve(const QByteArray &userName, const ThrottleSettings &settings,
                                const QDateTime &now) override
    {
        return m_store->reserve(m_key, LogonThrottle::nameDigest(userName),
                                LogonThrottle::workstationDigest(), settings, now);
    }
    void release(const QByteArray &userName, const ThrottleReservation &reservation) override
    {
        m_store->release(m_key, LogonThrottle::nameDigest(userName),
                         LogonThrottle::workstationDigest(), reservation);
    }
    bool clearFailures(const QByteArray &userName) override
    {
        return m_store->clearFailures(m_key, LogonThrottle::nameDigest(userName));
    }
    void clearWorkstation() override
    {
        m_store->clearFailures(m_key, LogonThrottle::workstationDigest());
    }
    void append(AuditRecord record, const QDateTime &now) override
    {
        m_store->appendAudit(m_key, std::move(record), m_limits, now);
    }
    QList<AuditRecord> read(const QDateTime &since, const QByteArray &user) override
    {
        return m_store->readAudit(m_key, since, user);
    }
    bool hasRecords() override { return m_store->hasAuditRecords(m_key); }
    void commit() override
    {
        if (m_transaction)
            m_transaction->commit();
    }

private:
    std::unique_ptr<SharedStore> m_store;
    std::optional<SharedStore::Transaction> m_transaction;
    QString m_key;
    AuditLimits m_limits;
};

} // namespace

std::unique_ptr<LogonLedger> LogonLedger::open(const UserStoreSettings &store, Access access)
{
    if (!store.addressProblem.isEmpty())
        throw rightsmith::toolkit::Error(store.addressProblem);
    if (!store.sharedAddress.isEmpty()) {
        std::unique_ptr<SharedStore> shared;
        try {
            shared = SharedStore::connect(store.sharedAddress);
        } catch (const rightsmith::toolkit::Error &error) {
            if (access == Access::Inspect)
                throw;
            qCWarning(lcLedger, "%ls; failed logons and the audit trail are kept locally",
                      qUtf16Printable(error.message()));
        }
        // A server that answers but fails is not stood in for: that throws.
        if (shared)
            return std::make_unique<SharedLedger>(std::move(shared), store, access);
    }
    return std::make_unique<LocalLedger>(store, access);
}

} // namespace zkSecurity
