// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QImage>

namespace zkSecurity {

/// Resource names of the five node images, in their order at the head of the
/// security component's image list: user, rights, category, password, checkable.
inline constexpr const char *NodeImageNames[5] = {"TUSER", "THAND", "TCATEGORY", "TPASSWORD",
                                                  "TCHECKABLE"};

/// The node image \a resourceName (e.g. "TUSER") from the library's resources
/// (":/rightsmith/<name>") as a 16x16 ARGB32 image; a null image when no such
/// resource exists.
RIGHTSMITH_CORE_AUTOTEST_EXPORT QImage NodeImage(const char *resourceName);

} // namespace zkSecurity
