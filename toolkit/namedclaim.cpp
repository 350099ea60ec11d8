// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/namedclaim.h"

#include "toolkit/windowsystem.h"

#include <QGuiApplication>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace rightsmith::toolkit {

namespace {

constexpr QByteArrayView NamePrefix = "rightsmith-window-";

// Constant-initialized; set by a static initializer of the widget part.

} // namespace

NamedClaim::~NamedClaim()
{
    release();
}

NamedClaim::Result NamedClaim::acquire(const QByteArray &name)
{
    release();

    sockaddr_un address {};
    // The abstract namespace: sun_path starts with a zero byte and the name
    // is exactly the bytes that follow, up to the length given to bind().
    constexpr qsizetype MaxName = qsizetype(sizeof(address.sun_path)) - 1;
    if (name.isEmpty() || name.size() > MaxName)
        return Failed;

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return Failed;

    address.sun_family = AF_UNIX;
    address.sun_path[0] = '\0';
    std::memcpy(address.sun_path + 1, name.constData(), size_t(name.size()));
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(name.size()));
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), length) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EADDRINUSE ? AlreadyHeld : Failed;
    }
    m_fd = fd;
    m_name = name;
    return Acquired;
}

void NamedClaim::release()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_name.clear();
}

QByteArray NamedClaim::nameForWindow(quint64 windowId, bool perProcess, const QByteArray &display)
{
    QByteArray name = NamePrefix.toByteArray() + QByteArray::number(windowId);
    if (!display.isEmpty())
        name += '@' + display;
    if (perProcess)
        name += "-pid" + QByteArray::number(qint64(::getpid()));
    return name;
}

std::optional<QByteArray> NamedClaim::nameForOwner(const QObject *owner)
{
    const std::optional<quint64> id = topLevelWindowId(owner);
    if (!id)
        return std::nullopt;
    // Only X11 gives identifiers that other processes can see; elsewhere
    // (offscreen, Wayland, ...) they start again in every process.
    if (QGuiApplication::platformName() == u"xcb")
        return nameForWindow(*id, false, qgetenv("DISPLAY"));
    return nameForWindow(*id, true);
}

} // namespace rightsmith::toolkit
