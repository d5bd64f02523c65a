// Console commands in foreground mode.
#pragma once

// Handles one command line; night is the current pass's verdict.
void HandleLine(const char* line, bool night);

// Handles the lines waiting on standard input, up to kLinesPerPass of them.
void ServeConsole(bool night);
