#pragma once

#include <functional>

// GUI tests: runs the event loop (socket watches, timers, CallAfter) until
// done() is true or timeoutMs has passed; returns done().
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Runs the event loop for a while, whatever happens.
void PumpFor(int milliseconds);
