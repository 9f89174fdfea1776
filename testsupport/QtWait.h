#pragma once

#include <functional>

// Runs the Qt event loop (serving blocking calls from other threads) until
// the condition holds; false when timeoutMs passed first.
bool serveUntil(const std::function<bool()>& done, int timeoutMs = 15000);

// Runs the event loop for a while.
void serveFor(int ms);
