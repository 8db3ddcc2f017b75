#include "platform/Delay.h"

#include <chrono>
#include <mutex>
#include <thread>

namespace pellum {
namespace {
std::mutex g_hookMutex;
DelayHook g_hook;
} // namespace

void Delay(int ms) {
    if (ms < 0)
        ms = 0;
    DelayHook hook;
    {
        std::lock_guard<std::mutex> lock(g_hookMutex);
        hook = g_hook;
    }
    if (hook) {
        hook(ms);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SetDelayHook(DelayHook hook) {
    std::lock_guard<std::mutex> lock(g_hookMutex);
    g_hook = std::move(hook);
}

} // namespace pellum
