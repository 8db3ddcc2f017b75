// The one place where the program waits a fixed time.
//
// Printers need pauses between a command and its reply, between packets and
// before a restart. Every such pause calls Delay(), so that tests can record
// the order and length of the waits (and run them faster) without changing
// the code that waits.
#pragma once

#include <functional>

namespace pellum {

// Blocks the calling thread for `ms` milliseconds (or hands the wait to the
// installed hook). Negative values are treated as 0.
void Delay(int ms);

// Replaces the real sleep. The hook receives every requested wait in order;
// pass an empty function to restore the real sleep. Not meant to be swapped
// while another thread is waiting.
using DelayHook = std::function<void(int ms)>;
void SetDelayHook(DelayHook hook);

} // namespace pellum
