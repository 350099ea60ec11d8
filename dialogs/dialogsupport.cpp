// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "dialogs/dialogsupport_p.h"
#include "toolkit/action.h"
#include "toolkit/codec.h"
#include "toolkit/widgets/idleupdater.h"
#include "toolkit/widgets/widgetbinding.h"

#include <QAbstractButton>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

namespace rightsmith::dialogsupport {

std::optional<QByteArray> encoded(const QString &text)
{
    return toolkit::Codec::fromUnicode(text);
}

QString decoded(const QByteArray &bytes)
{
    return toolkit::Codec::toUnicode(bytes);
}

void bindButton(QAbstractButton *button, toolkit::Action *action)
{
    // The enabling rules are update handlers, which only the idle pass runs;
    // make sure it runs also under a plain QApplication.
    toolkit::IdleUpdater::install();
    toolkit::bindWidget(button, action);
}

QDialogButtonBox *okCancelColumn(QWidget *parent, QPushButton *ok, QPushButton *cancel)
{
    auto *box = new QDialogButtonBox(Qt::Vertical, parent);
    box->setObjectName(QStringLiteral("buttonBox"));
    // Every platform's button order puts accept above reject in a column.
    box->addButton(ok, QDialogButtonBox::AcceptRole);
    box->addButton(cancel, QDialogButtonBox::RejectRole);
    // A vertical box would take all the height it can get and spread its
    // buttons; the column keeps them together at its top instead, as wide as
    // the widest button below them.
    box->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    return box;
}

OkCancelButtons okCancelButtons(QDialog *dialog, const QString &okText, const QString &cancelText,
                                toolkit::Action::Handler onExecute,
                                toolkit::Action::Handler onUpdate)
{
    OkCancelButtons buttons;
    buttons.action = new toolkit::Action(dialog);
    buttons.action->setObjectName(QStringLiteral("actOK"));
    buttons.action->setText(okText);
    if (onUpdate)
        buttons.action->setOnUpdate(std::move(onUpdate));
    buttons.action->setOnExecute(std::move(onExecute));

    buttons.ok = new QPushButton(dialog);
    buttons.ok->setObjectName(QStringLiteral("OKBtn"));
    buttons.ok->setDefault(true);
    bindButton(buttons.ok, buttons.action);

    buttons.cancel = new QPushButton(cancelText, dialog);
    buttons.cancel->setObjectName(QStringLiteral("CancelBtn"));

    buttons.box = okCancelColumn(dialog, buttons.ok, buttons.cancel);
    QObject::connect(buttons.box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

void setPasswordEcho(QLineEdit *edit)
{
    edit->setEchoMode(QLineEdit::Password);
    // The style's own mask character varies; these boxes show "*".
    edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
}

void fixDialogSize(QDialog *dialog, int width, int height)
{
    // The layout may need more room than the nominal size with large fonts.
    const QSize size = dialog->sizeHint().expandedTo(QSize(width, height));
    dialog->setFixedSize(size);
    dialog->setSizeGripEnabled(false);
    dialog->setWindowFlag(Qt::MSWindowsFixedSizeDialogHint, true);
}

void centreOnScreen(QWidget *widget)
{
    QScreen *screen = widget->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = widget->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    widget->move(frame.topLeft());
}

namespace {

class CentreOnShow : public QObject
{
public:
    explicit CentreOnShow(QWidget *widget)
        : QObject(widget)
    {
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && !event->spontaneous() && watched == parent())
            centreOnScreen(static_cast<QWidget *>(watched));
        return false;
    }
};

} // namespace

void centreWhenShown(QWidget *widget)
{
    widget->installEventFilter(new CentreOnShow(widget));
}

QPushButton *columnButton(QWidget *parent, const QString &name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    // No button is the default: Enter closes nothing while the tree has the
    // focus. A button that has the focus is pressed by Enter, as by Space.
    button->setAutoDefault(true);
    button->setDefault(false);
    return button;
}

} // namespace rightsmith::dialogsupport
