#include "engine.h"

#include <algorithm>
#include <cctype>

namespace ovr::sim {

namespace {

constexpr size_t kMaxLine = 560;   // longer command lines are cut, as a modem's buffer would
constexpr char kEsc = 0x1B;
constexpr char kCtrlZ = 0x1A;

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool is_sms_command(const std::string& name) {
    return name == "+CSMS" || name == "+CMGF" || name == "+CMGS" || name == "+CPMS" || name == "+CNMI" ||
           name == "+CSCA" || name == "+CMGL" || name == "+CMGR" || name == "+CMGD";
}

constexpr size_t kMaxRequest = 8192;  // a data call's request beyond this is dropped

}  // namespace

std::string imsi_of(const ModemProfile& p) {
    std::string imsi = p.network + "0123456789";
    return imsi.substr(0, 15);
}

bool known_gprs_profile(const std::string& name) {
    for (const auto& n : gprs_profile_names())
        if (n == name) return true;
    return false;
}

std::vector<std::string> gprs_profile_names() { return {"ok", "wrong-apn", "no-coverage", "mmsc-refusing", "silent"}; }

std::optional<ModemProfile> find_profile(const std::string& name) {
    ModemProfile p;
    p.name = name;
    if (name == "pdu") return p;
    if (name == "pin") {
        p.pin = "1234";
        return p;
    }
    if (name == "text-only") {
        p.pdu = false;
        return p;
    }
    if (name == "radio-off") {
        p.initial_cfun = 0;
        p.register_delay_ms = 12000;
        p.storage_delay_ms = 3000;
        return p;
    }
    if (name == "csms-refused") {
        p.csms_refused = true;
        return p;
    }
    if (name == "cmgs-refused") {
        p.cmgs_refused = true;
        return p;
    }
    if (name == "silent") {
        p.silent = true;
        return p;
    }
    if (name == "one-speed") {
        p.only_speed = 9600;
        return p;
    }
    if (name == "slow") {
        p.reply_delay_ms = 2000;
        return p;
    }
    if (name == "urc") {
        p.urcs = true;
        return p;
    }
    return std::nullopt;
}

std::vector<std::string> profile_names() {
    return {"pdu", "pin", "text-only", "radio-off", "csms-refused", "cmgs-refused", "silent", "one-speed", "slow", "urc"};
}

ModemEngine::ModemEngine(ModemProfile profile) : p_(std::move(profile)) { cfun_ = p_.initial_cfun; }

void ModemEngine::emit(const std::string& text, uint64_t at) {
    at = std::max(at, last_due_);
    last_due_ = at;
    out_.emplace_back(at, text);
}

std::string ModemEngine::take_due(uint64_t now) {
    std::string s;
    while (!out_.empty() && out_.front().first <= now) {
        s += out_.front().second;
        out_.pop_front();
    }
    return s;
}

std::optional<uint64_t> ModemEngine::next_due() const {
    if (out_.empty()) return std::nullopt;
    return out_.front().first;
}

void ModemEngine::receive(const std::string& bytes, uint64_t now, uint32_t speed) {
    // At the wrong line speed the modem sees only framing garbage.
    if (p_.only_speed != 0 && speed != p_.only_speed) return;
    for (char c : bytes) {
        if (data_mode_) {
            data_byte(c, now);
            continue;
        }
        if (prompt_) {
            if (c == kEsc) {
                prompt_ = false;
                if (!p_.silent) emit("\r\nOK\r\n", now);
            } else if (c == kCtrlZ) {
                prompt_ = false;
                if (!p_.silent) emit("\r\n+CMGS: 1\r\n\r\nOK\r\n", now + p_.reply_delay_ms);
            } else if (c == '\r') {
                if (!p_.silent) emit("\r\n> ", now);
            } else if (echo_ && !p_.silent) {
                emit(std::string(1, c), now);
            }
            continue;
        }
        if (echo_ && !p_.silent) emit(std::string(1, c), now);
        if (c == '\r') {
            std::string line;
            line.swap(line_);
            command_line(line, now);
        } else if (c == '\b' || c == 0x7F) {
            if (!line_.empty()) line_.pop_back();
        } else if (c != '\n' && c != '\0' && line_.size() < kMaxLine) {
            line_ += c;
        }
    }
}

bool ModemEngine::registered(uint64_t now) const {
    if (cfun_ != 1) return false;
    uint64_t on = radio_on_at_.value_or(0);
    return now >= on + p_.register_delay_ms;
}

std::string ModemEngine::error_text(int cme) const {
    if (cmee_ == 0) return "ERROR";
    return "+CME ERROR: " + std::to_string(cme);
}

void ModemEngine::command_line(const std::string& raw, uint64_t now) {
    // A modem ignores everything before "AT" ("+++ATH0" is ATH0).
    std::string up = upper(raw);
    size_t at = up.find("AT");
    if (at == std::string::npos) return;
    commands_.push_back(raw.substr(at));
    if (p_.silent) return;
    bool ok = true;
    unanswered_ = false;
    std::string info = run(raw.substr(at + 2), now, ok);
    uint64_t due = now + p_.reply_delay_ms;
    if (prompt_) {
        emit("\r\n> ", due);
        return;
    }
    if (unanswered_) {   // a dial the network never answers
        final_.clear();
        return;
    }
    std::string text = info;
    if (verbose_) {
        text += "\r\n" + (ok ? std::string("OK") : final_.empty() ? std::string("ERROR") : final_) + "\r\n";
    } else {
        text += ok ? "0\r" : final_.rfind("CONNECT", 0) == 0 ? "1\r" : final_ == "NO CARRIER" ? "3\r" : "4\r";
    }
    final_.clear();
    emit(text, due);
    if (p_.urcs) {
        static const char* kUrcs[] = {"\r\n+CREG: 1\r\n", "\r\n+CMTI: \"SM\",", "\r\n+CIEV: 2,4\r\n"};
        std::string u = kUrcs[urc_count_ % 3];
        if (urc_count_ % 3 == 1) u += std::to_string(urc_count_ / 3 + 1) + "\r\n";
        ++urc_count_;
        emit(u, due + 5);
    }
}

std::string ModemEngine::run(const std::string& body, uint64_t now, bool& ok) {
    std::string info;
    size_t i = 0;
    while (i < body.size() && ok) {
        char c = static_cast<char>(std::toupper(static_cast<unsigned char>(body[i])));
        if (c == ' ') {
            ++i;
        } else if (c == '+' || c == '*' || c == '!' || c == '^' || c == '$' || c == '#') {
            size_t end = body.find(';', i);
            std::string cmd = body.substr(i, end == std::string::npos ? std::string::npos : end - i);
            i = end == std::string::npos ? body.size() : end + 1;
            bool stop = false;
            info += extended(cmd, now, ok, stop);
            if (stop) break;
        } else if (c == '&') {
            i += 2;
            while (i < body.size() && std::isdigit(static_cast<unsigned char>(body[i]))) ++i;
        } else if (std::isalpha(static_cast<unsigned char>(c))) {
            ++i;
            int n = 0;
            if (c == 'D') {   // the rest of the line is the number
                info += dial(body.substr(i), ok);
                break;
            }
            if (c == 'S') {   // Sn=v or Sn?
                while (i < body.size() && (std::isdigit(static_cast<unsigned char>(body[i])) || body[i] == '=' ||
                                           body[i] == '?'))
                    ++i;
                continue;
            }
            while (i < body.size() && std::isdigit(static_cast<unsigned char>(body[i]))) n = n * 10 + (body[i++] - '0');
            switch (c) {
                case 'E': echo_ = n != 0; break;
                case 'V': verbose_ = n != 0; break;
                case 'Z':
                    echo_ = true;
                    verbose_ = true;
                    break;
                case 'I': info += "\r\nOvrin Simulated GSM Modem (" + p_.name + ")\r\n"; break;
                case 'H':
                    call_up_ = false;
                    active_cid_ = 0;
                    break;
                case 'O':   // back to the data call left with "+++"
                    if (!call_up_) {
                        ok = false;
                        final_ = "NO CARRIER";
                    } else {
                        ok = false;
                        final_ = "CONNECT";
                        data_mode_ = true;
                    }
                    break;
                case 'Q': case 'X': case 'L': case 'M': break;
                default: ok = false; break;
            }
        } else {
            ok = false;
        }
    }
    return info;
}

std::string ModemEngine::extended(const std::string& cmd_in, uint64_t now, bool& ok, bool& stop) {
    std::string cmd = upper(cmd_in);
    size_t sep = cmd.find_first_of("=?");
    std::string name = cmd.substr(0, sep);
    bool query = sep != std::string::npos && cmd.compare(sep, std::string::npos, "?") == 0;
    bool test = sep != std::string::npos && cmd.compare(sep, std::string::npos, "=?") == 0;
    std::string arg = (sep != std::string::npos && cmd[sep] == '=' && !test) ? cmd_in.substr(sep + 1) : std::string{};
    bool set = sep != std::string::npos && cmd[sep] == '=' && !test;
    auto fail_cme = [&](int code) {
        ok = false;
        stop = true;
        final_ = error_text(code);
        return std::string{};
    };
    auto fail_cms = [&](int code) {
        ok = false;
        stop = true;
        final_ = "+CMS ERROR: " + std::to_string(code);
        return std::string{};
    };
    auto line = [](const std::string& s) { return "\r\n" + s + "\r\n"; };

    if (pin_blocks() && name != "+CPIN" && name != "+CFUN" && name != "+CMEE" && name != "+CGMI" &&
        name != "+CGMM" && name != "+CGMR" && name != "+CGSN" && name != "+GMI" && name != "+GMM" &&
        name != "+GMR" && name != "+GSN" && name != "+CSCS" && name != "+CSQ") {
        return is_sms_command(name) ? fail_cms(311) : fail_cme(11);
    }
    if (name == "+CGMI" || name == "+GMI") return test ? "" : line("Ovrin Devices");
    if (name == "+CGMM" || name == "+GMM") return test ? "" : line("OVR-GSM 900");
    if (name == "+CGMR" || name == "+GMR") return test ? "" : line("Revision 1.0 (" + p_.name + ")");
    if (name == "+CGSN" || name == "+GSN") return test ? "" : line("356938035643809");
    if (name == "+CIMI") return test ? "" : line(imsi_of(p_));
    if (name == "+CMEE") {
        if (query) return line("+CMEE: " + std::to_string(cmee_));
        if (test) return line("+CMEE: (0-2)");
        cmee_ = arg.empty() ? 0 : std::clamp(std::atoi(arg.c_str()), 0, 2);
        return {};
    }
    if (name == "+CFUN") {
        if (query) return line("+CFUN: " + std::to_string(cfun_));
        if (test) return line("+CFUN: (0-1),(0-1)");
        int level = std::atoi(arg.c_str());
        if (level != 0 && level != 1) return fail_cme(50);
        if (level == 1 && cfun_ != 1) radio_on_at_ = now;
        cfun_ = level;
        if (arg.find(",1") != std::string::npos) {   // with reset
            echo_ = true;
            verbose_ = true;
            pin_ok_ = false;
        }
        return {};
    }
    if (name == "+CPIN") {
        if (query) return line(pin_blocks() ? "+CPIN: SIM PIN" : "+CPIN: READY");
        if (test) return {};
        std::string given = arg;
        given.erase(std::remove(given.begin(), given.end(), '"'), given.end());
        if (!pin_blocks()) return fail_cme(3);
        if (given != p_.pin) return fail_cme(16);
        pin_ok_ = true;
        return {};
    }
    if (name == "+CSMS") {
        if (p_.csms_refused) return fail_cms(303);
        if (query) return line("+CSMS: 0,1,1,1");
        if (test) return line("+CSMS: (0,1)");
        if (arg != "0" && arg != "1") return fail_cms(303);
        return line("+CSMS: 1,1,1");
    }
    if (name == "+CMGF") {
        if (query) return line("+CMGF: " + std::to_string(cmgf_));
        if (test) return line(p_.pdu && p_.text ? "+CMGF: (0,1)" : p_.pdu ? "+CMGF: (0)" : "+CMGF: (1)");
        if ((arg == "0" && p_.pdu) || (arg == "1" && p_.text)) {
            cmgf_ = arg[0] - '0';
            return {};
        }
        return fail_cms(303);
    }
    if (name == "+CMGS") {
        if (!set) return test ? "" : fail_cms(302);
        if (p_.cmgs_refused) return fail_cms(500);
        if (cmgf_ == 0 && (arg.empty() || !std::all_of(arg.begin(), arg.end(), ::isdigit))) return fail_cms(304);
        if (cmgf_ == 1 && (arg.size() < 3 || arg.front() != '"')) return fail_cms(305);
        prompt_ = true;
        stop = true;
        return {};
    }
    if (name == "+COPS") {
        const std::string shown = cops_format_ == 2 ? p_.network : p_.operator_name;
        if (query)
            return line(registered(now) ? "+COPS: 0," + std::to_string(cops_format_) + ",\"" + shown + "\"" : "+COPS: 0");
        if (test)
            return line("+COPS: (2,\"" + p_.operator_name + "\",\"" + p_.operator_name + "\",\"" + p_.network +
                        "\"),,(0-4),(0-2)");
        // AT+COPS=3,N only chooses how the operator is shown.
        if (arg.size() >= 3 && arg[0] == '3' && arg[1] == ',' && arg[2] >= '0' && arg[2] <= '2')
            cops_format_ = arg[2] - '0';
        return {};
    }
    if (name == "+CREG") {
        if (query) return line(std::string("+CREG: 0,") + (registered(now) ? "1" : cfun_ == 1 ? "2" : "0"));
        return {};
    }
    if (name == "+CPMS") {
        if (cfun_ != 1 || !registered(now) ||
            now < radio_on_at_.value_or(0) + p_.register_delay_ms + p_.storage_delay_ms)
            return fail_cms(314);   // SIM busy while it comes up
        if (query) return line("+CPMS: \"SM\",0,20,\"SM\",0,20,\"SM\",0,20");
        if (test) return line("+CPMS: (\"SM\",\"ME\"),(\"SM\",\"ME\"),(\"SM\",\"ME\")");
        return line("+CPMS: 0,20,0,20,0,20");
    }
    if (name == "+CSQ") return test ? line("+CSQ: (0-31,99),(0-7,99)") : line(cfun_ == 1 ? "+CSQ: 20,99" : "+CSQ: 99,99");
    if (name == "+CSCS") {
        if (query) return line("+CSCS: \"GSM\"");
        if (test) return line("+CSCS: (\"GSM\",\"IRA\",\"UCS2\")");
        return {};
    }
    if (name == "+CGATT") {
        // Out of coverage the network has dropped the attach.
        if (query) return line(std::string("+CGATT: ") + (attached_ && p_.gprs != "no-coverage" ? "1" : "0"));
        if (test) return line("+CGATT: (0,1)");
        if (arg == "0") {
            attached_ = false;
            active_cid_ = 0;
            return {};
        }
        if (arg != "1") return fail_cme(50);
        if (!registered(now) || p_.gprs == "no-coverage") return fail_cme(30);   // no network service
        attached_ = true;
        return {};
    }
    if (name == "+CGREG") {
        if (query) return line(std::string("+CGREG: 0,") + (p_.gprs == "no-coverage" || !registered(now) ? "0" : "1"));
        return {};
    }
    if (name == "+CGDCONT") {
        if (test) return line("+CGDCONT: (1-3),\"IP\",,,(0-2),(0-4)");
        if (query) {
            std::string out;
            for (const auto& [cid, apn] : contexts_)
                out += line("+CGDCONT: " + std::to_string(cid) + ",\"IP\",\"" + apn + "\",\"0.0.0.0\",0,0");
            return out;
        }
        // cid,"IP","apn"[,...]: the APN is the third field, quoted.
        int cid = std::atoi(arg.c_str());
        if (cid < 1 || cid > 3) return fail_cme(50);
        std::string apn;
        size_t q1 = arg.find('"');
        size_t q2 = q1 == std::string::npos ? q1 : arg.find('"', q1 + 1);
        size_t q3 = q2 == std::string::npos ? q2 : arg.find('"', q2 + 1);
        size_t q4 = q3 == std::string::npos ? q3 : arg.find('"', q3 + 1);
        if (q1 == std::string::npos) {   // AT+CGDCONT=cid undefines it
            std::erase_if(contexts_, [cid](const auto& c) { return c.first == cid; });
            return {};
        }
        if (q4 == std::string::npos || upper(arg.substr(q1 + 1, q2 - q1 - 1)) != "IP") return fail_cme(50);
        apn = arg.substr(q3 + 1, q4 - q3 - 1);
        std::erase_if(contexts_, [cid](const auto& c) { return c.first == cid; });
        contexts_.emplace_back(cid, apn);
        return {};
    }
    if (name == "+CGACT") {
        if (query) return line("+CGACT: 1," + std::string(active_cid_ == 1 ? "1" : "0"));
        if (test) return line("+CGACT: (0,1)");
        int state = std::atoi(arg.c_str());
        size_t comma = arg.find(',');
        int cid = comma == std::string::npos ? 1 : std::atoi(arg.c_str() + comma + 1);
        if (state == 0) {
            active_cid_ = 0;
            return {};
        }
        if (p_.gprs == "silent") {
            unanswered_ = true;
            return {};
        }
        if (p_.gprs == "no-coverage" || !registered(now)) return fail_cme(30);
        bool defined = std::any_of(contexts_.begin(), contexts_.end(), [cid](const auto& c) { return c.first == cid; });
        if (!defined || p_.gprs == "wrong-apn") return fail_cme(533);   // missing or unknown APN
        attached_ = true;
        active_cid_ = cid;
        return {};
    }
    if (name == "+CSCA") return query ? line("+CSCA: \"+10000000000\",145") : "";
    if (name == "+CNMI") return test ? line("+CNMI: (0-2),(0-3),(0-2),(0-2),(0,1)") : "";
    ok = false;
    stop = true;
    return {};
}

std::string ModemEngine::dial(const std::string& number_in, bool& ok) {
    std::string number = upper(number_in);
    ok = false;
    // Only the packet-data numbers reach the operator's data network:
    // *99#, *99***N# (context N).
    if (number.rfind("*99", 0) != 0 || number.empty() || number.back() != '#') {
        final_ = "NO CARRIER";
        return {};
    }
    if (p_.gprs == "silent") {
        unanswered_ = true;
        return {};
    }
    int cid = 1;
    if (number.size() > 6 && number.compare(0, 6, "*99***") == 0) cid = std::atoi(number.c_str() + 6);
    bool defined = std::any_of(contexts_.begin(), contexts_.end(), [cid](const auto& c) { return c.first == cid; });
    if (p_.gprs == "no-coverage" || p_.gprs == "wrong-apn" || !defined || cfun_ != 1) {
        final_ = "NO CARRIER";
        return {};
    }
    attached_ = true;
    active_cid_ = cid;
    call_up_ = true;
    data_mode_ = true;
    request_.clear();
    plus_run_ = 0;
    final_ = "CONNECT 115200";
    return {};
}

void ModemEngine::data_byte(char c, uint64_t now) {
    // "+++" leaves the data call for the command mode, the call still up.
    if (c == '+') {
        if (++plus_run_ == 3) {
            plus_run_ = 0;
            data_mode_ = false;
            request_.clear();
            emit("\r\nOK\r\n", now);
        }
        return;
    }
    if (plus_run_ > 0 && request_.size() + static_cast<size_t>(plus_run_) < kMaxRequest)
        request_.append(static_cast<size_t>(plus_run_), '+');
    plus_run_ = 0;
    if (request_.size() < kMaxRequest) request_ += c;
    size_t end = request_.find("\r\n\r\n");
    if (end == std::string::npos) return;
    // The operator's MMS proxy: one answer per request.
    std::string first = request_.substr(0, request_.find("\r\n"));
    commands_.push_back("[data] " + first);
    request_.clear();
    if (p_.gprs == "mmsc-refusing")
        emit("HTTP/1.0 403 Forbidden\r\nServer: Ovrin Simulated MMS Proxy\r\nContent-Length: 0\r\n\r\n",
             now + p_.reply_delay_ms);
    else
        emit("HTTP/1.0 200 OK\r\nServer: Ovrin Simulated MMS Proxy\r\nContent-Length: 0\r\n\r\n",
             now + p_.reply_delay_ms);
}

}  // namespace ovr::sim
