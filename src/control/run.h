// Run start, the main loop and shutdown.
#pragma once

// Records SIGINT and SIGTERM; the restore happens at the next safe point.
void NiceExit(int sig);

// Installs the shutdown handlers.
void InstallHandlers();

// Sleeps for us microseconds, or less when a shutdown signal arrives, in
// which case it restores the day ramp and ends the process with status 0.
void PauseMicro(long us);

// Reports the location, forks unless in the foreground, and loops for ever.
// Returns only in the parent after a fork or on failure, with the exit status.
int Run();
