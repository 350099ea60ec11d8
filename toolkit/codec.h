// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace rightsmith::toolkit {

/// The one codec pair between the core's 8-bit byte strings and QString.
/// The code page defaults to Windows-1252, what stores written on Windows in
/// Western locales hold. Decoding never fails (bytes without a character in
/// Windows-1252 map to the C1 control of the same value, as Windows does);
/// encoding refuses characters the code page cannot represent, so two
/// different names can never become the same bytes.
class RIGHTSMITH_CORE_EXPORT Codec
{
public:
    /// The code pages the core's byte strings can be in.
    enum CodePage { Windows1252, Latin1 };

    /// The process's code page (Windows1252 unless setCodePage() chose another).
    static CodePage codePage();
    /// Chooses the code page for the whole process. Meant to be called once at
    /// start-up, before any conversion; the setting is not guarded for threads.
    static void setCodePage(CodePage codePage);

    /// \a bytes decoded from the code page; never fails.
    static QString toUnicode(const QByteArray &bytes);
    /// nullopt when a character of \a text has no byte in the code page.
    static std::optional<QByteArray> fromUnicode(const QString &text);
    /// Whether every character of \a text has a byte in the code page.
    static bool canEncode(const QString &text);
    /// Like fromUnicode(), but throws rightsmith::toolkit::Error naming the first
    /// character that cannot be stored.
    static QByteArray fromUnicodeChecked(const QString &text);
    /// The message fromUnicodeChecked() throws for \a text (empty when it encodes).
    static QString unencodableMessage(const QString &text);
};

/// Removes leading and trailing bytes with codes 0 to 32.
RIGHTSMITH_CORE_EXPORT QByteArray trimControl(const QByteArray &bytes);

} // namespace rightsmith::toolkit
