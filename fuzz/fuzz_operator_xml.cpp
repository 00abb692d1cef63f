// The operator database's reader on arbitrary text: it never crashes or runs
// past its limits, and what it accepts is an index whose lookups hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "config/xml_reader.h"
#include "modem/operators.h"

namespace {

// Counts events and checks that every end closes the start it should.
struct Balance final : ovr::config::xml::Handler {
    std::vector<std::string> open;
    bool start(std::string_view name, const std::vector<ovr::config::xml::Attribute>& attrs) override {
        if (name.empty() || name.size() > 64 || attrs.size() > 16) abort();
        open.emplace_back(name);
        return true;
    }
    bool end(std::string_view name) override {
        if (open.empty() || open.back() != name) abort();
        open.pop_back();
        return true;
    }
    bool text(std::string_view t) override {
        if (t.size() > 4096) abort();
        return true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    Balance b;
    std::string error;
    bool read = ovr::config::xml::read(text, b, error);
    if (read != error.empty() || (read && !b.open.empty()) || (!read && error.rfind("line ", 0) != 0)) abort();

    auto db = ovr::modem::OperatorDatabase::parse(text, error);
    if (!db) return 0;
    for (const auto& op : db->operators()) {
        for (const std::string& n : op.networks) {
            bool found = false;
            for (const auto* o : db->by_network(n)) found |= o == &op;
            if (!found || !ovr::modem::valid_network(n)) abort();
        }
        bool in_country = false;
        for (const auto* o : db->by_country(op.country, op.name)) in_country |= o == &op;
        if (!in_country) abort();
    }
    return 0;
}
