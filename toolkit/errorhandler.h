// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <exception>
#include <utility>

namespace rightsmith::toolkit {

/// The application-level handler of an error that reached a slot, a timer or
/// an event handler: by default it shows the error's message (an Error's own
/// message, otherwise what()) with showWarning(). Never throws.
RIGHTSMITH_CORE_EXPORT void handleError(const std::exception &error) noexcept;

/// A handler that handleError() hands \a error to instead of the default.
using ErrorHandler = void (*)(const std::exception &error);
/// Replaces the handler and returns the one before; nullptr restores the default.
RIGHTSMITH_CORE_EXPORT ErrorHandler setErrorHandler(ErrorHandler handler);

/// handleError() for an exception that is not a std::exception.
RIGHTSMITH_CORE_EXPORT void handleUnknownError() noexcept;

/// Runs \a function and hands anything it throws to handleError(): every slot
/// that can throw runs its body through this, as Qt must never see an
/// exception leave a slot.
template<typename Function> void runGuarded(Function &&function) noexcept
{
    try {
        std::forward<Function>(function)();
    } catch (const std::exception &error) {
        handleError(error);
    } catch (...) {
        handleUnknownError();
    }
}

} // namespace rightsmith::toolkit
