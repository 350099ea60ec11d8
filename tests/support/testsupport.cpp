#include "support/testsupport.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace testsupport {

void answerNextModal(std::function<void(QWidget *modal)> answer, int timeoutMs)
{
    auto *timer = new QTimer(qApp);
    auto elapsed = std::make_shared<int>(0);
    auto seen = std::make_shared<QPointer<QWidget>>();
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, answer, elapsed, seen, timeoutMs] {
        *elapsed += timer->interval();
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && !*seen) {
            *seen = modal;
            timer->stop();
            timer->deleteLater();
            answer(modal);
            return;
        }
        if (*elapsed >= timeoutMs) {
            timer->stop();
            timer->deleteLater();
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                dialog->reject();
        }
    });
    timer->start();
}

} // namespace testsupport
