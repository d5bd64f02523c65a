// Run start, the main loop and shutdown.
#pragma once

#include "wait.h"   // PauseMicro

// Records SIGINT and SIGTERM; the restore happens at the next safe point.
void NiceExit(int sig);

// Installs the shutdown handlers.
void InstallHandlers();

// Loads the day ramp twice, kRestoreGapUs apart, and waits until the X server
// has both: the restore that a stop makes before the program ends.
void RestoreDay();

// Reports the location, forks unless in the foreground, and loops for ever.
// Returns only in the parent after a fork or on failure, with the exit status.
int Run();
