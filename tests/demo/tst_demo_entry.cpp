// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// The program entry's check for a window system, made before any
// application object exists (the toolkit would abort without one).
#include "demo/demoactions.h"
#include "demo/demoapp.h"
#include "support/testsupport.h"

#include <QTest>

#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Sets (or, for a null value, removes) environment variables for its lifetime.
class ScopedEnvironment
{
public:
    void set(const char *name, const QByteArray &value)
    {
        m_saved.append({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedEnvironment()
    {
        for (auto it = m_saved.crbegin(); it != m_saved.crend(); ++it) {
            if (it->wasSet)
                qputenv(it->name, it->value);
            else
                qunsetenv(it->name);
        }
    }

private:
    struct Saved
    {
        const char *name;
        bool wasSet;
        QByteArray value;
    };
    QList<Saved> m_saved;
};

// Listens like a local X server of display \a number in the abstract namespace.
class FakeXServer
{
public:
    explicit FakeXServer(int number)
    {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const QByteArray path = "/tmp/.X11-unix/X" + QByteArray::number(number);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        memcpy(address.sun_path + 1, path.constData(), size_t(path.size()));
        const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(path.size()));
        m_listening = m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), length) == 0
            && ::listen(m_fd, 1) == 0;
    }
    ~FakeXServer()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isListening() const { return m_listening; }

private:
    int m_fd = -1;
    bool m_listening = false;
};

// A display number no X server of this machine uses.
int unusedDisplay()
{
    return 4000 + int(::getpid() % 1000);
}

} // namespace

class tst_DemoEntry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void displayAvailable_data();
    void displayAvailable();
    void localServerThatListens();
    void runDemoWithoutDisplayExplainsAndFails();
    void storedShortcuts_data();
    void storedShortcuts();
};

void tst_DemoEntry::displayAvailable_data()
{
    QTest::addColumn<QByteArray>("platform");
    QTest::addColumn<QByteArray>("display");
    QTest::addColumn<QByteArray>("wayland");
    QTest::addColumn<bool>("available");
    QTest::addColumn<QString>("reason");

    const QByteArray none;
    const QByteArray silent = ":" + QByteArray::number(unusedDisplay());
    QTest::newRow("nothing set") << none << none << none << false
                                 << u"neither DISPLAY nor WAYLAND_DISPLAY"_s;
    QTest::newRow("empty values") << QByteArray("") << QByteArray("") << QByteArray("") << false
                                  << u"neither DISPLAY nor WAYLAND_DISPLAY"_s;
    QTest::newRow("offscreen needs no server")
        << QByteArray("offscreen") << none << none << true << QString();
    QTest::newRow("platform with options")
        << QByteArray("minimal:enable_fonts") << none << none << true << QString();
    QTest::newRow("xcb without DISPLAY")
        << QByteArray("xcb") << none << QByteArray("wayland-0") << false << u"DISPLAY is not set"_s;
    QTest::newRow("local display nobody serves")
        << none << silent << none << false << u"DISPLAY="_s + QString::fromLatin1(silent);
    QTest::newRow("unix: display nobody serves")
        << QByteArray("xcb") << "unix" + silent + ".0" << none << false << u"no X server answers"_s;
    QTest::newRow("remote display left to the toolkit")
        << none << QByteArray("somehost:0") << none << true << QString();
    QTest::newRow("wayland session")
        << none << none << QByteArray("wayland-0") << true << QString();
    QTest::newRow("wayland platform without compositor")
        << QByteArray("wayland") << QByteArray(":0") << none << false
        << u"WAYLAND_DISPLAY is not set"_s;
}

void tst_DemoEntry::displayAvailable()
{
    QFETCH(QByteArray, platform);
    QFETCH(QByteArray, display);
    QFETCH(QByteArray, wayland);
    QFETCH(bool, available);
    QFETCH(QString, reason);

    ScopedEnvironment environment;
    environment.set("QT_QPA_PLATFORM", platform);
    environment.set("DISPLAY", display);
    environment.set("WAYLAND_DISPLAY", wayland);
    QString message;
    QCOMPARE(demo::displayAvailable(&message), available);
    if (available) {
        QVERIFY(message.isEmpty());
    } else {
        QVERIFY2(message.contains(reason), qPrintable(message));
        QVERIFY(message.contains(u"xvfb-run -a rightsmith-demo"_s));
    }
}

void tst_DemoEntry::localServerThatListens()
{
    const int number = unusedDisplay() + 1;
    FakeXServer server(number);
    QVERIFY(server.isListening());
    ScopedEnvironment environment;
    environment.set("QT_QPA_PLATFORM", QByteArray());
    environment.set("WAYLAND_DISPLAY", QByteArray());
    environment.set("DISPLAY", ":" + QByteArray::number(number) + ".0");
    QVERIFY(demo::displayAvailable(nullptr));
}

void tst_DemoEntry::runDemoWithoutDisplayExplainsAndFails()
{
    ScopedEnvironment environment;
    environment.set("QT_QPA_PLATFORM", QByteArray());
    environment.set("DISPLAY", QByteArray());
    environment.set("WAYLAND_DISPLAY", QByteArray());
    int argc = 1;
    char name[] = "rightsmith-demo";
    char *argv[] = {name, nullptr};
    // Returns before any application object is made; the message goes to the standard error.
    QCOMPARE(demo::runDemo(argc, argv), 2);
}

void tst_DemoEntry::storedShortcuts_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<QKeySequence>("expected");
    QTest::newRow("none") << 0 << QKeySequence();
    QTest::newRow("Ctrl+N") << 16462 << QKeySequence(Qt::CTRL | Qt::Key_N);
    QTest::newRow("Ctrl+V") << 16470 << QKeySequence(Qt::CTRL | Qt::Key_V);
    QTest::newRow("Shift+Ctrl+S") << 8192 + 16384 + 83
                                  << QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_S);
    QTest::newRow("Alt+X") << 32768 + 88 << QKeySequence(Qt::ALT | Qt::Key_X);
    QTest::newRow("digit") << 16384 + 49 << QKeySequence(Qt::CTRL | Qt::Key_1);
    QTest::newRow("negative") << -5 << QKeySequence();
}

void tst_DemoEntry::storedShortcuts()
{
    QFETCH(int, stored);
    QFETCH(QKeySequence, expected);
    QCOMPARE(demo::shortCutFromStored(stored), expected);
}

RIGHTSMITH_TEST_MAIN(tst_DemoEntry)
#include "tst_demo_entry.moc"
