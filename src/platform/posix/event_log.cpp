#include "platform/event_log.h"

namespace ovr::platform {
namespace {

// The systemd journal is a later step; the host's log cannot be opened yet.
class PosixEventLog final : public EventLog {
public:
    std::unique_ptr<EventLogHandle> open_application() override { return nullptr; }
    uint32_t report(EventType, const std::string&, const std::vector<std::string>&, const LocalTime&) override {
        return 0;
    }
};

}  // namespace

size_t event_record_size(const EventRecord& r) {
    // The fixed part of a record as the log hands it out, then each text with
    // its terminator, then the record length trailer.
    size_t n = 56 + r.source.size() + 1;
    for (const auto& s : r.strings) n += s.size() + 1;
    return n + 4;
}

std::shared_ptr<EventLog> make_posix_event_log() { return std::make_shared<PosixEventLog>(); }

}  // namespace ovr::platform
