// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "security/component/logoncheck.h"

#include "security/model/passwordhash.h"
#include "security/model/tree.h"
#include "security/model/tzknoderecord.h"
#include "security/model/tzksecuritytemplate.h"
#include "security/store/logonledger.h"
#include "toolkit/error.h"
#include "toolkit/logging_p.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <algorithm>
#include <memory>
#include <optional>

using rightsmith::logging::lcLogon;

namespace zkSecurity {

namespace {

// The record of the password node of \a userName's user, or nullptr (no such
// user, or a damaged user without a password node or record).
const TzkNodeRecord *passwordRecord(const TreeNode *user)
{
    const TreeNode *passwordNode = user ? user->firstChild() : nullptr;
    return passwordNode ? passwordNode->data() : nullptr;
}

using Result = LogonCheck::Result;
using Verdict = LogonCheck::Verdict;
using Attempt = LogonCheck::Attempt;

Result refusedFor(const rightsmith::toolkit::Error &error)
{
    // Nothing may be checked that cannot be counted: closed, not open.
    qCWarning(lcLogon, "%ls", qUtf16Printable(error.message()));
    return Result {Verdict::Refused, std::chrono::seconds(0), error.message()};
}

// The ledger of one check: the store, who the records are about, and the
// moment of the attempt, taken once.
class CheckLedger
{
public:
    CheckLedger(const UserStoreSettings &settings, const QByteArray &userName, bool userExists)
        : store(settings)
        , hardening(settings.hardening)
        // Who the records are about: never a name without a user, which may be a
        // password typed into the wrong box.
        , concerned(userExists ? userName : QByteArray())
        , unknownName(userExists ? QString()
                                 : QCoreApplication::translate("zkSecurity::LogonCheck",
                                                               "a name without a user"))
        , now(hardening.now())
    {
    }

    // Runs \a write in one write transaction of the store's ledger.
    template<typename Write> void inTransaction(const Write &write) const
    {
        const auto ledger = LogonLedger::open(store, LogonLedger::Access::Write);
        const auto record = [&](AuditEvent event, const QByteArray &actor, const QString &detail) {
            if (!hardening.auditTrail)
                return;
            AuditRecord entry;
            entry.event = event;
            entry.user = concerned;
            entry.actor = actor;
            entry.detail = detail;
            ledger->append(entry, now);
        };
        write(*ledger, record);
        ledger->commit();
    }

    const UserStoreSettings &store;
    const HardeningSettings &hardening;
    const QByteArray concerned;
    const QString unknownName;
    const QDateTime now;
};

// A person's attempt is counted before the password is looked at, in the
// transaction that decides whether it must wait: of programs trying at
// once, only one gets past a delay. It is taken back only when the
// password matches. Returns how long the attempt must wait.
std::chrono::seconds reserveAttempt(const CheckLedger &ledger, const QByteArray &userName,
                                    Attempt attempt,
                                    std::optional<ThrottleReservation> &reservation)
{
    const HardeningSettings &hardening = ledger.hardening;
    if (attempt == Attempt::Silent) {
        return LogonLedger::open(ledger.store, LogonLedger::Access::Read)
            ->wait(userName, hardening.throttle, ledger.now);
    }
    ledger.inTransaction([&](LogonLedger &writer, const auto &record) {
        reservation = writer.reserve(userName, hardening.throttle, ledger.now);
        if (!reservation->counted())
            record(AuditEvent::LogonThrottled, QByteArray(), ledger.unknownName);
    });
    return reservation->wait;
}

bool passwordMatches(const HardeningSettings &hardening, const TreeNode *user,
                     const QByteArray &password)
{
    // Compared without holding the store's lock: a hash takes its time.
    const TzkNodeRecord *stored = passwordRecord(user);
    const bool accepted = user && PasswordHash::matches(stored, password);
    // With hashing on, every attempt costs one hash: a name without a user,
    // or a user whose password is not hashed yet, takes as long as a hashed one.
    if (hardening.hashPasswords && !(stored && PasswordHash::isHashed(*stored)))
        PasswordHash::spendCheck(password, hardening.hashCost);
    return accepted;
}

void recordOutcome(const CheckLedger &ledger, const QByteArray &userName, Attempt attempt,
                   bool accepted, const std::optional<ThrottleReservation> &reservation)
{
    const HardeningSettings &hardening = ledger.hardening;
    if (accepted && attempt == Attempt::Verify) {
        // Proved without logging on: the count is as it was, and nothing is recorded.
        if (reservation)
            ledger.inTransaction(
                [&](LogonLedger &writer, const auto &) { writer.release(userName, *reservation); });
    } else if (accepted) {
        if (hardening.throttleLogons || hardening.auditTrail) {
            ledger.inTransaction([&](LogonLedger &writer, const auto &record) {
                if (hardening.throttleLogons) {
                    writer.clearFailures(userName);
                    writer.clearWorkstation();
                }
                record(AuditEvent::LogonAccepted, userName, QString());
            });
        }
    } else if (attempt != Attempt::Silent && hardening.auditTrail) {
        // A remembered password that failed is not a guess; a guess was
        // counted with its reservation.
        ledger.inTransaction([&](LogonLedger &, const auto &record) {
            record(AuditEvent::LogonRefused, QByteArray(), ledger.unknownName);
        });
    }
}

} // namespace

LogonCheck::LogonCheck(const UserStoreSettings &store)
    : m_store(store)
{
}

LogonCheck::Result LogonCheck::check(const TzkSecurityTemplate &users, const QByteArray &userName,
                                     const QByteArray &password, Attempt attempt) const
{
    const HardeningSettings &hardening = m_store.hardening;
    const TreeNode *user = users.GetUserNodeByUserName(userName);
    const CheckLedger ledger(m_store, userName, user != nullptr);

    std::optional<ThrottleReservation> reservation;
    if (hardening.throttleLogons) {
        try {
            const std::chrono::seconds wait =
                reserveAttempt(ledger, userName, attempt, reservation);
            if (wait.count() > 0)
                return {Verdict::Throttled, wait, QString()};
        } catch (const rightsmith::toolkit::Error &error) {
            return refusedFor(error);
        }
    }

    const bool accepted = passwordMatches(hardening, user, password);
    const Result outcome {accepted ? Verdict::Accepted : Verdict::Refused, std::chrono::seconds(0),
                          QString()};

    try {
        recordOutcome(ledger, userName, attempt, accepted, reservation);
    } catch (const rightsmith::toolkit::Error &error) {
        if (accepted && attempt == Attempt::Verify) {
            // Counted once too often: that keeps nobody out who may come in.
            qCWarning(lcLogon, "%ls", qUtf16Printable(error.message()));
            return outcome;
        }
        return refusedFor(error);
    }
    return outcome;
}

bool LogonCheck::isLocked(const QByteArray &userName) const
{
    if (!m_store.hardening.throttleLogons)
        return false;
    try {
        return LogonLedger::open(m_store, LogonLedger::Access::Read)
                   ->wait(userName, m_store.hardening.throttle, m_store.hardening.now())
                   .count()
            > 0;
    } catch (const rightsmith::toolkit::Error &error) {
        // Closed, as check() is: a count that cannot be read may be one that must wait.
        qCWarning(lcLogon, "%ls", qUtf16Printable(error.message()));
        return true;
    }
}

bool LogonCheck::unlock(const QByteArray &userName, const QByteArray &actor) const
{
    const auto ledger = LogonLedger::open(m_store, LogonLedger::Access::Write);
    const bool cleared = ledger->clearFailures(userName);
    if (cleared && m_store.hardening.auditTrail) {
        AuditRecord entry;
        entry.event = AuditEvent::LockCleared;
        entry.user = userName;
        entry.actor = actor;
        ledger->append(entry, m_store.hardening.now());
    }
    ledger->commit();
    return cleared;
}

bool LogonCheck::mustChangePassword(const TzkSecurityTemplate &users, const QByteArray &userName,
                                    const QByteArray &password) const
{
    const TzkNodeRecord *record = passwordRecord(users.GetUserNodeByUserName(userName));
    if (record && PasswordHash::mustChange(*record))
        return true;
    return !hardening().passwordRules.check(password, userName).isEmpty();
}

QString LogonCheck::throttledMessage(std::chrono::seconds wait)
{
    // Whole seconds up to two minutes, then whole minutes rounded up.
    const qint64 seconds = std::max<qint64>(wait.count(), 1);
    if (seconds == 1)
        return QCoreApplication::translate("zkSecurity::LogonCheck",
                                           "Too many failed logons. Try again in 1 second.");
    if (seconds < 120)
        return QCoreApplication::translate("zkSecurity::LogonCheck",
                                           "Too many failed logons. Try again in %1 seconds.")
            .arg(seconds);
    return QCoreApplication::translate("zkSecurity::LogonCheck",
                                       "Too many failed logons. Try again in %1 minutes.")
        .arg((seconds + 59) / 60);
}

} // namespace zkSecurity
