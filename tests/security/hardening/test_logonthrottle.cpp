// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Failed-logon counters: the delays they impose, and their table in the registry database
// (kept across restarts, digests only, in the caller's transaction).
#include "security/hardening/logonthrottle.h"
#include "toolkit/registry.h"

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
const int Most = std::numeric_limits<int>::max();

} // namespace

TEST(LogonThrottle, DelaysDoubleFromTheFreeAttemptsUpToTheCapAndIgnoreAClockSetBack)
{
    const int delays[][2] = {{0, 0}, {4, 0}, {5, 1}, {6, 2}, {14, 512}, {15, 900}, {Most, 900}};
    for (const auto &[failures, seconds] : delays) // 5 free, 1 s doubling up to 900 s
        EXPECT_EQ(ThrottleSettings().delayAfter(failures).count(), seconds) << failures;
    const ThrottleSettings hugeCap {5, 1s, std::chrono::seconds::max()};
    EXPECT_EQ(hugeCap.delayAfter(5 + 62), std::chrono::seconds(qint64(1) << 62));
    EXPECT_EQ(hugeCap.delayAfter(Most), std::chrono::seconds::max());
    EXPECT_EQ((ThrottleSettings {0, 3s, 10s}.delayAfter(2)), 10s);
    const auto wait = [](int failures, qint64 msSinceLastFailure) {
        return ThrottleState {failures, T0}.remaining({}, T0.addMSecs(msSinceLastFailure)).count();
    };
    EXPECT_EQ(wait(6, 1), 2); // rounded up
    EXPECT_EQ(wait(6, 1999), 1);
    EXPECT_EQ(wait(6, 2000), 0);
    EXPECT_EQ(wait(6, -3600'000), 2); // a clock set back waits no more than the delay
    EXPECT_EQ(ThrottleState {}.remaining({}, T0), 0s);
}

TEST(LogonThrottle, CountsSurviveARestartAsDigestsSeparateByNameAndStoreKeyUntilCleared)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"registry.sqlite3"_s);
    const QByteArray typed = "correct horse battery staple"; // a password in the name box
    {
        Registry registry(path);
        LogonThrottle throttle(registry, StoreKey);
        for (int i = 1; i <= 6; ++i)
            EXPECT_EQ(throttle.noteFailure("Anna", T0.addSecs(i)).failures, i);
        throttle.noteFailure("anna", T0);
        throttle.noteFailure(typed, T0);
        LogonThrottle(registry, StoreKey.toUpper()).noteFailure("Anna", T0.addSecs(7));
        LogonThrottle(registry, StoreKey + u"\\Other"_s).noteFailure("Anna", T0);
    }
    QFile file(path); // the journal was merged into it on close
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.readAll().contains(typed.left(6)));

    Registry registry(path);
    LogonThrottle throttle(registry, StoreKey);
    EXPECT_EQ(throttle.state(typed).failures, 1);
    EXPECT_EQ(throttle.state("Anna").failures, 7); // store keys ignore letter case
    EXPECT_EQ(throttle.state("Anna").lastFailure, T0.addSecs(7));
    EXPECT_TRUE(throttle.state("Anna").lastFailure.toString(Qt::ISODate).endsWith(u'Z'));
    EXPECT_EQ(throttle.state("anna").failures, 1); // names do not
    EXPECT_TRUE(throttle.clear("Anna"));
    EXPECT_EQ(throttle.state("Anna").failures, 0);
    EXPECT_FALSE(throttle.state("Anna").lastFailure.isValid());
    EXPECT_FALSE(throttle.clear("Anna"));
    EXPECT_EQ(LogonThrottle(registry, StoreKey + u"\\Other"_s).state("Anna").failures, 1);
}

TEST(LogonThrottle, ACountChangesWithTheCallersTransaction)
{
    QTemporaryDir dir;
    Registry registry(dir.filePath(u"registry.sqlite3"_s));
    LogonThrottle throttle(registry, StoreKey);
    throttle.noteFailure("Anna", T0);
    for (const bool clear : {false, true}) {
        rightsmith::toolkit::RegistryTransaction transaction(registry, Registry::WriteTransaction);
        EXPECT_TRUE(clear ? throttle.clear("Anna")
                          : throttle.noteFailure("Anna", T0).failures == 2);
    } // rolled back: never committed
    EXPECT_EQ(throttle.state("Anna").failures, 1);
}
