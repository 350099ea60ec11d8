#pragma once

#include <QByteArray>

namespace toolkit {

/// A claim on a name that every process of the desktop can see, held from
/// acquire() until the object is destroyed or release() is called. Backed by
/// an abstract-namespace Unix socket, so the kernel drops it when the process
/// dies: a crash never leaves a stale claim.
class NamedClaim
{
public:
    NamedClaim() = default;
    ~NamedClaim();
    NamedClaim(const NamedClaim &) = delete;
    NamedClaim &operator=(const NamedClaim &) = delete;

    enum Result { Acquired, AlreadyHeld, Failed };
    /// Tries to take \a name. AlreadyHeld when another holder (in any process) has it.
    Result acquire(const QByteArray &name);
    void release();
    bool isHeld() const { return m_fd >= 0; }

    /// The claim name for a window identifier: its decimal text, qualified
    /// with the process id on platforms whose identifiers are per-process.
    static QByteArray nameForWindow(quint64 windowId, bool perProcess);

private:
    int m_fd = -1;
};

} // namespace toolkit
