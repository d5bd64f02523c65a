// Run start, the main loop and shutdown.
#pragma once

#include "wait.h"   // PauseMicro

// Records SIGINT and SIGTERM; the restore happens at the next safe point.
void NiceExit(int sig);

// Installs the shutdown handlers.
void InstallHandlers();

// Gives this process a wake-up pipe of its own, for its handlers to wake its
// waits. A child after a fork calls it: a pipe shared with the parent would
// carry the parent's signals too, and every wait of the child would end at
// once, for ever.
void NewWakePipe();

// Loads the day ramp twice, kRestoreGapUs apart, and waits until the X server
// has both: the restore that a stop makes before the program ends.
void RestoreDay();

// Reports the location, forks unless in the foreground, and loops for ever.
// Returns only in the parent after a fork or on failure, with the exit status.
int Run();
