#include "toolkit/messagebox.h"

#include <cstdio>

namespace rightsmith::toolkit {

namespace {

MessageHook &messageHook()
{
    static MessageHook hook;
    return hook;
}

// Constant-initialized, so a static initializer of the widget part may set it
// whatever the order of initialization.
MessagePresenter s_presenter = nullptr;

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

void showMessage(const QString &text)
{
    present(MessageKind::Information, text);
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
    const QByteArray local = text.toLocal8Bit();
    std::fprintf(stderr, "%s%s\n", kind == MessageKind::Question ? "[question, answered No] " : "",
                 local.constData());
    return false;
}

} // namespace rightsmith::toolkit
