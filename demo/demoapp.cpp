// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "demo/demoapp.h"

#include "demo/about.h"
#include "demo/childwin.h"
#include "demo/demoactions.h"
#include "demo/mainform.h"
#include "dialogs/installwidgets.h"
#include "toolkit/messagebox.h"
#include "toolkit/termination.h"
#include "toolkit/translations.h"
#include "toolkit/widgets/application.h"
#include "toolkit/widgets/idleupdater.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QIcon>
#include <QRegularExpression>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <exception>
#include <rightsmith/version.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

// The stored properties are compiled into this static library; Q_INIT_RESOURCE
// (outside any namespace) keeps the linker from dropping them.
static void initDemoBlobs()
{
    Q_INIT_RESOURCE(demoblobs);
}

namespace demo {

namespace {

DemoSession *s_current = nullptr;

QString applicationTitle()
{
    return QCoreApplication::translate("demo", "Rightsmith Demo");
}

// Whether something listens on the Unix socket of local X display \a number,
// in the abstract namespace (where Xorg and Xvfb listen first) or as a file.
bool localXServerListens(const QString &number)
{
    const QByteArray path = "/tmp/.X11-unix/X" + number.toLatin1();
    for (const bool abstract : {true, false}) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return true; // cannot tell: let the toolkit try
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        const size_t offset = abstract ? 1 : 0;
        if (size_t(path.size()) + offset >= sizeof(address.sun_path)) {
            ::close(fd);
            return true;
        }
        memcpy(address.sun_path + offset, path.constData(), size_t(path.size()));
        const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + offset
                                           + size_t(path.size()) + (abstract ? 0 : 1));
        const bool connected =
            ::connect(fd, reinterpret_cast<const sockaddr *>(&address), length) == 0;
        ::close(fd);
        if (connected)
            return true;
    }
    return false;
}

// DISPLAY as ":N", ":N.S", "unix:N" names a local server; anything else
// (a host name) is left to the toolkit.
bool x11DisplayReachable(const QString &display, QString *problem)
{
    static const QRegularExpression local(u"^(?:unix)?:(\\d+)(?:\\.\\d+)?$"_s);
    const QRegularExpressionMatch match = local.match(display);
    if (!match.hasMatch() || localXServerListens(match.captured(1)))
        return true;
    *problem = u"no X server answers on DISPLAY=%1"_s.arg(display);
    return false;
}

// The options that only print something. Everything else on the command line
// is left to the toolkit (-platform, -style...), as it always was.
bool onlyPrints(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--")
            break;
        for (const char *option : {"-h", "-?", "--help", "-v", "--version"}) {
            if (argument == option)
                return true;
        }
    }
    return false;
}

// Prints the help or the version and returns the exit code. Needs neither a
// display nor a user store: only a core application object is made.
int printInformation(int &argc, char **argv)
{
    QCoreApplication app(argc, argv);
    rightsmith::installTranslations();
    QCoreApplication::setApplicationName(u"rightsmith-demo"_s);
    QCoreApplication::setApplicationVersion(QString::fromLatin1(RIGHTSMITH_VERSION_STRING));
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "demo",
        "Rightsmith Demo: a multiple-document program whose commands are guarded by\n"
        "the rights of the user who logs on. It reads its users from the user store at\n"
        "start-up and writes them after every accepted logon and every user management\n"
        "dialog closed with OK; rightsmith-users manages the same store from the command\n"
        "line. The toolkit's own options (-platform, -style...) are accepted as well."));
    // Not addHelpOption(): its --help-all would promise the toolkit's options,
    // which only a full application object can list.
    const QCommandLineOption help({u"h"_s, u"?"_s, u"help"_s},
                                  QCoreApplication::translate("demo", "Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOption(
        QCommandLineOption(u"roles"_s,
                           QCoreApplication::translate("demo",
                                                       "Keeps roles beside the users: a role "
                                                       "grants its rights to its members, and "
                                                       "\"Supervisor\" manages the roles in "
                                                       "the user management dialog.")));
    // Options unknown here belong to the toolkit: not an error.
    (void)parser.parse(QCoreApplication::arguments());
    if (parser.isSet(version) && !parser.isSet(help)) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
    } else {
        std::fputs(qPrintable(parser.helpText()), stdout);
    }
    return 0;
}

} // namespace

bool displayAvailable(QString *message)
{
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM").section(u':', 0, 0).trimmed();
    const QString display = qEnvironmentVariable("DISPLAY");
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");

    QString problem;
    if (platform.isEmpty()) {
        if (wayland)
            return true;
        if (display.isEmpty())
            problem = u"no display: neither DISPLAY nor WAYLAND_DISPLAY is set"_s;
        else if (x11DisplayReachable(display, &problem))
            return true;
    } else if (platform == u"xcb"_s) {
        if (display.isEmpty())
            problem = u"QT_QPA_PLATFORM is xcb, but DISPLAY is not set"_s;
        else if (x11DisplayReachable(display, &problem))
            return true;
    } else if (platform.startsWith(u"wayland"_s)) {
        if (wayland)
            return true;
        problem = u"QT_QPA_PLATFORM is %1, but WAYLAND_DISPLAY is not set"_s.arg(platform);
    } else {
        // offscreen, minimal, vnc, eglfs, linuxfb...: the platform needs no display server.
        return true;
    }

    if (message) {
        *message = u"rightsmith-demo: %1.\n"
                   "Rightsmith Demo is a desktop program and needs a window system. On a machine\n"
                   "without one, run it under a virtual X server:\n"
                   "    xvfb-run -a rightsmith-demo\n"_s.arg(problem);
    }
    return false;
}

DemoSession::DemoSession()
{
    Q_ASSERT(!s_current);
    s_current = this;
}

DemoSession::~DemoSession()
{
    shutdown();
    if (s_current == this)
        s_current = nullptr;
}

DemoSession *DemoSession::current()
{
    return s_current;
}

bool DemoSession::start()
{
    // A new run of the program: an earlier session's request to end is gone.
    rightsmith::toolkit::clearTermination();
    rightsmith::toolkit::IdleUpdater::install();
    if (rightsmith::toolkit::Application *app = rightsmith::toolkit::Application::instance())
        app->setTitle(applicationTitle());
    else
        rightsmith::toolkit::setApplicationTitle(applicationTitle());
    QGuiApplication::setWindowIcon(QIcon(programIconPath()));

    // Loading the frame runs the logon; when it is refused the application
    // has been asked to end, but start-up goes on to its end regardless.
    m_mainForm = new Main::TMainForm();
    if (rightsmith::toolkit::Application *app = rightsmith::toolkit::Application::instance())
        app->addForm(m_mainForm);
    m_aboutBox = new About::TAboutBox();
    return !rightsmith::toolkit::terminationRequested();
}

Main::TMainForm *DemoSession::mainForm() const
{
    return m_mainForm.data();
}

About::TAboutBox *DemoSession::aboutBox() const
{
    return m_aboutBox.data();
}

QList<Childwin::TMDIChild *> DemoSession::documentWindows() const
{
    QList<Childwin::TMDIChild *> windows;
    for (const QPointer<Childwin::TMDIChild> &window : m_documents) {
        if (window)
            windows.append(window.data());
    }
    return windows;
}

void DemoSession::adopt(Childwin::TMDIChild *window)
{
    m_documents.removeAll(nullptr);
    if (window && !m_documents.contains(window))
        m_documents.append(window);
}

void DemoSession::shutdown()
{
    // Newest first, so every document window unregisters from the frame's
    // security component before the frame goes.
    const QList<Childwin::TMDIChild *> windows = documentWindows();
    for (auto it = windows.crbegin(); it != windows.crend(); ++it)
        delete *it;
    m_documents.clear();
    delete m_aboutBox.data();
    delete m_mainForm.data();
}

QByteArray storedSecurityProperty(const QString &name)
{
    initDemoBlobs();
    if (name != u"evTree"_s && name != u"evImage"_s)
        return {};
    QFile file(u":/demo/zkSecurity1/"_s + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

About::TAboutBox *aboutBox()
{
    return s_current ? s_current->aboutBox() : nullptr;
}

void adoptDocumentWindow(Childwin::TMDIChild *window)
{
    if (s_current)
        s_current->adopt(window);
}

int runDemo(int &argc, char **argv)
{
    if (onlyPrints(argc, argv))
        return printInformation(argc, argv);

    QString message;
    if (!displayAvailable(&message)) {
        std::fputs(message.toLocal8Bit().constData(), stderr);
        return 2;
    }

    rightsmith::toolkit::Application app(argc, argv);
    rightsmith::installTranslations();
    rightsmith::installWidgets();
    DemoSession session;
    try {
        session.start();
    } catch (const std::exception &error) {
        // An error while the frame loads: shown, and the program ends.
        rightsmith::toolkit::Application::handleException(error);
        session.shutdown();
        return 1;
    }
    const int exitCode = app.run();
    session.shutdown();
    return exitCode;
}

} // namespace demo
