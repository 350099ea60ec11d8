#pragma once

#include "dialogs/installwidgets.h"
#include "support/temporaryhome.h"

#include <QApplication>
#include <QTest>

#include <functional>

class QWidget;

namespace testsupport {

/// Answers the next modal widget (dialog or message box) that becomes active:
/// polls QApplication::activeModalWidget() from a timer and calls \a answer
/// with it once. Returns at once; the answer runs inside the modal loop.
/// \a timeoutMs later, a still-open modal widget is rejected so a failed check
/// never hangs the test.
void answerNextModal(std::function<void(QWidget *modal)> answer, int timeoutMs = 10000);

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
