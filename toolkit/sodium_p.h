// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

// libsodium, initialised once for whatever uses it. Internal: not installed.

#include <sodium.h>

namespace rightsmith::toolkit {

/// Initialises libsodium once, before its first use (it picks its fastest
/// code then); false when it cannot be used, and whatever depends on it for
/// secrecy must then fail closed.
inline bool useSodium()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

} // namespace rightsmith::toolkit
