#include "platform/clock.h"

#include <ctime>

namespace ovr::platform {

LocalTime add_ms(const LocalTime& t, uint64_t ms) {
    // Calendar arithmetic through timegm/gmtime keeps month and leap-year
    // rules right without involving the machine's time zone.
    tm parts{};
    parts.tm_year = t.year - 1900;
    parts.tm_mon = t.month - 1;
    parts.tm_mday = t.day;
    parts.tm_hour = t.hour;
    parts.tm_min = t.minute;
    parts.tm_sec = t.second;
    uint64_t total_ms = static_cast<uint64_t>(t.millisecond) + ms;
    time_t secs = timegm(&parts) + static_cast<time_t>(total_ms / 1000);
    tm out{};
    gmtime_r(&secs, &out);
    LocalTime r;
    r.year = out.tm_year + 1900;
    r.month = out.tm_mon + 1;
    r.day = out.tm_mday;
    r.hour = out.tm_hour;
    r.minute = out.tm_min;
    r.second = out.tm_sec;
    r.millisecond = static_cast<int>(total_ms % 1000);
    r.weekday = out.tm_wday;
    return r;
}

FakeClock::FakeClock(LocalTime start) : start_(add_ms(start, 0)) {}

LocalTime FakeClock::local_now() {
    std::lock_guard lock(mu_);
    return add_ms(start_, ticks_ - ticks_at_start_);
}

uint64_t FakeClock::tick_ms() {
    std::lock_guard lock(mu_);
    return ticks_;
}

void FakeClock::sleep_ms(uint32_t ms) {
    std::lock_guard lock(mu_);
    ticks_ += ms;
    slept_ += ms;
}

void FakeClock::advance_ms(uint64_t ms) {
    std::lock_guard lock(mu_);
    ticks_ += ms;
}

void FakeClock::set_local(const LocalTime& t) {
    std::lock_guard lock(mu_);
    start_ = add_ms(t, 0);
    ticks_at_start_ = ticks_;
}

uint64_t FakeClock::total_slept_ms() const {
    std::lock_guard lock(mu_);
    return slept_;
}

}  // namespace ovr::platform
