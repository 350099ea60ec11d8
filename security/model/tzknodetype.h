// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include <QtGlobal>

namespace zkSecurity {

/// Classification of a template node.
enum TzkNodeType : quint8 {
    /// No node.
    ntNone = 0,
    /// A user's password node (a childless first-level node).
    ntPassword = 1,
    /// A right (a record with a SecurityId of at least 1).
    ntRight = 2,
    /// A category, or a user's "Rights" node: no SecurityId.
    ntGroup = 3,
    /// A user other than "Supervisor" (in a security template: any top-level node).
    ntUser = 4,
    /// The user "Supervisor".
    ntSupervisor = 5,
    /// A right of "Supervisor".
    ntSupervisorRight = 6,
};

} // namespace zkSecurity
