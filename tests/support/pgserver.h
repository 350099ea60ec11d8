// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once
// A throw-away PostgreSQL 15 server started once for a whole test program by
// tests/support/pgserver.sh (register it with
// ::testing::AddGlobalTestEnvironment(new testsupport::PgServer)); tests skip
// with the script's reason when the server binaries are not installed.
// pause() and resume() stop the server as a crash would and start it again.

#include "security/store/sharedstore_p.h"
#include "support/pgserverscript.h"
#include "toolkit/messagebox.h"

#include <QString>

#include <gtest/gtest.h>

#include <libpq-fe.h>
#include <memory>

namespace testsupport {

using namespace Qt::StringLiterals;

class PgServer : public ::testing::Environment
{
public:
    static inline QString address;
    static inline QString skipReason;
    static inline QString failure;

    void SetUp() override
    {
        s_script = std::make_unique<PgServerScript>();
        address = s_script->address;
        skipReason = s_script->skipReason;
        failure = s_script->failure;
    }

    void TearDown() override { s_script.reset(); }

    /// Stops the server at once, as a crash or a power cut would, keeping its
    /// data; the error, empty when none.
    static QString pause() { return s_script->command({u"pause"_s}); }
    /// Starts the paused server again on its data; the error, empty when none.
    static QString resume() { return s_script->command({u"resume"_s}); }

private:
    static inline std::unique_ptr<PgServerScript> s_script;
};

/// Runs administrative SQL as the server's superuser; the error, empty when none.
inline QString admin(const QByteArray &sql, const QString &address = PgServer::address)
{
    PGconn *connection = PQconnectdb(address.toUtf8().constData());
    PGresult *result = PQexec(connection, sql.constData());
    const auto status = PQresultStatus(result);
    const QString message = QString::fromUtf8(PQerrorMessage(connection));
    PQclear(result);
    PQfinish(connection);
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK ? QString() : message;
}

/// A test against the server: skipped with the server's reason when there is
/// none, the store's tables made, a store key of its own (\a keyFolder and the
/// test's name) and the messages shown meanwhile collected instead.
class ServerTest : public ::testing::Test
{
protected:
    explicit ServerTest(const QString &keyFolder)
        : m_keyFolder(keyFolder)
    {
    }

    void SetUp() override
    {
        if (!PgServer::skipReason.isEmpty())
            GTEST_SKIP() << qPrintable(PgServer::skipReason);
        ASSERT_TRUE(PgServer::failure.isEmpty()) << qPrintable(PgServer::failure);
        zkSecurity::SharedStore::connect(PgServer::address)->initSchema();
        key = m_keyFolder
            + QString::fromUtf8(::testing::UnitTest::GetInstance()->current_test_info()->name());
        previousHook = rightsmith::toolkit::setMessageHook([this](auto, const QString &text) {
            messages << text;
            return false;
        });
    }

    void TearDown() override { rightsmith::toolkit::setMessageHook(previousHook); }

    QString key;
    QStringList messages;

private:
    QString m_keyFolder;
    rightsmith::toolkit::MessageHook previousHook;
};

} // namespace testsupport
