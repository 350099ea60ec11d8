// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QString>

namespace About {
class TAboutBox;
}
namespace Childwin {
class TMDIChild;
}
namespace Main {
class TMainForm;
}

/// The program entry of Rightsmith Demo, in pieces that a test can drive.
namespace demo {

/// Whether a window system can be reached, judged from QT_QPA_PLATFORM,
/// DISPLAY and WAYLAND_DISPLAY before any application object exists (Qt
/// aborts when it cannot connect). When there is none, \a message tells how
/// to run the program instead.
bool displayAvailable(QString *message);

/// The demo from start-up to shutdown. At most one exists at a time.
class DemoSession
{
public:
    DemoSession();
    ~DemoSession(); // shutdown()
    DemoSession(const DemoSession &) = delete;
    DemoSession &operator=(const DemoSession &) = delete;

    /// The session alive now, or nullptr.
    static DemoSession *current();

    /// Start-up: sets the application title, creates MainForm (loading it
    /// runs the security component's start-up: users read, logon dialog) and
    /// AboutBox, hidden. Returns false when start-up asked the application to
    /// end (the logon was refused). An error while the frame loads passes
    /// through; nothing is left behind then.
    bool start();

    Main::TMainForm *mainForm() const;
    About::TAboutBox *aboutBox() const;
    /// The document windows the application owns, in creation order.
    QList<Childwin::TMDIChild *> documentWindows() const;
    void adopt(Childwin::TMDIChild *window);

    /// Destroys the open document windows (the most recent first), the
    /// About box and then the frame. Nothing is written.
    void shutdown();

private:
    QPointer<Main::TMainForm> m_mainForm;
    QPointer<About::TAboutBox> m_aboutBox;
    QList<QPointer<Childwin::TMDIChild>> m_documents;
};

/// The stored property \a name ("evTree" or "evImage") of the frame's
/// zkSecurity1, as compiled into the program; empty for another name.
QByteArray storedSecurityProperty(const QString &name);

/// The About box of the running demo (nullptr before start-up and after shutdown).
About::TAboutBox *aboutBox();
/// Gives \a window to the application, which destroys it at shutdown if it is still open.
void adoptDocumentWindow(Childwin::TMDIChild *window);

/// The whole program: answers --help and --version without a display or a
/// store, otherwise checks for a display, starts the toolkit, runs the
/// session and its main loop, and returns the process exit code.
int runDemo(int &argc, char **argv);

} // namespace demo
