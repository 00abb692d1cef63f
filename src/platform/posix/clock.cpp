#include "platform/clock.h"

#include <ctime>
#include <cerrno>

namespace ovr::platform {

LocalTime SystemClock::local_now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return local_time_at(ts.tv_sec, static_cast<int>(ts.tv_nsec / 1000000));
}

LocalTime local_time_at(int64_t seconds, int millisecond) {
    time_t secs = static_cast<time_t>(seconds);
    tm parts{};
    LocalTime t;
    if (!localtime_r(&secs, &parts)) {
        t.year = 0;
        return t;
    }
    t.year = parts.tm_year + 1900;
    t.month = parts.tm_mon + 1;
    t.day = parts.tm_mday;
    t.hour = parts.tm_hour;
    t.minute = parts.tm_min;
    t.second = parts.tm_sec;
    t.millisecond = millisecond;
    t.weekday = parts.tm_wday;
    return t;
}

uint64_t SystemClock::tick_ms() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

void SystemClock::sleep_ms(uint32_t ms) {
    timespec req{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&req, &req) == -1 && errno == EINTR) {
    }
}

}  // namespace ovr::platform
