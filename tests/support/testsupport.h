// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#pragma once

#include "dialogs/installwidgets.h"
#include "support/temporaryhome.h"

#include <QApplication>
#include <QStringList>
#include <QTest>

#include <functional>

class QDialog;
class QWidget;

namespace testsupport {

/// Answers the next modal widget (dialog or message box) that becomes active:
/// polls QApplication::activeModalWidget() from a timer and calls \a answer
/// with it once. Returns at once; the answer runs inside the modal loop.
/// \a timeoutMs later, a still-open modal widget is rejected so a failed check
/// never hangs the test.
void answerNextModal(std::function<void(QWidget *modal)> answer, int timeoutMs = 10000);

/// \a caption as a button or label shows it: the "&" that marks a mnemonic
/// left out, "&&" shown as "&".
QString shownText(const QString &caption);

/// What is amiss with the keyboard in \a window, which it shows and
/// activates; empty when nothing is. Tab from the focus visits the enabled
/// controls in exactly \a tabOrder (object names) and comes back to the
/// first, and every control has an accessible name.
QStringList tabWalkProblems(QWidget *window, const QStringList &tabOrder);
/// As tabWalkProblems(), and also: every button and every label has a
/// mnemonic of its own (a label, for the field it names; every field has
/// one), and Alt with its letter reaches the button (which is not pressed)
/// or moves the focus to the field.
QStringList keyboardProblems(QDialog *dialog, const QStringList &tabOrder);

} // namespace testsupport

/// QTEST_MAIN with the widget library installed, as a program has it.
#define RIGHTSMITH_TEST_MAIN(TestObject)                                                           \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        rightsmith::installWidgets();                                                              \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
