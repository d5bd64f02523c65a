// How the program waits, and the one question it asks while waiting.
#pragma once

// Sleeps for us microseconds (0: not at all). A stop requested by SIGINT or
// SIGTERM, now or earlier, ends the wait at once: the day ramp is restored and
// the process ends with status 0.
void PauseMicro(long us);

// Nonzero in the foreground when a console line (or input to read) is waiting.
int haskb();
