// Console commands in foreground mode.
#pragma once

// Handles one command line; night is the current pass's verdict.
void HandleLine(const char* line, bool night);

// Handles every line waiting on standard input.
void ServeConsole(bool night);
