// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "rightsmithcore_export.h"

#include <QString>

#include <functional>

namespace rightsmith::toolkit {

/// Message boxes for the core, titled with the application's title. The
/// widget part of the library shows them with QMessageBox; a hook lets tests
/// (and applications without widgets) answer them instead. A Warning is a
/// message about something that failed (an error the handler reports); it
/// differs from an Information message only in its icon.
enum class MessageKind { Information, Question, Warning };

/// The title message boxes carry: the application's title. It is kept apart
/// from the application display name, which Qt appends to every window caption.
RIGHTSMITH_CORE_EXPORT QString applicationTitle();
/// Sets applicationTitle().
RIGHTSMITH_CORE_EXPORT void setApplicationTitle(const QString &title);

/// Shows \a text in a message box with one OK button.
RIGHTSMITH_CORE_EXPORT void showMessage(const QString &text);
/// Shows \a text as showMessage() does, marked as a warning.
RIGHTSMITH_CORE_EXPORT void showWarning(const QString &text);
/// Asks \a text with Yes and No; true for Yes.
RIGHTSMITH_CORE_EXPORT bool askYesNo(const QString &text);

/// A hook receives every message and question; for a question it returns the
/// answer. Returns the previous hook. An empty hook restores the default.
using MessageHook = std::function<bool(MessageKind kind, const QString &text)>;
/// Sets \a hook and returns the previous one; an empty hook restores the default.
RIGHTSMITH_CORE_EXPORT MessageHook setMessageHook(MessageHook hook);

/// How messages are shown when no hook is set. The widget library installs a
/// QMessageBox presenter (installWidgetServices()); without one, messages go
/// to the log (category "rightsmith.messages") and every question is answered No.
using MessagePresenter = bool (*)(MessageKind kind, const QString &text);
/// Installs \a presenter; nullptr leaves messages to presentOnConsole().
RIGHTSMITH_CORE_EXPORT void setMessagePresenter(MessagePresenter presenter);
/// The fallback: logs \a text as a warning; answers No.
RIGHTSMITH_CORE_EXPORT bool presentOnConsole(MessageKind kind, const QString &text);

} // namespace rightsmith::toolkit
