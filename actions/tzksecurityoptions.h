// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include <QtGlobal>

namespace zkActnLst {

/// What a protected action list does with an action the user may not use.
enum TzkSecurityOptionsRoot : quint8 {
    /// Disable the action.
    sorSetDisabledOnFail = 0,
    /// Hide the action.
    sorSetInvisibleOnFail = 1,
    /// Leave it enabled, and refuse to execute it with its DisabledMessage.
    sorShowMessageOnFail = 2,
};

/// The same choice for one action; soParent takes the list's option.
enum TzkSecurityOptions : quint8 {
    /// Disable the action.
    soSetDisabledOnFail = 0,
    /// Hide the action.
    soSetInvisibleOnFail = 1,
    /// Leave it enabled, and refuse to execute it with its DisabledMessage.
    soShowMessageOnFail = 2,
    /// Do what the list's option says.
    soParent = 3,
};

} // namespace zkActnLst
