// A GSM modem's AT command interpreter, as the simulator answers on its pty:
// echo until ATE0, verbose or numeric result codes, +CME/+CMS errors, the
// "> " prompt after AT+CMGS left with ESC, "+++" and ATH0, the radio, the SIM
// PIN, SMS service and format, operator and message storage queries and the
// identification commands, and the GPRS data call: attach (AT+CGATT), PDP
// contexts (AT+CGDCONT, AT+CGACT), the dial ATD*99# and, once connected, the
// operator's MMS proxy answering one HTTP request on the raw link until "+++"
// (no PPP framing: the simulated network reads the bytes as they come). Time
// is handed in, so the same engine runs behind
// a real pty and inside tests on a fake clock.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace ovr::sim {

struct ModemProfile {
    std::string name;
    bool pdu = true;                 // AT+CMGF=0 accepted
    bool text = true;                // AT+CMGF=1 accepted
    std::string pin;                 // SIM PIN required when not empty
    int initial_cfun = 1;
    uint32_t register_delay_ms = 0;  // after AT+CFUN=1, until an operator shows
    uint32_t storage_delay_ms = 0;   // after registration, AT+CPMS? answers +CMS ERROR: 314
    bool csms_refused = false;
    bool cmgs_refused = false;
    bool silent = false;
    uint32_t only_speed = 0;         // answers only at this line speed (0: any)
    uint32_t reply_delay_ms = 0;     // before each final result
    bool urcs = false;               // unsolicited result codes between replies
    // The operator's side of a data call: ok, wrong-apn (the context is
    // refused), no-coverage (no attach), mmsc-refusing (the MMS proxy answers
    // 403), silent (the dial is never answered).
    std::string gprs = "ok";
    // The SIM's network (MCC and MNC) and the operator registered on: the
    // test network 001 01 unless told otherwise.
    std::string network = "00101";
    std::string operator_name = "Ovrin Net";
};

// The SIM's IMSI: its network's digits, then the subscriber's.
std::string imsi_of(const ModemProfile& p);

// The GPRS profiles by name.
bool known_gprs_profile(const std::string& name);
std::vector<std::string> gprs_profile_names();

// The profiles by name; nothing for an unknown name.
std::optional<ModemProfile> find_profile(const std::string& name);
std::vector<std::string> profile_names();

class ModemEngine {
public:
    explicit ModemEngine(ModemProfile profile);

    // Bytes from the line at `now_ms`, received at line speed `speed`.
    void receive(const std::string& bytes, uint64_t now_ms, uint32_t speed);
    // Output that is due by now_ms.
    std::string take_due(uint64_t now_ms);
    // When the next output falls due (nothing when none is queued).
    std::optional<uint64_t> next_due() const;

    // Every command line received, as received (without the final CR).
    const std::vector<std::string>& commands() const { return commands_; }
    const ModemProfile& profile() const { return p_; }
    // The operator's side from the next command on (an unknown name is ok).
    void set_gprs(const std::string& name) { p_.gprs = known_gprs_profile(name) ? name : "ok"; }
    bool in_data_mode() const { return data_mode_; }

private:
    void command_line(const std::string& line, uint64_t now);
    std::string run(const std::string& body, uint64_t now, bool& ok);
    std::string extended(const std::string& cmd, uint64_t now, bool& ok, bool& stop);
    void emit(const std::string& text, uint64_t at);
    std::string error_text(int cme) const;
    bool registered(uint64_t now) const;
    bool pin_blocks() const { return !p_.pin.empty() && !pin_ok_; }

    ModemProfile p_;
    bool echo_ = true;
    bool verbose_ = true;
    int cmee_ = 1;   // numeric +CME ERROR codes, as most GSM modems ship
    int cfun_ = 1;
    int cops_format_ = 0;  // AT+COPS=3,N: 0 long name, 1 short name, 2 numeric
    std::optional<uint64_t> radio_on_at_;
    bool pin_ok_ = false;
    int cmgf_ = 0;
    bool prompt_ = false;
    int urc_count_ = 0;
    std::string line_;
    std::string final_;   // the error result of the line being run
    std::deque<std::pair<uint64_t, std::string>> out_;
    uint64_t last_due_ = 0;
    std::vector<std::string> commands_;
    // The data call.
    void data_byte(char c, uint64_t now);
    std::string dial(const std::string& number, bool& ok);
    bool unanswered_ = false;   // the line being run gets no reply at all
    bool attached_ = false;
    std::vector<std::pair<int, std::string>> contexts_;  // cid, APN
    int active_cid_ = 0;
    bool data_mode_ = false;
    bool call_up_ = false;
    std::string request_;   // bytes of the data call, up to the request's end
    int plus_run_ = 0;      // "+" in a row while connected
};

}  // namespace ovr::sim
