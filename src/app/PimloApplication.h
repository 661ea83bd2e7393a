#pragma once

#include "app/AppDelegate.h"

namespace pimlo {

// The whole life of the app: application object, launch, event loop, termination on quit or
// on SIGTERM/SIGINT. Returns the process exit status.
int runPimlo(int argc, char **argv, AppEnvironment environment = {});

} // namespace pimlo
