// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

// Errors thrown by what a slot runs reach the application-level handler and
// never Qt's event loop.
#include "toolkit/action.h"
#include "toolkit/error.h"
#include "toolkit/errorhandler.h"
#include "toolkit/messagebox.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace rightsmith::toolkit;

namespace {

QStringList s_handled;

void recordError(const std::exception &error)
{
    const auto *known = dynamic_cast<const Error *>(&error);
    s_handled.append(known ? known->message() : QString::fromLatin1(error.what()));
}

} // namespace

TEST(ErrorHandler, ATriggeredActionThatThrowsReachesTheHandler)
{
    s_handled.clear();
    const ErrorHandler previous = setErrorHandler(&recordError);
    Action action;
    action.setOnExecute([](Action *) { throw Error(u"Stream read error"_s); });
    action.trigger(); // must not throw through the signal
    action.setOnExecute([](Action *) { throw std::runtime_error("plain"); });
    action.trigger();
    action.setOnExecute([](Action *) { throw 42; });
    action.trigger();
    setErrorHandler(previous);
    EXPECT_EQ(s_handled,
              (QStringList {u"Stream read error"_s, u"plain"_s, u"Unknown exception"_s}));
}

TEST(ErrorHandler, TheDefaultShowsTheMessageAsAWarning)
{
    QList<std::pair<MessageKind, QString>> shown;
    const MessageHook previous = setMessageHook([&](MessageKind kind, const QString &text) {
        shown.append({kind, text});
        return true;
    });
    handleError(Error(u"Version mismatch. Cannot continue"_s));
    handleError(std::runtime_error("plain"));
    handleUnknownError();
    setMessageHook(previous);
    const QList<std::pair<MessageKind, QString>> expected {
        {MessageKind::Warning, u"Version mismatch. Cannot continue"_s},
        {MessageKind::Warning, u"plain"_s},
        {MessageKind::Warning, u"Unknown exception"_s}};
    EXPECT_EQ(shown, expected);
}
