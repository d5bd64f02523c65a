// Console replies: written to standard output without ever waiting for it.
#pragma once
#include <cstddef>

// The longest reply, newline included.
constexpr size_t kReplyMax = 128;

// Writes one reply, or as much of it as standard output takes at once; the
// rest of a reply cut short goes out before the next one. A reply that finds
// standard output full, or the rest of an earlier one still waiting, is dropped.
void SendReply(const char* text, size_t len);

// Sends what is left of a reply cut short, if standard output takes it now.
void FlushReplies();
