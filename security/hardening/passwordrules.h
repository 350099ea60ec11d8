// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QByteArray>
#include <QString>

namespace zkSecurity {

/// Rules a new password must keep; off by default, and then every password
/// is accepted as it always was. Passwords are the bytes of the code page,
/// which has one byte per character: a length counts the characters typed.
struct RIGHTSMITH_CORE_EXPORT PasswordRules
{
    /// Whether the rules are on.
    bool enabled = false;
    /// The fewest characters a password may have (at least one: an empty
    /// password is always refused while the rules are on).
    int minimumLength = 8;

    /// Empty when \a password keeps every rule (or the rules are off);
    /// otherwise the message that says which rule it breaks, checked in this
    /// order: not empty, at least minimumLength characters, not the user
    /// name \a userName (compared ignoring case: a name with other capitals
    /// is as easy to guess, although names themselves compare exactly).
    QString check(const QByteArray &password, const QByteArray &userName) const;
};

} // namespace zkSecurity
