#include "device/sleeper.h"

#include <chrono>
#include <thread>

void RealSleeper::Sleep(int milliseconds)
{
    if (milliseconds > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

namespace {
RealSleeper g_realSleeper;
ISleeper* g_sleeper = &g_realSleeper;
}  // namespace

ISleeper& DefaultSleeper() { return *g_sleeper; }

void SetDefaultSleeper(ISleeper* sleeper) { g_sleeper = sleeper ? sleeper : &g_realSleeper; }
