// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QByteArray>

#include <optional>

class QObject;

namespace rightsmith::toolkit {

/// A claim on a name that every process of the desktop can see, held from
/// acquire() until the object is destroyed or release() is called. Backed by
/// an abstract-namespace Unix socket, so the kernel drops it when the process
/// dies: a crash never leaves a stale claim.
class RIGHTSMITH_CORE_EXPORT NamedClaim
{
public:
    NamedClaim() = default;
    ~NamedClaim();
    NamedClaim(const NamedClaim &) = delete;
    NamedClaim &operator=(const NamedClaim &) = delete;

    /// What acquire() did.
    enum Result { Acquired, AlreadyHeld, Failed };
    /// Tries to take \a name (1 to 107 bytes). AlreadyHeld when another holder
    /// (in any process, or another NamedClaim of this one) has it; Failed when
    /// the name is empty or too long, or the system refuses. A claim already
    /// held by this object is released first.
    Result acquire(const QByteArray &name);
    /// Gives the claim up; nothing when none is held.
    void release();
    /// Whether this object holds a claim.
    bool isHeld() const { return m_fd >= 0; }
    /// The name held; empty when none is.
    QByteArray name() const { return m_name; }

    /// The claim name for a window identifier: "rightsmith-window-" and its
    /// decimal text. X11 window identifiers are unique only per display, so
    /// \a display (e.g. the DISPLAY value), when given, is appended after "@".
    /// With \a perProcess, for platforms whose identifiers are per process
    /// (offscreen, Wayland: 1, 2, 3 in every process), "-pid" and the process
    /// id follow.
    static QByteArray nameForWindow(quint64 windowId, bool perProcess,
                                    const QByteArray &display = {});

    /// The claim name for the window of \a owner, a component's owner: the
    /// identifier of its top-level window (created if it has none yet),
    /// qualified as the platform needs. nullopt when \a owner is not a widget
    /// (nothing to claim) or no window system is installed (see windowsystem.h).
    static std::optional<QByteArray> nameForOwner(const QObject *owner);

private:
    int m_fd = -1;
    QByteArray m_name;
};

} // namespace rightsmith::toolkit
