// The parts of the security component that need the window system: the claim
// on the owner window, and ending the application after a refused start-up logon.
#include "security/tzksecurity.h"
#include "toolkit/namedclaim.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMetaObject>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace zkSecurity {

bool TzkSecurity::CheckSingleInstance()
{
    auto *owner = qobject_cast<QWidget *>(parent());
    if (!owner)
        return true;
    // winId() creates the native window when there is none yet.
    const WId id = owner->window()->winId();
    // Window identifiers are unique per display only under X11; elsewhere
    // (offscreen, Wayland) every process counts from 1, so the process qualifies the name.
    const bool perProcess = QGuiApplication::platformName() != u"xcb"_s;
    const QByteArray name = toolkit::NamedClaim::nameForWindow(quint64(id), perProcess);
    // A claim that cannot be made at all does not stop the component.
    return m_instanceMapping.acquire(name) != toolkit::NamedClaim::AlreadyHeld;
}

bool TzkSecurity::OwnerIsForm() const
{
    auto *owner = qobject_cast<QWidget *>(parent());
    return owner && owner->isWindow();
}

void TzkSecurity::TerminateApplication()
{
    // Queued, so that it is honoured even when the main loop has not started
    // yet: the loop handles it first thing and ends at once.
    if (QCoreApplication *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
}

} // namespace zkSecurity
