// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/messagebox.h"

#include "toolkit/logging_p.h"

#include <QLoggingCategory>

using rightsmith::logging::lcMessages;

namespace rightsmith::toolkit {

namespace {

MessageHook &messageHook()
{
    static MessageHook hook;
    return hook;
}

MessagePresenter s_presenter = nullptr;

QString &title()
{
    static QString value;
    return value;
}

bool present(MessageKind kind, const QString &text)
{
    // A copy, so that a hook that replaces itself stays alive while it runs.
    if (const MessageHook hook = messageHook())
        return hook(kind, text);
    if (s_presenter)
        return s_presenter(kind, text);
    return presentOnConsole(kind, text);
}

} // namespace

QString applicationTitle()
{
    return title();
}

void setApplicationTitle(const QString &value)
{
    title() = value;
}

void showMessage(const QString &text)
{
    present(MessageKind::Information, text);
}

void showWarning(const QString &text)
{
    present(MessageKind::Warning, text);
}

bool askYesNo(const QString &text)
{
    return present(MessageKind::Question, text);
}

MessageHook setMessageHook(MessageHook hook)
{
    MessageHook previous = std::move(messageHook());
    messageHook() = std::move(hook);
    return previous;
}

void setMessagePresenter(MessagePresenter presenter)
{
    s_presenter = presenter;
}

bool presentOnConsole(MessageKind kind, const QString &text)
{
    if (kind == MessageKind::Question)
        qCWarning(lcMessages, "[question, answered No] %ls", qUtf16Printable(text));
    else
        qCWarning(lcMessages, "%ls", qUtf16Printable(text));
    return false;
}

} // namespace rightsmith::toolkit
