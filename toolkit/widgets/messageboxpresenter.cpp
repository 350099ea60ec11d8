// Shows the core's message boxes with QMessageBox. Registered when the library
// is loaded, so that the widget-free core needs no QtWidgets.
#include "toolkit/messagebox.h"

#include <QApplication>
#include <QMessageBox>

namespace rightsmith::toolkit {

namespace {

bool presentWithMessageBox(MessageKind kind, const QString &text)
{
    // QMessageBox needs a QApplication; a QGuiApplication or no application
    // at all gets the console instead of a crash.
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return presentOnConsole(kind, text);

    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QGuiApplication::applicationDisplayName());
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    if (kind == MessageKind::Question) {
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return true;
}

[[maybe_unused]] const bool registered = [] {
    setMessagePresenter(&presentWithMessageBox);
    return true;
}();

} // namespace

} // namespace rightsmith::toolkit
