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
#include <sqlite3.h>

using namespace zkSecurity;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using rightsmith::toolkit::Registry;

namespace {

const QString StoreKey = u"\\Software\\RightsmithTest\\Users"_s;
const QDateTime T0 = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);

// One integer from \a sql on the database at \a path, opened apart from any Registry.
qint64 queryInt(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    EXPECT_EQ(
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr),
        SQLITE_OK);
    qint64 value = -1;
    {
        rightsmith::toolkit::detail::Statement statement(db, sql);
        if (statement.step() == SQLITE_ROW)
            value = statement.columnInt(0);
    }
    sqlite3_close(db);
    return value;
}

qint64 tableCount(const QString &path)
{
    return queryInt(path, "SELECT count(*) FROM sqlite_master WHERE name = 'logon_failures'");
}

class LogonThrottleTest : public ::testing::Test
{
protected:
    QString path() const { return m_dir.filePath(u"registry.sqlite3"_s); }
    QTemporaryDir m_dir;
};

} // namespace

TEST(ThrottleSettings, DelayDoublesFromTheFreeAttemptsUpToTheCap)
{
    struct Case
    {
        ThrottleSettings settings;
        int failures;
        std::chrono::seconds delay;
    };
    const ThrottleSettings defaults;
    const ThrottleSettings noneFree {0, 3s, 10s};
    const ThrottleSettings hugeCap {5, 1s, std::chrono::seconds::max()};
    const Case cases[] = {
        {defaults, 0, 0s},
        {defaults, 4, 0s},
        {defaults, 5, 1s},
        {defaults, 6, 2s},
        {defaults, 7, 4s},
        {defaults, 14, 512s},
        {defaults, 15, 900s},
        {defaults, 16, 900s},
        {defaults, std::numeric_limits<int>::max(), 900s},
        {noneFree, 0, 3s},
        {noneFree, 1, 6s},
        {noneFree, 2, 10s},
        {noneFree, -1, 0s},
        {hugeCap, 5 + 62, std::chrono::seconds(qint64(1) << 62)},
        {hugeCap, std::numeric_limits<int>::max(), std::chrono::seconds::max()},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.settings.delayAfter(c.failures), c.delay) << "failures " << c.failures;
}

TEST(ThrottleState, RemainingRoundsUpAndIgnoresAClockSetBack)
{
    struct Case
    {
        int failures;
        qint64 nowOffsetMs;
        std::chrono::seconds remaining;
    };
    const Case cases[] = {
        {4, 0, 0s}, // below the free attempts
        {6, 0, 2s}, // 6 failures: 2 s
        {6, 1, 2s}, // 1.999 s left rounds up
        {6, 1000, 1s},
        {6, 1001, 1s},
        {6, 1999, 1s},
        {6, 2000, 0s},
        {6, 3600'000, 0s},
        {6, -3600'000, 2s}, // last failure an hour ahead: no more than the delay
        {40, -86400'000, 900s},
    };
    const ThrottleSettings settings;
    for (const Case &c : cases) {
        const ThrottleState state {c.failures, T0};
        EXPECT_EQ(state.remaining(settings, T0.addMSecs(c.nowOffsetMs)), c.remaining)
            << c.failures << " failures, now " << c.nowOffsetMs << " ms";
    }
    EXPECT_EQ(ThrottleState {}.remaining(settings, T0), 0s);
}

TEST_F(LogonThrottleTest, CountsSurviveARestartUntilCleared)
{
    {
        Registry registry(path());
        LogonThrottle throttle(registry, StoreKey);
        for (int i = 1; i <= 6; ++i) {
            const ThrottleState state = throttle.noteFailure("Anna", T0.addSecs(i));
            EXPECT_EQ(state.failures, i);
            EXPECT_EQ(state.lastFailure, T0.addSecs(i));
        }
    }
    Registry registry(path());
    LogonThrottle throttle(registry, StoreKey);
    const ThrottleState state = throttle.state("Anna");
    EXPECT_EQ(state.failures, 6);
    EXPECT_EQ(state.lastFailure, T0.addSecs(6));
    EXPECT_EQ(state.lastFailure.timeSpec(), Qt::UTC);
    EXPECT_EQ(state.remaining(ThrottleSettings {}, T0.addSecs(7)), 1s);

    EXPECT_TRUE(throttle.clear("Anna"));
    EXPECT_EQ(throttle.state("Anna").failures, 0);
    EXPECT_FALSE(throttle.state("Anna").lastFailure.isValid());
    EXPECT_FALSE(throttle.clear("Anna"));
}

TEST_F(LogonThrottleTest, EveryNameAndStoreKeyCountsApart)
{
    Registry registry(path());
    LogonThrottle throttle(registry, StoreKey);
    LogonThrottle sameKeyOtherCase(registry, StoreKey.toUpper());
    LogonThrottle otherKey(registry, StoreKey + u"\\Other"_s);

    // The throttle knows no users: a name no user has counts like any other.
    throttle.noteFailure("Anna", T0);
    throttle.noteFailure("Anna", T0);
    throttle.noteFailure("anna", T0);
    throttle.noteFailure("Nobody at all", T0);
    sameKeyOtherCase.noteFailure("Anna", T0);
    otherKey.noteFailure("Anna", T0);

    EXPECT_EQ(throttle.state("Anna").failures, 3); // store keys ignore letter case
    EXPECT_EQ(throttle.state("anna").failures, 1); // names do not
    EXPECT_EQ(throttle.state("Nobody at all").failures, 1);
    EXPECT_EQ(throttle.state("").failures, 0);
    EXPECT_EQ(otherKey.state("Anna").failures, 1);
    EXPECT_EQ(otherKey.state("anna").failures, 0);

    EXPECT_TRUE(otherKey.clear("Anna"));
    EXPECT_EQ(throttle.state("Anna").failures, 3);
}

TEST_F(LogonThrottleTest, TheStoreHoldsNoTypedName)
{
    const QByteArray typed = "correct horse battery staple";
    {
        Registry registry(path());
        LogonThrottle throttle(registry, StoreKey);
        throttle.noteFailure(typed, T0);
        throttle.noteFailure(typed, T0);

        rightsmith::toolkit::detail::Statement rows(
            registry.database(), "SELECT store_key, name_digest, failures FROM logon_failures");
        ASSERT_EQ(rows.step(), SQLITE_ROW);
        EXPECT_EQ(rows.columnText(0), StoreKey);
        EXPECT_EQ(rows.columnBlob(1).size(), 32);
        EXPECT_FALSE(rows.columnBlob(1).contains(typed.left(8)));
        EXPECT_EQ(rows.columnInt(2), 2);
        EXPECT_EQ(rows.step(), SQLITE_DONE);
    }
    // Nor anywhere else in the file (the journal is merged in on close).
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.readAll().contains(typed.left(8)));
}

TEST_F(LogonThrottleTest, ACountChangesWithTheCallersTransaction)
{
    Registry registry(path());
    LogonThrottle throttle(registry, StoreKey);
    throttle.noteFailure("Anna", T0);
    {
        rightsmith::toolkit::RegistryTransaction transaction(registry, Registry::WriteTransaction);
        EXPECT_EQ(throttle.noteFailure("Anna", T0.addSecs(5)).failures, 2);
        EXPECT_TRUE(registry.inTransaction()); // the throttle did not commit it
        // rolled back here
    }
    EXPECT_EQ(throttle.state("Anna").failures, 1);
    EXPECT_EQ(throttle.state("Anna").lastFailure, T0);
    {
        rightsmith::toolkit::RegistryTransaction transaction(registry, Registry::WriteTransaction);
        EXPECT_TRUE(throttle.clear("Anna"));
    }
    EXPECT_EQ(throttle.state("Anna").failures, 1);
}

TEST_F(LogonThrottleTest, AReadOnlyRegistryIsReadButNeverWritten)
{
    {
        Registry create(path());
    }
    {
        Registry registry(path(), Registry::ReadOnly);
        LogonThrottle throttle(registry, StoreKey);
        EXPECT_EQ(throttle.state("Anna").failures, 0);
        EXPECT_THROW(throttle.noteFailure("Anna", T0), rightsmith::toolkit::Error);
        EXPECT_THROW(throttle.clear("Anna"), rightsmith::toolkit::Error);
    }
    EXPECT_EQ(tableCount(path()), 0);

    {
        Registry registry(path());
        LogonThrottle(registry, StoreKey).noteFailure("Anna", T0);
    }
    Registry registry(path(), Registry::ReadOnly);
    EXPECT_EQ(LogonThrottle(registry, StoreKey).state("Anna").failures, 1);
}

TEST_F(LogonThrottleTest, TheTableLeavesTheRegistryVersionAlone)
{
    {
        Registry create(path());
    }
    const qint64 version = queryInt(path(), "PRAGMA user_version");
    const qint64 application = queryInt(path(), "PRAGMA application_id");
    ASSERT_NE(application, 0);
    {
        Registry registry(path());
        LogonThrottle(registry, StoreKey).noteFailure("Anna", T0);
    }
    EXPECT_EQ(tableCount(path()), 1);
    EXPECT_EQ(queryInt(path(), "PRAGMA user_version"), version);
    EXPECT_EQ(queryInt(path(), "PRAGMA application_id"), application);
    Registry reopened(path());
    EXPECT_TRUE(reopened.openKey(u"\\Software"_s, true));
}
