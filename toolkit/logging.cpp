// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/logging_p.h"

namespace rightsmith::logging {

Q_LOGGING_CATEGORY(lcErrors, "rightsmith.errors")
Q_LOGGING_CATEGORY(lcMessages, "rightsmith.messages")
Q_LOGGING_CATEGORY(lcSecurity, "rightsmith.security")
Q_LOGGING_CATEGORY(lcStore, "rightsmith.store")
Q_LOGGING_CATEGORY(lcLedger, "rightsmith.ledger")
Q_LOGGING_CATEGORY(lcLogon, "rightsmith.logon")
// Which file was loaded is of interest only when looking for a fault.
Q_LOGGING_CATEGORY(lcTranslations, "rightsmith.translations", QtInfoMsg)

} // namespace rightsmith::logging
