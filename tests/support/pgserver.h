#pragma once
// A throw-away PostgreSQL 15 server started once for a whole test program by
// tests/support/pgserver.sh (register it with
// ::testing::AddGlobalTestEnvironment(new testsupport::PgServer)); tests skip
// with the script's reason when the server binaries are not installed.

#include <QFile>
#include <QProcess>
#include <QString>
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
        const QProcess::ExitStatus status = script(u"start"_s);
        const QString out = QString::fromUtf8(m_process.readAllStandardOutput()).trimmed();
        const QString err = QString::fromUtf8(m_process.readAllStandardError()).trimmed();
        if (status == QProcess::NormalExit && m_process.exitCode() == 77)
            skipReason = out;
        else if (status != QProcess::NormalExit || m_process.exitCode() != 0)
            failure = u"pgserver.sh start failed: "_s + out + u' ' + err;
        else
            address = out.split(u'\n').constLast();
    }

    void TearDown() override
    {
        if (!address.isEmpty())
            script(u"stop"_s);
        m_dir.reset();
    }

private:
    QProcess::ExitStatus script(const QString &command)
    {
        const QString source = qEnvironmentVariable("RIGHTSMITH_SOURCE_DIR");
        m_process.start(
            u"sh"_s,
            {source + u"/tests/support/pgserver.sh"_s, command, m_dir->path() + u"/server"_s});
        if (!m_process.waitForFinished(60000))
            m_process.kill();
        m_process.waitForFinished();
        return m_process.exitStatus();
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess m_process;
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

} // namespace testsupport
