#include "service/status_text.h"

#include "config/ini.h"
#include "config/text.h"
#include "service/status.h"

namespace ovr::service {

namespace {

// One service's text; `sms` selects the SMS gateway's names and port texts.
StatusText one_service(platform::Platform& p, const GatewayStates& st, bool sms) {
    if (!(sms ? st.sms_installed : st.mmsc_installed)) return {kNotInstalledText, true};
    if (!(sms ? st.sms_running : st.mmsc_running)) return {kNotActiveText, true};
    auto block = sms ? open_sms_block(*p.shared_memory) : open_mmsc_block(*p.shared_memory);
    if (block && block->data()[kFirstPortByte] != 0) return {sms ? kWebPortText : kMm7PortText, true};
    if (block && block->data()[kSecondPortByte] != 0) return {sms ? kSmppServerPortText : kSmppPortText, true};
    return {kActiveText, false};
}

}  // namespace

StatusText service_status_text(platform::Platform& p, const GatewayStates& states) {
    StatusText t = one_service(p, states, true);
    if (!t.red) t = one_service(p, states, false);
    return t;
}

StatusText service_status_text(platform::Platform& p) { return service_status_text(p, read_gateway_states(p)); }

StatusText modem_information_text(platform::Platform& p, const std::string& rirer_ini, const std::string& private_dir) {
    return modem_information_text(read_gateway_states(p), rirer_ini, private_dir);
}

StatusText modem_information_text(const GatewayStates& states, const std::string& rirer_ini,
                                  const std::string& private_dir) {
    if (!states.sms_up()) return {kModemNotActiveText, true};
    constexpr size_t kCapacity = 1024;
    std::string lines;
    // Some 400 reads of one state of the file, for one look at it.
    const config::ini::Snapshot rirer = config::ini::snapshot(rirer_ini);
    for (unsigned i = 1;; ++i) {
        const std::string key = "Modem" + std::to_string(i);
        auto value = rirer.read_value("RIRER", key);
        if (i > 201 && !value) break;
        std::string name = rirer.read_string("RIRER", key, "", kCapacity);
        if (name.empty()) continue;
        std::string err = read_modem_error(private_dir, name);
        if (err.empty()) continue;
        config::bounded_append(lines, name, kCapacity);
        config::bounded_append(lines, " : ", kCapacity);
        config::bounded_append(lines, err, kCapacity);
        config::bounded_append(lines, "\r\n", kCapacity);
    }
    return {lines, !lines.empty()};
}

std::array<CounterRow, 8> status_counter_rows(const std::string& private_dir, const platform::LocalTime& date) {
    std::array<CounterRow, 8> rows = {{
        {"SMS Submitted:", "SMSSUBMIT", nullptr},
        {"SMS Sent:", "SMSSENT", nullptr},
        {"SMS Received:", "SMSRECEIVED", nullptr},
        {"SMS Failed:", "SMSFAILED", nullptr},
        {"SMS Retried:", "SMSRETRY", nullptr},
        {"MMS Processed:", "MMSIN-VASP", "MMSIN-USER"},
        {"MMS Sent:", "MMSOUT-VASP", "MMSOUT-MMSC"},
        {"MMS Received", "MMSIN-MODEM", nullptr},
    }};
    for (CounterRow& row : rows) {
        for (const char* name : {row.first, row.second}) {
            if (!name) continue;
            CounterSums s = read_counter(private_dir, name, date);
            row.today += s.today;
            row.last7 += s.last7;
            row.last30 += s.last30;
        }
    }
    return rows;
}

std::string count_field_text(uint64_t n) { return n == 0 ? std::string() : std::to_string(n); }

}  // namespace ovr::service
