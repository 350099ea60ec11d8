// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/hardening/logonthrottle.h"

#include "security/hardening/audittrail.h"
#include "security/hardening/registrytables_p.h"
#include "toolkit/registry.h"
#include "toolkit/sodium_p.h"
#include "toolkit/sqlitestatement_p.h"

#include <QCoreApplication>

#include <algorithm>
#include <limits>

using rightsmith::toolkit::detail::Statement;

namespace zkSecurity {

namespace {

constexpr const char *TableName = "logon_failures";
constexpr const char *CreateTableSql =
    "CREATE TABLE IF NOT EXISTS logon_failures("
    "store_key TEXT NOT NULL COLLATE NOCASE, name_digest BLOB NOT NULL, "
    "failures INTEGER NOT NULL, last_failure INTEGER NOT NULL, "
    "PRIMARY KEY(store_key, name_digest))";

// The key of the name digests. It is no secret (it is in every copy of the
// program): it makes the digests this program's own, so that they match no
// table of plain BLAKE2b digests, and keeps every typed name (a password typed
// into the name box, now and then) from standing readable in the store. A
// digest can still be tested against guesses by whoever reads the store;
// counters are forgotten after a day, which keeps such rows few and short-lived.
constexpr unsigned char DigestKey[crypto_generichash_KEYBYTES] = {
    0x52, 0x53, 0x4d, 0x20, 0x6c, 0x6f, 0x67, 0x6f, 0x6e, 0x20, 0x74, 0x68, 0x72, 0x6f, 0x74, 0x74,
    0x6c, 0x65, 0x9e, 0x41, 0x07, 0xd3, 0x5c, 0xb2, 0x18, 0xe6, 0x73, 0x0f, 0xaa, 0x61, 0xc4, 0x2d};

// The key of the workstations' digests: another key than the names', so that
// no name typed can count as a workstation.
constexpr unsigned char WorkstationKey[crypto_generichash_KEYBYTES] = {
    0x52, 0x53, 0x4d, 0x20, 0x77, 0x6f, 0x72, 0x6b, 0x73, 0x74, 0x61, 0x74, 0x69, 0x6f, 0x6e, 0x20,
    0x74, 0x68, 0x72, 0x6f, 0x74, 0x74, 0x6c, 0x65, 0x3b, 0x91, 0xe2, 0x05, 0x6d, 0xc8, 0x17, 0x4f};

QByteArray keyedDigest(const QByteArray &bytes,
                       const unsigned char (&key)[crypto_generichash_KEYBYTES])
{
    rightsmith::toolkit::useSodium();
    QByteArray digest(crypto_generichash_BYTES, Qt::Uninitialized);
    crypto_generichash(reinterpret_cast<unsigned char *>(digest.data()), size_t(digest.size()),
                       reinterpret_cast<const unsigned char *>(bytes.constData()),
                       quint64(bytes.size()), key, sizeof key);
    return digest;
}

qint64 msOf(const QDateTime &time)
{
    return (time.isValid() ? time : QDateTime::currentDateTimeUtc()).toMSecsSinceEpoch();
}

QString readFailure()
{
    return QCoreApplication::translate("zkSecurity::LogonThrottle",
                                       "Cannot read the failed logons");
}

QString writeFailure()
{
    return QCoreApplication::translate("zkSecurity::LogonThrottle",
                                       "Cannot record the failed logons");
}

} // namespace

std::chrono::seconds ThrottleSettings::delayAfter(int failures) const
{
    using std::chrono::seconds;
    if (failures < freeAttempts || firstDelay <= seconds::zero() || maxDelay <= seconds::zero())
        return seconds::zero();
    // Doubling stops at the cap, so a huge count takes a few steps and never overflows.
    const qint64 doublings = qint64(failures) - freeAttempts;
    seconds delay = firstDelay;
    for (qint64 i = 0; i < doublings && delay < maxDelay; ++i) {
        if (delay.count() > maxDelay.count() / 2)
            return maxDelay;
        delay *= 2;
    }
    return std::min(delay, maxDelay);
}

ThrottleSettings ThrottleSettings::forWorkstation() const
{
    ThrottleSettings settings = *this;
    settings.freeAttempts = std::max(freeAttempts, workstationFreeAttempts);
    return settings;
}

std::chrono::seconds ThrottleState::remaining(const ThrottleSettings &settings,
                                              const QDateTime &now) const
{
    const std::chrono::seconds delay = settings.delayAfter(failures);
    if (delay.count() == 0 || !lastFailure.isValid())
        return std::chrono::seconds::zero();
    if (!now.isValid())
        return delay;
    // A last failure in the future (the clock was set back) counts as just
    // now: the wait never exceeds the delay itself.
    const qint64 elapsedMs =
        std::max<qint64>(0, now.toMSecsSinceEpoch() - lastFailure.toMSecsSinceEpoch());
    const qint64 delayMs = qint64(delay.count()) * 1000;
    if (elapsedMs >= delayMs)
        return std::chrono::seconds::zero();
    return std::chrono::seconds((delayMs - elapsedMs + 999) / 1000);
}

LogonThrottle::LogonThrottle(rightsmith::toolkit::Registry &registry, const QString &storeKey)
    : m_registry(registry)
    , m_storeKey(storeKey)
{
}

QByteArray LogonThrottle::nameDigest(const QByteArray &userName)
{
    return keyedDigest(userName, DigestKey);
}

QByteArray LogonThrottle::workstationDigest()
{
    AuditRecord here;
    here.complete(QDateTime::currentDateTimeUtc());
    return keyedDigest(here.host.toUtf8() + '\0' + here.osUser.toUtf8(), WorkstationKey);
}

ThrottleState LogonThrottle::state(const QByteArray &userName) const
{
    return stateOf(nameDigest(userName));
}

ThrottleState LogonThrottle::workstationState(const QByteArray &workstation) const
{
    return stateOf(workstation);
}

ThrottleState LogonThrottle::stateOf(const QByteArray &key) const
{
    ThrottleState state;
    if (!detail::tableExists(m_registry, TableName, readFailure()))
        return state;
    Statement select(m_registry,
                     "SELECT failures, last_failure FROM logon_failures "
                     "WHERE store_key = ? AND name_digest = ?");
    select.bind(1, m_storeKey);
    select.bindBlob(2, key);
    const int rc = select.step();
    if (rc == SQLITE_DONE)
        return state;
    if (rc != SQLITE_ROW)
        m_registry.fail(readFailure());
    state.failures =
        int(std::clamp<qint64>(select.columnInt(0), 0, std::numeric_limits<int>::max()));
    state.lastFailure = QDateTime::fromMSecsSinceEpoch(select.columnInt(1), Qt::UTC);
    return state;
}

namespace {

// Counts one failure of each of \a keys at \a at in the open transaction,
// first forgetting those that failed before \a forgotten.
void countFailures(const rightsmith::toolkit::Registry &registry, const QString &storeKey,
                   std::initializer_list<QByteArray> keys, qint64 at, qint64 forgotten)
{
    detail::execute(registry, CreateTableSql, writeFailure());
    for (const QByteArray &key : keys) {
        // The count stops at the largest int, which the state can hold.
        Statement upsert(registry,
                         "INSERT INTO logon_failures(store_key, name_digest, failures, "
                         "last_failure) VALUES(?1, ?2, 1, ?3) "
                         "ON CONFLICT(store_key, name_digest) DO UPDATE SET "
                         "failures = CASE WHEN last_failure < ?4 THEN 1 "
                         "ELSE min(failures + 1, 2147483647) END, "
                         "last_failure = excluded.last_failure");
        upsert.bind(1, storeKey);
        upsert.bindBlob(2, key);
        upsert.bind(3, at);
        upsert.bind(4, forgotten);
        if (upsert.step() != SQLITE_DONE)
            registry.fail(writeFailure());
    }
    Statement prune(registry,
                    "DELETE FROM logon_failures WHERE store_key = ? AND last_failure < ?");
    prune.bind(1, storeKey);
    prune.bind(2, forgotten);
    if (prune.step() != SQLITE_DONE)
        registry.fail(writeFailure());
}

qint64 forgottenBefore(qint64 at, std::chrono::seconds forgetAfter)
{
    return at - std::chrono::duration_cast<std::chrono::milliseconds>(forgetAfter).count();
}

} // namespace

ThrottleState LogonThrottle::noteFailure(const QByteArray &userName, const QDateTime &now,
                                         std::chrono::seconds forgetAfter)
{
    const qint64 at = msOf(now);
    ThrottleState result;
    detail::writeTable(m_registry, writeFailure(), [&] {
        countFailures(m_registry, m_storeKey, {nameDigest(userName)}, at,
                      forgottenBefore(at, forgetAfter));
        result = state(userName);
    });
    return result;
}

ThrottleReservation LogonThrottle::reserve(const QByteArray &userName,
                                           const QByteArray &workstation,
                                           const ThrottleSettings &settings, const QDateTime &now)
{
    const qint64 at = msOf(now);
    const QDateTime current = QDateTime::fromMSecsSinceEpoch(at, Qt::UTC);
    const QByteArray name = nameDigest(userName);
    ThrottleReservation reservation;
    detail::writeTable(m_registry, writeFailure(), [&] {
        // Read under the write lock: no other program counts in between.
        reservation.name = stateOf(name);
        reservation.workstation = stateOf(workstation);
        reservation.wait =
            std::max(reservation.name.remaining(settings, current),
                     reservation.workstation.remaining(settings.forWorkstation(), current));
        if (!reservation.counted())
            return;
        reservation.at = at;
        countFailures(m_registry, m_storeKey, {name, workstation}, at,
                      forgottenBefore(at, settings.forgetAfter));
    });
    return reservation;
}

void LogonThrottle::release(const QByteArray &userName, const QByteArray &workstation,
                            const ThrottleReservation &reservation)
{
    if (!reservation.counted())
        return;
    detail::writeTable(m_registry, writeFailure(), [&] {
        if (!detail::tableExists(m_registry, TableName, writeFailure()))
            return;
        for (const auto &[key, before] : {std::pair {nameDigest(userName), reservation.name},
                                          std::pair {workstation, reservation.workstation}}) {
            // Still the reservation's count: back to what it was; else one less.
            Statement undo(m_registry,
                           "UPDATE logon_failures SET "
                           "failures = CASE WHEN last_failure = ?3 THEN ?4 "
                           "ELSE max(failures - 1, 0) END, "
                           "last_failure = CASE WHEN last_failure = ?3 THEN ?5 "
                           "ELSE last_failure END "
                           "WHERE store_key = ?1 AND name_digest = ?2");
            undo.bind(1, m_storeKey);
            undo.bindBlob(2, key);
            undo.bind(3, reservation.at);
            undo.bind(4, qint64(before.failures));
            undo.bind(5,
                      before.lastFailure.isValid() ? before.lastFailure.toMSecsSinceEpoch()
                                                   : qint64(0));
            if (undo.step() != SQLITE_DONE)
                m_registry.fail(writeFailure());
        }
        detail::execute(m_registry, "DELETE FROM logon_failures WHERE failures <= 0",
                        writeFailure());
    });
}

bool LogonThrottle::clear(const QByteArray &userName)
{
    return clearDigest(nameDigest(userName));
}

bool LogonThrottle::clearWorkstation(const QByteArray &workstation)
{
    return clearDigest(workstation);
}

bool LogonThrottle::clearDigest(const QByteArray &key)
{
    bool cleared = false;
    detail::writeTable(m_registry, writeFailure(), [&] {
        if (!detail::tableExists(m_registry, TableName, writeFailure()))
            return;
        Statement remove(m_registry,
                         "DELETE FROM logon_failures WHERE store_key = ? AND name_digest = ?");
        remove.bind(1, m_storeKey);
        remove.bindBlob(2, key);
        if (remove.step() != SQLITE_DONE)
            m_registry.fail(writeFailure());
        cleared = sqlite3_changes(m_registry.database()) > 0;
    });
    return cleared;
}

} // namespace zkSecurity
