#include "queue/delete_retry.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/fs.h"

namespace ovr::queue {
namespace {

struct TaskCount {
    std::mutex mu;
    std::condition_variable idle;
    unsigned running = 0;
};

// Never destroyed: a task may still be running while the process exits.
TaskCount& tasks() {
    static TaskCount* t = new TaskCount;
    return *t;
}

void retry_until_gone(const std::string& path, platform::Clock& clock, const RemoveFile& remove) {
    const uint64_t start = clock.tick_ms();
    while (platform::fs::exists(path)) {
        uint64_t elapsed = clock.tick_ms() - start;
        if (elapsed >= kDeleteRetryWindowMs) return;
        remove(path);
        if (!platform::fs::exists(path)) return;
        elapsed = clock.tick_ms() - start;
        if (elapsed >= kDeleteRetryWindowMs) return;
        clock.sleep_ms(static_cast<uint32_t>(std::min<uint64_t>(kDeleteRetryPauseMs, kDeleteRetryWindowMs - elapsed)));
    }
}

}  // namespace

bool DeleteWithRetry(const std::string& path, std::shared_ptr<platform::Clock> clock, RemoveFile remove) {
    if (!remove) remove = [](const std::string& p) { return platform::fs::remove_file(p); };
    remove(path);
    if (!platform::fs::exists(path)) return true;
    if (!clock) return false;

    TaskCount& t = tasks();
    {
        std::lock_guard<std::mutex> g(t.mu);
        ++t.running;
    }
    auto done = [] {
        TaskCount& t = tasks();
        std::lock_guard<std::mutex> g(t.mu);
        if (--t.running == 0) t.idle.notify_all();
    };
    try {
        std::thread([path, clock, remove = std::move(remove), done] {
            retry_until_gone(path, *clock, remove);
            done();
        }).detach();
    } catch (const std::system_error&) {
        done();   // no thread to be had: the file comes back at a later refresh
    }
    return false;
}

unsigned running_deletion_tasks() {
    TaskCount& t = tasks();
    std::lock_guard<std::mutex> g(t.mu);
    return t.running;
}

void wait_for_deletion_tasks() {
    TaskCount& t = tasks();
    std::unique_lock<std::mutex> g(t.mu);
    t.idle.wait(g, [&] { return t.running == 0; });
}

}  // namespace ovr::queue
