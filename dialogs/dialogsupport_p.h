// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "toolkit/action.h"

#include <QByteArray>
#include <QString>

#include <optional>

class QAbstractButton;
class QDialog;
class QDialogButtonBox;
class QLineEdit;
class QPushButton;
class QWidget;

/// Small pieces the security dialogs share.
namespace rightsmith::dialogsupport {

/// Bytes of \a text in the code page, or nullopt when a character has none.
/// The edits refuse such characters at input, so nullopt means a text set
/// around them, and no comparison may treat it as equal to stored bytes.
std::optional<QByteArray> encoded(const QString &text);
/// \a bytes as text for an edit.
QString decoded(const QByteArray &bytes);

/// Makes \a button follow \a action (caption, enabled, visible, hint) and
/// trigger it when clicked; the idle update pass then runs the action's
/// update handler while the button is visible.
void bindButton(QAbstractButton *button, rightsmith::toolkit::Action *action);

/// A vertical button box on \a parent holding \a ok (accept role) above
/// \a cancel (reject role), for the button column at a dialog's right edge.
/// The box keeps its height and takes the column's width; the caller wires
/// its signals and keeps the tab order it sets.
QDialogButtonBox *okCancelColumn(QWidget *parent, QPushButton *ok, QPushButton *cancel);

/// The OK and Cancel of a dialog's button column, made by okCancelButtons().
struct OkCancelButtons
{
    rightsmith::toolkit::Action *action = nullptr;
    QPushButton *ok = nullptr;
    QPushButton *cancel = nullptr;
    QDialogButtonBox *box = nullptr;
};

/// Makes the action "actOK" with caption \a okText and the handlers given
/// (no update handler when \a onUpdate is empty), the default button "OKBtn"
/// that follows it, and "CancelBtn" with caption \a cancelText, in an
/// okCancelColumn() on \a dialog. OK goes through its action; Cancel rejects
/// \a dialog. The captions come from the caller, in its own translation context.
OkCancelButtons okCancelButtons(QDialog *dialog, const QString &okText, const QString &cancelText,
                                rightsmith::toolkit::Action::Handler onExecute,
                                rightsmith::toolkit::Action::Handler onUpdate = {});

/// A button named \a name for a dialog's button column: never the default
/// button, pressed by Enter when it has the focus.
QPushButton *columnButton(QWidget *parent, const QString &name, const QString &caption);

/// Makes \a edit a password box that shows every character as "*".
void setPasswordEcho(QLineEdit *edit);

/// Gives \a dialog a fixed size of at least \a size (more when the layout
/// needs it) and a dialog border that cannot be resized.
void fixDialogSize(QDialog *dialog, int width, int height);
/// Moves \a widget to the centre of its screen.
void centreOnScreen(QWidget *widget);
/// Centres \a widget on its screen each time it is shown.
void centreWhenShown(QWidget *widget);

} // namespace rightsmith::dialogsupport
