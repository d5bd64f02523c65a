// Run start, the main loop and shutdown.
#pragma once

#include "wait.h"   // PauseMicro

// Records SIGINT and SIGTERM; the restore happens at the next safe point.
void NiceExit(int sig);

// Installs the shutdown handlers.
void InstallHandlers();

// Reports the location, forks unless in the foreground, and loops for ever.
// Returns only in the parent after a fork or on failure, with the exit status.
int Run();
