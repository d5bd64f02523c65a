// Console input: a non-blocking line reader over standard input.
#pragma once
#include <cstddef>

#include "wait.h"   // haskb

constexpr size_t kLineBuffer = 1024;

// Takes the next waiting line (at most kLineBuffer-1 characters, newline
// included) into buf. Returns 0 when a line was taken, -1 when none is
// complete yet or input has ended.
int ReadLine(char* buf, size_t size);

// Points the reader at another descriptor and forgets buffered input (tests).
void ResetInput(int fd);
