#pragma once

#include <chrono>
#include <string>

#include "BusPoller.h"

// What the operator is told of a bus event, once: on tiltlog's standard error
// and in the window's bus table alike. `polled`: the address of a NotAsked
// reply is on the list; `intervalMs`: the round interval asked for.
std::string BusNewsText(const BusPoller::News& news, bool polled, int intervalMs, bool chinese);
// A span as the operator reads it: "380 ms", "25.8 s".
std::string SpanText(std::chrono::steady_clock::duration span);
