// SPDX-FileCopyrightText: The Rightsmith authors
// SPDX-License-Identifier: BSD-3-Clause

#include "toolkit/termination.h"

#include <QCoreApplication>
#include <QPointer>

namespace rightsmith::toolkit {

namespace {
bool s_terminationRequested = false;
// Carries the posted exit; destroying it withdraws the request.
QPointer<QObject> s_pendingExit;
} // namespace

void terminateApplication()
{
    s_terminationRequested = true;
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || s_pendingExit)
        return;
    // Posted rather than called: QCoreApplication::exit() without a running
    // loop would leave a quit standing that ends every later modal exec() at
    // once. Posted, it ends the loop that is running or the next one to run
    // (Application::run() returns at once on the flag anyway). exit(), not
    // quit(): quit() lets windows refuse to close.
    s_pendingExit = new QObject(app);
    QMetaObject::invokeMethod(
        s_pendingExit.data(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

bool terminationRequested()
{
    return s_terminationRequested;
}

void clearTermination()
{
    s_terminationRequested = false;
    delete s_pendingExit.data();
}

} // namespace rightsmith::toolkit
