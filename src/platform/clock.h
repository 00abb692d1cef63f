// Time for the whole console: local date-time, a millisecond tick count and
// sleeping. Every wait in the console goes through a Clock so that tests can
// run a 120-second service wait in no time with FakeClock.
#pragma once

#include <cstdint>
#include <mutex>

namespace ovr::platform {

struct LocalTime {
    int year = 1970;    // four digits
    int month = 1;      // 1..12
    int day = 1;        // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int weekday = 4;    // 0 = Sunday
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime local_now() = 0;
    // Milliseconds since an arbitrary start; wraps like the 32-bit tick count
    // only when the caller truncates it.
    virtual uint64_t tick_ms() = 0;
    virtual void sleep_ms(uint32_t ms) = 0;
};

// The real clock of the machine.
class SystemClock final : public Clock {
public:
    LocalTime local_now() override;
    uint64_t tick_ms() override;
    void sleep_ms(uint32_t ms) override;
};

// Test clock: sleeping advances time at once, and the local date-time moves
// with the ticks from the date it was set to.
class FakeClock final : public Clock {
public:
    explicit FakeClock(LocalTime start = {2026, 1, 1, 12, 0, 0, 0, 4});
    LocalTime local_now() override;
    uint64_t tick_ms() override;
    void sleep_ms(uint32_t ms) override;

    void advance_ms(uint64_t ms);
    void set_local(const LocalTime& t);
    uint64_t total_slept_ms() const;

private:
    mutable std::mutex mu_;
    LocalTime start_;
    uint64_t ticks_ = 0;
    uint64_t ticks_at_start_ = 0;
    uint64_t slept_ = 0;
};

// Converts a broken-down local time plus an offset in milliseconds into a
// normalised local time (calendar arithmetic, no time zone changes).
LocalTime add_ms(const LocalTime& t, uint64_t ms);

// A moment of the machine's real-time clock (seconds since the epoch) in the
// machine's time zone; the year 0 when it cannot be converted.
LocalTime local_time_at(int64_t seconds, int millisecond);

}  // namespace ovr::platform
