#include "security/logonthrottle.h"

#include "security/registrytables.h"
#include "security/sodium.h"
#include "toolkit/registry.h"
#include "toolkit/sqlitestatement.h"

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
    useSodium();
    QByteArray digest(crypto_generichash_BYTES, Qt::Uninitialized);
    crypto_generichash(reinterpret_cast<unsigned char *>(digest.data()), size_t(digest.size()),
                       reinterpret_cast<const unsigned char *>(userName.constData()),
                       quint64(userName.size()), DigestKey, sizeof DigestKey);
    return digest;
}

ThrottleState LogonThrottle::state(const QByteArray &userName) const
{
    ThrottleState state;
    if (!detail::tableExists(m_registry, TableName, readFailure()))
        return state;
    Statement select(m_registry.database(),
                     "SELECT failures, last_failure FROM logon_failures "
                     "WHERE store_key = ? AND name_digest = ?");
    const QByteArray key = nameDigest(userName);
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

ThrottleState LogonThrottle::noteFailure(const QByteArray &userName, const QDateTime &now,
                                         std::chrono::seconds forgetAfter)
{
    const qint64 at = (now.isValid() ? now : QDateTime::currentDateTimeUtc()).toMSecsSinceEpoch();
    const qint64 forgotten =
        at - std::chrono::duration_cast<std::chrono::milliseconds>(forgetAfter).count();
    const QByteArray key = nameDigest(userName);
    ThrottleState result;
    detail::writeTable(m_registry, writeFailure(), [&] {
        detail::execute(m_registry, CreateTableSql, writeFailure());
        // The count stops at the largest int, which the state can hold.
        Statement upsert(m_registry.database(),
                         "INSERT INTO logon_failures(store_key, name_digest, failures, "
                         "last_failure) VALUES(?1, ?2, 1, ?3) "
                         "ON CONFLICT(store_key, name_digest) DO UPDATE SET "
                         "failures = CASE WHEN last_failure < ?4 THEN 1 "
                         "ELSE min(failures + 1, 2147483647) END, "
                         "last_failure = excluded.last_failure");
        upsert.bind(1, m_storeKey);
        upsert.bindBlob(2, key);
        upsert.bind(3, at);
        upsert.bind(4, forgotten);
        if (upsert.step() != SQLITE_DONE)
            m_registry.fail(writeFailure());
        Statement prune(m_registry.database(),
                        "DELETE FROM logon_failures WHERE store_key = ? AND last_failure < ?");
        prune.bind(1, m_storeKey);
        prune.bind(2, forgotten);
        if (prune.step() != SQLITE_DONE)
            m_registry.fail(writeFailure());
        result = state(userName);
    });
    return result;
}

bool LogonThrottle::clear(const QByteArray &userName)
{
    const QByteArray key = nameDigest(userName);
    bool cleared = false;
    detail::writeTable(m_registry, writeFailure(), [&] {
        if (!detail::tableExists(m_registry, TableName, writeFailure()))
            return;
        Statement remove(m_registry.database(),
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
