#pragma once

// libsodium for the security subsystem. Internal: not installed.

#include <sodium.h>

namespace zkSecurity {

/// Initialises libsodium once, before its first use (it picks its fastest
/// code then); false when it cannot be used, and whatever depends on it for
/// secrecy must then fail closed.
inline bool useSodium()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

} // namespace zkSecurity
