#pragma once
// Termination signals end the program as closing its window does.

#include <QCoreApplication>

namespace tunescrib {

// From now on SIGTERM, SIGINT and SIGHUP end `application`'s event loop, so that main()
// returns and every destructor runs: the settings write still in flight completes, the
// sound stops cleanly. A second signal, should that hang, ends the process at once.
// Main thread, once, after `application` exists.
void quitOnTerminationSignals(QCoreApplication& application);

} // namespace tunescrib
