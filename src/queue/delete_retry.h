// Deleting a message file the services may still hold open: one try at once,
// then a background task that keeps trying for a while and ends on its own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/clock.h"

namespace ovr::queue {

// A task gives up this long after it started, and pauses this long between
// tries.
inline constexpr uint64_t kDeleteRetryWindowMs = 120000;
inline constexpr uint32_t kDeleteRetryPauseMs = 5000;

// Removes one file; the file system's remove unless a test hands in another.
using RemoveFile = std::function<bool(const std::string& path)>;

// Deletes the file. When it still exists afterwards, a background task with
// its own copy of the path deletes it again every 5 seconds while it exists,
// until 120 seconds (on the clock given) have passed since the task started;
// the task ends silently either way and never waits past that time. True
// when the file was gone after the first try.
bool DeleteWithRetry(const std::string& path, std::shared_ptr<platform::Clock> clock, RemoveFile remove = {});

// The deletion tasks still running, and a wait until none is (tests).
unsigned running_deletion_tasks();
void wait_for_deletion_tasks();

}  // namespace ovr::queue
