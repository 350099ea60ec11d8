// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include <QtGlobal>

namespace zkSecurity {

/// Classification of a template node.
enum TzkNodeType : quint8 {
    ntNone = 0,
    ntPassword = 1,
    ntRight = 2,
    ntGroup = 3,
    ntUser = 4,
    ntSupervisor = 5,
    ntSupervisorRight = 6,
};

} // namespace zkSecurity
