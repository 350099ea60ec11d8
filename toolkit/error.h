// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QString>

#include <stdexcept>

namespace rightsmith::toolkit {

/// A configuration error carrying one of the system's fixed English messages
/// ("Version mismatch. Cannot continue", "Stream read error", ...).
/// Thrown by the core; never let through Qt's event loop: rightsmith::toolkit::Application
/// catches it and shows the message.
class RIGHTSMITH_CORE_EXPORT Error : public std::runtime_error
{
public:
    /// An error with the user-visible \a message.
    explicit Error(const QString &message);

    /// The message as the user sees it.
    QString message() const { return m_message; }

private:
    QString m_message;
};

/// Raised where an object is taken as a class it does not belong to.
/// Message: "Invalid type cast".
class RIGHTSMITH_CORE_EXPORT InvalidCast : public Error
{
public:
    InvalidCast();
};

} // namespace rightsmith::toolkit
