// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QtGlobal>

#include <optional>

class QObject;

namespace rightsmith::toolkit {

/// What the widget-free core asks the window system about a component's
/// owner. The widget library installs the answers (installWidgetServices());
/// until then no owner has a window and none is a form, and tests install
/// their own.
struct RIGHTSMITH_CORE_EXPORT WindowSystem
{
    /// The identifier of the top-level window of \a owner (created if it has
    /// none yet), or nullopt when \a owner is not a widget.
    std::optional<quint64> (*topLevelWindowId)(const QObject *owner) = nullptr;
    /// Whether \a owner is a form: a top-level widget.
    bool (*isForm)(const QObject *owner) = nullptr;
};

/// Installs \a system and returns the one it replaces.
RIGHTSMITH_CORE_EXPORT WindowSystem setWindowSystem(const WindowSystem &system);

/// The identifier of the top-level window of \a owner, as the installed
/// window system answers; nullopt when it has none or none is installed.
RIGHTSMITH_CORE_EXPORT std::optional<quint64> topLevelWindowId(const QObject *owner);
/// Whether \a owner is a form, as the installed window system answers; false without one.
RIGHTSMITH_CORE_EXPORT bool isForm(const QObject *owner);

} // namespace rightsmith::toolkit
