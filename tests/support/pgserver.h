#pragma once
// A throw-away PostgreSQL 15 server started once for a whole test program by
// tests/support/pgserver.sh (register it with
// ::testing::AddGlobalTestEnvironment(new testsupport::PgServer)); tests skip
// with the script's reason when the server binaries are not installed.
// pause() and resume() stop the server as a crash would and start it again.

#include "security/store/sharedstore_p.h"
#include "toolkit/messagebox.h"

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

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
        // Short (a Unix socket's path is limited) and searchable by the server's user.
        m_dir = std::make_unique<QTemporaryDir>(u"/tmp/rsXXXXXX"_s);
        if (!m_dir->isValid()) {
            failure = u"no temporary folder"_s;
            return;
        }
        QFile::setPermissions(m_dir->path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                  | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                                  | QFile::ExeOther);
        s_serverDir = m_dir->path() + u"/server"_s;
        const Run run = script(u"start"_s);
        if (run.exitCode == 77)
            skipReason = run.out;
        else if (run.exitCode != 0)
            failure = u"pgserver.sh start failed: "_s + run.out + u' ' + run.err;
        else
            address = run.out.split(u'\n').constLast();
    }

    void TearDown() override
    {
        if (!address.isEmpty())
            script(u"stop"_s);
        m_dir.reset();
    }

    /// Stops the server at once, as a crash or a power cut would, keeping its
    /// data; the error, empty when none.
    static QString pause() { return problemOf(script(u"pause"_s)); }
    /// Starts the paused server again on its data; the error, empty when none.
    static QString resume() { return problemOf(script(u"resume"_s)); }

private:
    struct Run
    {
        int exitCode = -1; // -1: crashed or timed out
        QString out;
        QString err;
    };

    static Run script(const QString &command)
    {
        const QString source = qEnvironmentVariable("RIGHTSMITH_SOURCE_DIR");
        QProcess process;
        process.start(u"sh"_s, {source + u"/tests/support/pgserver.sh"_s, command, s_serverDir});
        if (!process.waitForFinished(60000))
            process.kill();
        process.waitForFinished();
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()).trimmed(),
                QString::fromUtf8(process.readAllStandardError()).trimmed()};
    }

    static QString problemOf(const Run &run)
    {
        return run.exitCode == 0 ? QString() : u"pgserver.sh failed: "_s + run.out + u' ' + run.err;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    static inline QString s_serverDir;
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
