// Process-wide "shutting down" state, so that waits end at once when localweb is stopped.
#pragma once

#include <chrono>

namespace localweb {

void beginShutdown();
bool shuttingDown();

// Waits for the given time; returns false early when shutdown begins.
bool waitUnlessStopped(std::chrono::milliseconds duration);

} // namespace localweb
