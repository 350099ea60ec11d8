// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "dialogs/installwidgets.h"

#include "dialogs/widgetsecurityui_p.h"
#include "toolkit/widgets/widgetservices.h"

namespace rightsmith {

void installWidgets()
{
    toolkit::installWidgetServices();
    static zkSecurity::WidgetSecurityUi ui;
    zkSecurity::SecurityUi::Install(&ui);
}

} // namespace rightsmith
