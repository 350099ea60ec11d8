// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QByteArray>

namespace zkCript {

/// Turns a password into the form in which it is stored and compared, and back.
/// A reversible position-wise byte shift by a fixed key, not a cipher: it only
/// keeps passwords from standing in plain text. Every stored password depends on
/// the exact rule, so it must never change.
class RIGHTSMITH_CORE_EXPORT TCripter
{
public:
    /// Shifts byte p (counted from 1) up by key byte (p mod 16); positions that are
    /// multiples of 16 pass unchanged. Same length as \a text; never fails.
    static QByteArray Scramble(const QByteArray &text);
    /// Undoes Scramble() for every text.
    static QByteArray Unscramble(const QByteArray &scrambled);
};

} // namespace zkCript
