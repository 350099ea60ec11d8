// Failed-logon counters: the delays they impose, and their table in the
// registry database (kept across restarts, digests only, in the caller's
// transaction).
#include "security/logonthrottle.h"
#include "toolkit/error.h"
#include "toolkit/registry.h"
#include "toolkit/sqlitestatement.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

using namespace zkSecurity;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using rightsmith::toolkit::Registry;

namespace {

const QString StoreKey = u"\\Software\\RightsmithTest\\Users"_s;
const QDateTime T0 = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);

class LogonThrottleTest : public ::testing::Test
{
protected:
    QString path() const { return m_dir.filePath(u"registry.sqlite3"_s); }
    QTemporaryDir m_dir;
};

} // namespace

TEST(ThrottleSettings, DelayDoublesFromTheFreeAttemptsUpToTheCap)
{
    const ThrottleSettings defaults;
    const ThrottleSettings noneFree {0, 3s, 10s};
    const ThrottleSettings hugeCap {5, 1s, std::chrono::seconds::max()};
    const int most = std::numeric_limits<int>::max();
    const struct
    {
        ThrottleSettings settings;
        int failures;
        std::chrono::seconds delay;
    } cases[] = {
        {defaults, 0, 0s},
        {defaults, 4, 0s},
        {defaults, 5, 1s},
        {defaults, 6, 2s},
        {defaults, 7, 4s},
        {defaults, 14, 512s},
        {defaults, 15, 900s},
        {defaults, most, 900s},
        {noneFree, -1, 0s},
        {noneFree, 0, 3s},
        {noneFree, 1, 6s},
        {noneFree, 2, 10s},
        {hugeCap, 5 + 62, std::chrono::seconds(qint64(1) << 62)},
        {hugeCap, most, std::chrono::seconds::max()},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.settings.delayAfter(c.failures), c.delay) << "failures " << c.failures;
}

TEST(ThrottleState, RemainingRoundsUpAndIgnoresAClockSetBack)
{
    const struct
    {
        int failures;
        qint64 nowOffsetMs;
        std::chrono::seconds remaining;
    } cases[] = {
        {4, 0, 0s},
        {6, 0, 2s},
        {6, 1, 2s},
        {6, 1000, 1s},
        {6, 1999, 1s},
        {6, 2000, 0s},
        {6, 3600'000, 0s},
        {6, -3600'000, 2s}, // the last failure an hour ahead waits no more than the delay
        {40, -86400'000, 900s},
    };
    for (const auto &c : cases)
        EXPECT_EQ((ThrottleState {c.failures, T0}.remaining({}, T0.addMSecs(c.nowOffsetMs))),
                  c.remaining)
            << c.failures << " failures, now " << c.nowOffsetMs << " ms";
    EXPECT_EQ(ThrottleState {}.remaining({}, T0), 0s);
}

TEST_F(LogonThrottleTest, CountsSurviveARestartUntilCleared)
{
    {
        Registry registry(path());
        LogonThrottle throttle(registry, StoreKey);
        for (int i = 1; i <= 6; ++i)
            EXPECT_EQ(throttle.noteFailure("Anna", T0.addSecs(i)).failures, i);
    }
    Registry registry(path());
    LogonThrottle throttle(registry, StoreKey);
    const ThrottleState state = throttle.state("Anna");
    EXPECT_EQ(state.failures, 6);
    EXPECT_EQ(state.lastFailure, T0.addSecs(6));
    EXPECT_TRUE(state.lastFailure.toString(Qt::ISODate).endsWith(u'Z')); // UTC

    EXPECT_TRUE(throttle.clear("Anna"));
    EXPECT_EQ(throttle.state("Anna").failures, 0);
    EXPECT_FALSE(throttle.state("Anna").lastFailure.isValid());
    EXPECT_FALSE(throttle.clear("Anna"));
}

TEST_F(LogonThrottleTest, EveryNameAndStoreKeyCountsApart)
{
    Registry registry(path());
    LogonThrottle throttle(registry, StoreKey);
    LogonThrottle otherKey(registry, StoreKey + u"\\Other"_s);
    // The throttle knows no users: a name no user has counts like any other.
    for (const char *name : {"Anna", "Anna", "anna", "Nobody at all"})
        throttle.noteFailure(name, T0);
    LogonThrottle(registry, StoreKey.toUpper()).noteFailure("Anna", T0);
    otherKey.noteFailure("Anna", T0);

    EXPECT_EQ(throttle.state("Anna").failures, 3); // store keys ignore letter case
    EXPECT_EQ(throttle.state("anna").failures, 1); // names do not
    EXPECT_EQ(throttle.state("Nobody at all").failures, 1);
    EXPECT_EQ(otherKey.state("anna").failures, 0);
    EXPECT_TRUE(otherKey.clear("Anna"));
    EXPECT_EQ(throttle.state("Anna").failures, 3);
}

TEST_F(LogonThrottleTest, TheStoreHoldsNoTypedName)
{
    const QByteArray typed = "correct horse battery staple";
    {
        Registry registry(path());
        LogonThrottle(registry, StoreKey).noteFailure(typed, T0);
        rightsmith::toolkit::detail::Statement row(registry.database(),
                                                   "SELECT name_digest FROM logon_failures");
        ASSERT_EQ(row.step(), SQLITE_ROW);
        EXPECT_EQ(row.columnBlob(0).size(), 32);
        EXPECT_FALSE(row.columnBlob(0).contains(typed.left(6)));
    }
    // Nor anywhere in the file (the journal is merged into it on close).
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.readAll().contains(typed.left(6)));
}

TEST_F(LogonThrottleTest, ACountChangesWithTheCallersTransaction)
{
    Registry registry(path());
    LogonThrottle throttle(registry, StoreKey);
    throttle.noteFailure("Anna", T0);
    for (int clear = 0; clear < 2; ++clear) {
        rightsmith::toolkit::RegistryTransaction transaction(registry, Registry::WriteTransaction);
        if (clear)
            EXPECT_TRUE(throttle.clear("Anna"));
        else
            EXPECT_EQ(throttle.noteFailure("Anna", T0.addSecs(5)).failures, 2);
        EXPECT_TRUE(registry.inTransaction()); // rolled back at the end of the scope
    }
    EXPECT_EQ(throttle.state("Anna").failures, 1);
    EXPECT_EQ(throttle.state("Anna").lastFailure, T0);
}
