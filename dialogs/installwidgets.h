// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithwidgets_export.h"

namespace rightsmith {

/// Plugs the widget library into the widget-free core: message boxes, the
/// window system's answers about owners, widget and menu bindings
/// (rightsmith::toolkit::installWidgetServices()), and the security
/// component's logon and user management dialogs. Call it once after
/// creating the QApplication (or rightsmith::toolkit::Application), before
/// the first security component loads. Calling it again changes nothing.
RIGHTSMITH_WIDGETS_EXPORT void installWidgets();

} // namespace rightsmith
