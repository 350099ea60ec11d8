#include "security/logoncheck.h"

#include "security/tree.h"
#include "security/tzknoderecord.h"
#include "security/tzksecuritytemplate.h"
#include "toolkit/error.h"
#include "toolkit/registry.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <algorithm>
#include <memory>
#include <optional>

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
                                     const QByteArray &password, bool byPerson) const
{
    const HardeningSettings &hardening = m_store.hardening;
    const bool recording = hardening.throttleLogons || hardening.auditTrail;

    // The write lock is held across the comparison, so that attempts from
    // several programs at once are counted one after the other.
    std::unique_ptr<rightsmith::toolkit::Registry> registry;
    std::unique_ptr<rightsmith::toolkit::RegistryTransaction> transaction;
    std::optional<LogonThrottle> throttle;
    std::optional<AuditTrail> trail;
    const QDateTime now = hardening.now();
    if (recording) {
        try {
            registry = std::make_unique<rightsmith::toolkit::Registry>(m_store.registryPath());
            transaction = std::make_unique<rightsmith::toolkit::RegistryTransaction>(
                *registry, rightsmith::toolkit::Registry::WriteTransaction);
            if (hardening.throttleLogons)
                throttle.emplace(*registry, m_store.key);
            if (hardening.auditTrail)
                trail.emplace(*registry, m_store.key, hardening.auditLimits);
        } catch (const rightsmith::toolkit::Error &error) {
            // Nothing may be checked that cannot be counted: closed, not open.
            qCWarning(lcLogon, "%ls", qUtf16Printable(error.message()));
            return {Verdict::Refused, std::chrono::seconds(0), error.message()};
        }
    }

    const TreeNode *user = users.GetUserNodeByUserName(userName);
    // Who the records are about: never a name without a user, which may be a
    // password typed into the wrong box.
    const QByteArray concerned = user ? userName : QByteArray();
    auto record = [&](AuditEvent event, const QByteArray &actor, const QString &detail) {
        if (!trail)
            return;
        AuditRecord entry;
        entry.event = event;
        entry.user = concerned;
        entry.actor = actor;
        entry.detail = detail;
        trail->append(entry, now);
    };
    const QString unknownName = user
        ? QString()
        : QCoreApplication::translate("zkSecurity::LogonCheck", "a name without a user");

    try {
        if (throttle) {
            const std::chrono::seconds wait =
                throttle->state(userName).remaining(hardening.throttle, now);
            if (wait.count() > 0) {
                if (byPerson)
                    record(AuditEvent::LogonThrottled, QByteArray(), unknownName);
                if (transaction)
                    transaction->commit();
                return {Verdict::Throttled, wait, QString()};
            }
        }

        const TzkNodeRecord *stored = passwordRecord(user);
        const bool accepted = user && PasswordHash::matches(stored, password);
        // With hashing on, every attempt costs one hash: a name without a
        // user, or a user whose password is not hashed yet, takes as long as
        // a hashed one.
        if (hardening.hashPasswords && !(stored && PasswordHash::isHashed(*stored)))
            PasswordHash::spendCheck(password, hardening.hashCost);

        if (accepted) {
            if (throttle)
                throttle->clear(userName);
            record(AuditEvent::LogonAccepted, userName, QString());
        } else if (byPerson) {
            if (throttle)
                throttle->noteFailure(userName, now);
            record(AuditEvent::LogonRefused, QByteArray(), unknownName);
        }
        if (transaction)
            transaction->commit();
        return {accepted ? Verdict::Accepted : Verdict::Refused, std::chrono::seconds(0),
                QString()};
    } catch (const rightsmith::toolkit::Error &error) {
        qCWarning(lcLogon, "%ls", qUtf16Printable(error.message()));
        return {Verdict::Refused, std::chrono::seconds(0), error.message()};
    }
}

bool LogonCheck::isLocked(const QByteArray &userName) const
{
    if (!m_store.hardening.throttleLogons)
        return false;
    try {
        rightsmith::toolkit::Registry registry(m_store.registryPath(),
                                               rightsmith::toolkit::Registry::ReadOnly);
        return LogonThrottle(registry, m_store.key)
                   .state(userName)
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
    rightsmith::toolkit::Registry registry(m_store.registryPath());
    rightsmith::toolkit::RegistryTransaction transaction(
        registry, rightsmith::toolkit::Registry::WriteTransaction);
    const bool cleared = LogonThrottle(registry, m_store.key).clear(userName);
    if (cleared && m_store.hardening.auditTrail) {
        AuditRecord entry;
        entry.event = AuditEvent::LockCleared;
        entry.user = userName;
        entry.actor = actor;
        AuditTrail(registry, m_store.key, m_store.hardening.auditLimits)
            .append(entry, m_store.hardening.now());
    }
    transaction.commit();
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
