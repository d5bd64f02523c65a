// Start-up: greeting, options, location.
#pragma once

// Greets, reads the options into the settings and resolves the location.
// Returns 0 to go on, or -1 when the program must end now; `status` then
// holds the exit status (0 after the usage text, -1 for a refused start).
int StartUp(int argc, char** argv, int& status);
