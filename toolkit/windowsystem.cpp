// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/windowsystem.h"

namespace rightsmith::toolkit {

namespace {

WindowSystem s_windowSystem;

} // namespace

WindowSystem setWindowSystem(const WindowSystem &system)
{
    const WindowSystem previous = s_windowSystem;
    s_windowSystem = system;
    return previous;
}

std::optional<quint64> topLevelWindowId(const QObject *owner)
{
    if (!owner || !s_windowSystem.topLevelWindowId)
        return std::nullopt;
    return s_windowSystem.topLevelWindowId(owner);
}

bool isForm(const QObject *owner)
{
    return owner && s_windowSystem.isForm && s_windowSystem.isForm(owner);
}

} // namespace rightsmith::toolkit
