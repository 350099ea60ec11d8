// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

// The logging categories of the library, one place for all of them; turn one
// on with QT_LOGGING_RULES, e.g. "rightsmith.store.debug=true". Internal: not
// installed.

#include <QLoggingCategory>

namespace rightsmith::logging {

/// Errors the error handler reports.
Q_DECLARE_LOGGING_CATEGORY(lcErrors)
/// Messages shown to the user, also when no one can see them.
Q_DECLARE_LOGGING_CATEGORY(lcMessages)
/// Dialogs the security component runs and what they decide.
Q_DECLARE_LOGGING_CATEGORY(lcSecurity)
/// The user store, local and shared.
Q_DECLARE_LOGGING_CATEGORY(lcStore)
/// Failed logons and the audit trail.
Q_DECLARE_LOGGING_CATEGORY(lcLedger)
/// Logon checks.
Q_DECLARE_LOGGING_CATEGORY(lcLogon)
/// Which translations are loaded, from where.
Q_DECLARE_LOGGING_CATEGORY(lcTranslations)

} // namespace rightsmith::logging
