// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include <QtGlobal>

namespace zkActnLst {

/// What a protected action list does with an action the user may not use.
enum TzkSecurityOptionsRoot : quint8 {
    sorSetDisabledOnFail = 0,
    sorSetInvisibleOnFail = 1,
    sorShowMessageOnFail = 2,
};

/// The same choice for one action; soParent takes the list's option.
enum TzkSecurityOptions : quint8 {
    soSetDisabledOnFail = 0,
    soSetInvisibleOnFail = 1,
    soShowMessageOnFail = 2,
    soParent = 3,
};

} // namespace zkActnLst
