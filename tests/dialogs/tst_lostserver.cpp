// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// A running desk with its users in a shared store on a real server that
// stops under it: the desk notices, its user management dialog opens
// read-only with the line of a desk started without the server, and once the
// server is back and the desk has read the users again it is writable again.
#include "dialogs/tfrmsecurity.h"
#include "security/component/tzksecurity.h"
#include "security/store/sharedstore_p.h"
#include "support/fakes.h"
#include "support/pgserverscript.h"
#include "support/testsupport.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <utility>

using namespace Qt::StringLiterals;
using zkSecurity::TzkSecurity;

namespace {

// What the user management dialog showed: the read-only line (empty when
// hidden) and whether OK could be pressed (never when it is not the dialog).
struct Seen
{
    QString line;
    bool okEnabled = false;
};

Seen openUserManagement(TzkSecurity &desk)
{
    Seen seen;
    testsupport::answerNextModal([&seen](QWidget *modal) {
        if (auto *dialog = qobject_cast<zkDlgSecurity::TfrmSecurity *>(modal)) {
            seen.line = dialog->lblReadOnly->isVisible() ? dialog->lblReadOnly->text() : QString();
            seen.okEnabled = dialog->btnOK->isEnabled();
        }
        qobject_cast<QDialog *>(modal)->reject();
    });
    desk.ShowSecurityDialog();
    return seen;
}

// A desk of the store \a key: "Supervisor" made on a first start and logged
// on silently; it tries to listen again every 200 ms once the server is lost.
std::unique_ptr<TzkSecurity> startDesk(const QString &address, const QString &key)
{
    auto desk = std::make_unique<TzkSecurity>();
    desk->setUserTemplateRegistryKeyName(key);
    desk->setStoreAddress(address);
    desk->setStoreRetryInterval(std::chrono::milliseconds(200));
    desk->SetOptions({zkSecurity::soCreateSupervisorIfMissing, zkSecurity::soAutoLogon,
                      zkSecurity::soSilentLogonTry});
    desk->Loaded();
    return desk;
}

} // namespace

class tst_LostServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void readOnlyWhileTheServerIsGone_data();
    void readOnlyWhileTheServerIsGone();

private:
    std::unique_ptr<testsupport::PgServerScript> m_server;
    // A row that failed with the server stopped leaves it to the next one running.
    bool m_stopped = false;
};

void tst_LostServer::initTestCase()
{
    m_server = std::make_unique<testsupport::PgServerScript>();
    if (!m_server->skipReason.isEmpty())
        QSKIP(qPrintable(m_server->skipReason));
    QVERIFY2(m_server->failure.isEmpty(), qPrintable(m_server->failure));
    zkSecurity::SharedStore::connect(m_server->address)->initSchema();
}

void tst_LostServer::cleanup()
{
    if (std::exchange(m_stopped, false))
        QCOMPARE(m_server->command({u"resume"_s}), QString());
}

void tst_LostServer::readOnlyWhileTheServerIsGone_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("waitForNotice");
    QTest::newRow("fast shutdown, noticed while idle") << u"fast"_s << true;
    QTest::newRow("crash, noticed while idle") << u"immediate"_s << true;
    QTest::newRow("fast shutdown, dialog opened at once") << u"fast"_s << false;
}

void tst_LostServer::readOnlyWhileTheServerIsGone()
{
    QFETCH(QString, mode);
    QFETCH(bool, waitForNotice);
    testsupport::TemporaryHome home;
    QStringList messages;
    const testsupport::CapturedMessages captured(messages);
    const QString key =
        u"\\Software\\Test\\LostServer\\"_s + QLatin1StringView(QTest::currentDataTag());

    const auto desk = startDesk(m_server->address, key);
    QVERIFY(desk->IsSupervisor());
    const Seen before = openUserManagement(*desk);
    QCOMPARE(before.line, QString());
    QVERIFY(before.okEnabled);

    if (waitForNotice) {
        // Measured, not asserted: from the stop's start until the desk knows.
        QElapsedTimer clock;
        clock.start();
        QProcess stop;
        qint64 stopped = -1;
        connect(&stop, &QProcess::finished, this, [&] { stopped = clock.elapsed(); });
        m_server->start(stop, {u"pause"_s, mode});
        m_stopped = true;
        QVERIFY(QTest::qWaitFor([&] { return desk->UsersReadOnly(); }, 30000));
        const qint64 noticed = clock.elapsed();
        QTRY_VERIFY_WITH_TIMEOUT(stop.state() == QProcess::NotRunning, 30000);
        QCOMPARE(stop.exitCode(), 0);
        qInfo("%s: the stop took %lld ms; the desk noticed %lld ms after it began",
              qPrintable(mode), stopped, noticed);
    } else {
        // No event is handled between the stop and the dialog.
        QCOMPARE(m_server->command({u"pause"_s, mode}), QString());
        m_stopped = true;
    }

    const Seen whileGone = openUserManagement(*desk);
    QVERIFY(!whileGone.line.isEmpty());
    QVERIFY(!whileGone.okEnabled);
    {
        const auto startedWithout = startDesk(m_server->address, key);
        QVERIFY(startedWithout->UsersReadOnly());
        QCOMPARE(openUserManagement(*startedWithout).line, whileGone.line);
    }

    m_stopped = false;
    QCOMPARE(m_server->command({u"resume"_s}), QString());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(QTest::qWaitFor([&] { return !desk->UsersReadOnly(); }, 30000));
    qInfo("%s: writable again %lld ms after the server was back", qPrintable(mode),
          clock.elapsed());
    const Seen back = openUserManagement(*desk);
    QCOMPARE(back.line, QString());
    QVERIFY(back.okEnabled);
}

RIGHTSMITH_TEST_MAIN(tst_LostServer)
#include "tst_lostserver.moc"
