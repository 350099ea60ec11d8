// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The ledger an administrator reads with: it neither makes a store nor
// stands in for a shared one that cannot be reached.
#include "security/store/logonledger.h"
#include "support/temporaryhome.h"
#include "toolkit/error.h"

#include <QFileInfo>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using zkSecurity::LogonLedger;

TEST(LogonLedger, InspectingReadsOnlyWhatExists)
{
    testsupport::TemporaryHome home;
    zkSecurity::UserStoreSettings store;
    store.key = u"\\Software\\RightsmithTest\\Ledger"_s;

    // No registry yet: inspecting throws and leaves none behind.
    EXPECT_THROW(LogonLedger::open(store, LogonLedger::Access::Inspect),
                 rightsmith::toolkit::Error);
    EXPECT_FALSE(QFileInfo::exists(store.registryPath()));

    // A logon makes it; then it can be inspected, and what was written is read.
    {
        auto ledger = LogonLedger::open(store, LogonLedger::Access::Write);
        zkSecurity::AuditRecord record;
        record.event = zkSecurity::AuditEvent::LogonRefused;
        record.user = "Joe";
        ledger->append(record, QDateTime::currentDateTimeUtc());
        ledger->commit();
    }
    auto inspected = LogonLedger::open(store, LogonLedger::Access::Inspect);
    EXPECT_FALSE(inspected->isShared());
    ASSERT_EQ(inspected->read().size(), 1);
    EXPECT_EQ(inspected->read().first().user, "Joe");
}

TEST(LogonLedger, OnlyALogonIsStoodInForWhenTheServerIsAway)
{
    testsupport::TemporaryHome home;
    zkSecurity::UserStoreSettings store;
    store.key = u"\\Software\\RightsmithTest\\Ledger"_s;
    store.sharedAddress = u"host=%1 dbname=rightsmith connect_timeout=2"_s.arg(home.path());

    EXPECT_FALSE(LogonLedger::open(store, LogonLedger::Access::Read)->isShared());
    EXPECT_THROW(LogonLedger::open(store, LogonLedger::Access::Inspect),
                 rightsmith::toolkit::Error);
}
