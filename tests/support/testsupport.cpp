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

TemporaryHome::TemporaryHome()
    : m_oldConfig(qgetenv("XDG_CONFIG_HOME"))
    , m_oldHome(qgetenv("HOME"))
    , m_oldCurrent(QDir::currentPath())
{
    QDir(m_dir.path()).mkpath(QStringLiteral("config"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
    qputenv("HOME", QFile::encodeName(m_dir.path()));
    QDir::setCurrent(m_dir.path());
}

TemporaryHome::~TemporaryHome()
{
    QDir::setCurrent(m_oldCurrent);
    qputenv("XDG_CONFIG_HOME", m_oldConfig);
    qputenv("HOME", m_oldHome);
}

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
