// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

// Internal to the core and its tools: not installed.

#include "rightsmithcore_export.h"

#include <QByteArray>
#include <QList>

class QIODevice;

namespace zkSecurity {

/// The texts of the top-level nodes (in a user template, the user names) of
/// the template stream in \a stream, read from its position 0 in pieces of
/// bounded size: no tree, no records and no copy of the whole stream are
/// made. A damaged stream fails exactly where, and with the same error as,
/// TzkSecurityTemplate::LoadFromStreamSecurity would: the version stamp, a
/// short stream, a line too deep, a record that names no node.
RIGHTSMITH_CORE_AUTOTEST_EXPORT QList<QByteArray> templateTopLevelTexts(QIODevice &stream);

} // namespace zkSecurity
