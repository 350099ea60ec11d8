// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include <rightsmith/version.h>

namespace rightsmith {

const char *version() noexcept
{
    return RIGHTSMITH_VERSION_STRING;
}

} // namespace rightsmith
