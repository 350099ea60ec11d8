// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/errorhandler.h"

#include "toolkit/error.h"
#include "toolkit/logging_p.h"
#include "toolkit/messagebox.h"

#include <QCoreApplication>
#include <QLoggingCategory>

using rightsmith::logging::lcErrors;

namespace rightsmith::toolkit {

namespace {

void showError(const std::exception &error)
{
    if (const auto *known = dynamic_cast<const Error *>(&error))
        showWarning(known->message());
    else
        showWarning(QString::fromLocal8Bit(error.what()));
}

ErrorHandler s_handler = nullptr;

} // namespace

void handleError(const std::exception &error) noexcept
{
    try {
        (s_handler ? s_handler : &showError)(error);
    } catch (...) {
        // Showing the message failed in turn: it must still not escape.
        qCCritical(lcErrors, "%s", error.what());
    }
}

void handleUnknownError() noexcept
{
    handleError(Error(
        QCoreApplication::translate("rightsmith::toolkit::Application", "Unknown exception")));
}

ErrorHandler setErrorHandler(ErrorHandler handler)
{
    const ErrorHandler previous = s_handler;
    s_handler = handler;
    return previous;
}

} // namespace rightsmith::toolkit
