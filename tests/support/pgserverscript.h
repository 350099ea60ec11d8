// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once
// A throw-away PostgreSQL 15 server run by tests/support/pgserver.sh, for test
// programs of either kind: GoogleTest's (pgserver.h) and Qt Test's.

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace testsupport {

class PgServerScript
{
public:
    /// Starts a server in a fresh folder. address is then its connection
    /// string; skipReason says why there is none when the server binaries are
    /// not installed, failure what else went wrong.
    PgServerScript()
    {
        using namespace Qt::StringLiterals;
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
        m_serverDir = m_dir->path() + u"/server"_s;
        QProcess process;
        const int exitCode = run(process, {u"start"_s});
        const QString out = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
        if (exitCode == 77)
            skipReason = out;
        else if (exitCode != 0)
            failure = u"pgserver.sh start failed: "_s + out + u' '
                + QString::fromUtf8(process.readAllStandardError()).trimmed();
        else
            address = out.split(u'\n').constLast();
    }

    ~PgServerScript()
    {
        if (!address.isEmpty())
            command({QStringLiteral("stop")});
    }

    PgServerScript(const PgServerScript &) = delete;
    PgServerScript &operator=(const PgServerScript &) = delete;

    QString address;
    QString skipReason;
    QString failure;

    /// Runs pgserver.sh with \a arguments (a command, then what follows the
    /// server's folder) in \a process, started and left running.
    void start(QProcess &process, const QStringList &arguments) const
    {
        const QString source = qEnvironmentVariable("RIGHTSMITH_SOURCE_DIR");
        QStringList all {source + QStringLiteral("/tests/support/pgserver.sh"),
                         arguments.constFirst(), m_serverDir};
        all += arguments.mid(1);
        process.start(QStringLiteral("sh"), all);
    }

    /// Runs pgserver.sh with \a arguments to its end; the error, empty when none.
    QString command(const QStringList &arguments) const
    {
        QProcess process;
        if (run(process, arguments) == 0)
            return {};
        return QStringLiteral("pgserver.sh failed: ")
            + QString::fromUtf8(process.readAllStandardOutput()).trimmed() + u' '
            + QString::fromUtf8(process.readAllStandardError()).trimmed();
    }

private:
    // The exit code; -1 when it crashed or timed out.
    int run(QProcess &process, const QStringList &arguments) const
    {
        start(process, arguments);
        if (!process.waitForFinished(60000))
            process.kill();
        process.waitForFinished();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_serverDir;
};

} // namespace testsupport
