#include "security/logoncheck.h"

#include "security/logonledger.h"
#include "security/tree.h"
#include "security/tzknoderecord.h"
#include "security/tzksecuritytemplate.h"
#include "toolkit/error.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <algorithm>
#include <memory>

namespace zkSecurity {

namespace {

Q_LOGGING_CATEGORY(lcLogon, "rightsmith.logon")

// The record of the password node of \a userName's user, or nullptr (no such
// user, or a damaged user without a password node or record).
const TzkNodeRecord *passwordRecord(const TreeNode *user)
{
    const TreeNode *passwordNode = user ? user->firstChild() : nullptr;
    return passwordNode ? passwordNode->data() : nullptr;
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
    // Who the records are about: never a name without a user, which may be a
    // password typed into the wrong box.
    const QByteArray concerned = user ? userName : QByteArray();
    const QString unknownName = user
        ? QString()
        : QCoreApplication::translate("zkSecurity::LogonCheck", "a name without a user");
    const QDateTime now = hardening.now();
    auto refusedFor = [](const rightsmith::toolkit::Error &error) {
        // Nothing may be checked that cannot be counted: closed, not open.
        qCWarning(lcLogon, "%ls", qUtf16Printable(error.message()));
        return Result {Verdict::Refused, std::chrono::seconds(0), error.message()};
    };
    // Runs \a write in one write transaction of the store's ledger.
    auto inTransaction = [&](const auto &write) {
        const auto ledger = LogonLedger::open(m_store, LogonLedger::Access::Write);
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
    };

    if (hardening.throttleLogons) {
        try {
            const std::chrono::seconds wait = LogonLedger::open(m_store, LogonLedger::Access::Read)
                                                  ->failures(userName)
                                                  .remaining(hardening.throttle, now);
            if (wait.count() > 0) {
                if (attempt != Attempt::Silent && hardening.auditTrail) {
                    inTransaction([&](LogonLedger &, const auto &record) {
                        record(AuditEvent::LogonThrottled, QByteArray(), unknownName);
                    });
                }
                return {Verdict::Throttled, wait, QString()};
            }
        } catch (const rightsmith::toolkit::Error &error) {
            return refusedFor(error);
        }
    }

    // Compared without holding the store's lock: a hash takes its time.
    const TzkNodeRecord *stored = passwordRecord(user);
    const bool accepted = user && PasswordHash::matches(stored, password);
    // With hashing on, every attempt costs one hash: a name without a user,
    // or a user whose password is not hashed yet, takes as long as a hashed one.
    if (hardening.hashPasswords && !(stored && PasswordHash::isHashed(*stored)))
        PasswordHash::spendCheck(password, hardening.hashCost);

    // A remembered password that failed is not a guess; a password checked
    // without logging on neither logs on nor clears the count.
    const bool noted = accepted ? attempt != Attempt::Verify : attempt != Attempt::Silent;
    if (noted && (hardening.throttleLogons || hardening.auditTrail)) {
        try {
            inTransaction([&](LogonLedger &ledger, const auto &record) {
                if (accepted) {
                    if (hardening.throttleLogons)
                        ledger.clearFailures(userName);
                    record(AuditEvent::LogonAccepted, userName, QString());
                } else {
                    if (hardening.throttleLogons)
                        ledger.noteFailure(userName, now, hardening.throttle.forgetAfter);
                    record(AuditEvent::LogonRefused, QByteArray(), unknownName);
                }
            });
        } catch (const rightsmith::toolkit::Error &error) {
            return refusedFor(error);
        }
    }
    return {accepted ? Verdict::Accepted : Verdict::Refused, std::chrono::seconds(0), QString()};
}

bool LogonCheck::isLocked(const QByteArray &userName) const
{
    if (!m_store.hardening.throttleLogons)
        return false;
    try {
        return LogonLedger::open(m_store, LogonLedger::Access::Read)
                   ->failures(userName)
                   .remaining(m_store.hardening.throttle, m_store.hardening.now())
                   .count()
            > 0;
    } catch (const rightsmith::toolkit::Error &) {
        // No store yet: nothing counted.
        return false;
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
