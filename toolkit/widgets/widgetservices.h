// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithwidgets_export.h"

namespace rightsmith::toolkit {

/// Installs what the widget-free core cannot do itself: message boxes with
/// QMessageBox, the window system's answers about a component's owner
/// (top-level window identifier, whether it is a form), and actions bound to
/// widgets and menu items. Application's constructor calls it; a program
/// with a plain QApplication calls it once after creating it. Calling it
/// again changes nothing.
RIGHTSMITH_WIDGETS_EXPORT void installWidgetServices();

} // namespace rightsmith::toolkit
