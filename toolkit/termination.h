// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

namespace rightsmith::toolkit {

/// Asks the application to end. A running main loop ends (with every nested
/// loop inside it); asked before the loop runs (a refused logon while the
/// main form loads), rightsmith::toolkit::Application::run() returns at once. The request
/// is sticky: it stays until clearTermination().
RIGHTSMITH_CORE_EXPORT void terminateApplication();
/// Whether terminateApplication() was called since the last clearTermination().
RIGHTSMITH_CORE_EXPORT bool terminationRequested();
/// Forgets the request (a new application object starts without one).
RIGHTSMITH_CORE_EXPORT void clearTermination();

} // namespace rightsmith::toolkit
