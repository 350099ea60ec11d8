// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include <QString>

namespace zkSecurity {

struct UserStoreSettings;

/// \a text quoted for a POSIX shell: in single quotes, each ' written as '\''.
QString shellQuoted(const QString &text);

/// The rightsmith-users command line that works on the store of \a settings,
/// ready to copy, followed by \a command (e.g. "verify"): its --key, its file
/// (absolute) in file mode, or its shared store's address without a password.
QString toolCommand(const UserStoreSettings &settings, const QString &command);

/// The rightsmith-users command that makes (or, with \a upgrade, brings up to
/// date) the tables of the shared store at \a address, shown without a password.
QString initStoreCommand(const QString &address, bool upgrade = false);

} // namespace zkSecurity
