#include "toolkit/termination.h"

#include <QCoreApplication>

namespace toolkit {

namespace {
bool s_terminationRequested = false;
}

void terminateApplication()
{
    s_terminationRequested = true;
    // exit(), not quit(): quit() lets windows refuse to close; a termination
    // must not be refused. Without a running loop this only leaves the flag.
    if (QCoreApplication::instance())
        QCoreApplication::exit(0);
}

bool terminationRequested()
{
    return s_terminationRequested;
}

void clearTermination()
{
    s_terminationRequested = false;
}

} // namespace toolkit
