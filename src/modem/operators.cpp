#include "modem/operators.h"

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <mutex>

#include "config/xml_reader.h"
#include "platform/dynlib.h"
#include "platform/fs.h"

namespace ovr::modem {
namespace {

namespace xml = config::xml;

// Far above the real list (about 700 operators, at most 47 networks and 11
// access points each), far below what would cost memory.
constexpr size_t kMaxOperators = 5000;
constexpr size_t kMaxNetworks = 256;
constexpr size_t kMaxAccessPoints = 64;

bool all_digits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string trimmed(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

const std::string* attribute(const std::vector<xml::Attribute>& attrs, std::string_view name) {
    for (const xml::Attribute& a : attrs)
        if (a.name == name) return &a.value;
    return nullptr;
}

// Builds the operator list from the reader's events. Only the elements it
// knows, at the places the list's format puts them, are looked at; the rest
// (CDMA data, balance checks, voicemail) pass by.
class ProviderList final : public xml::Handler {
public:
    std::vector<Operator> operators;

    bool start(std::string_view name, const std::vector<xml::Attribute>& attrs) override {
        bool root = path_.empty();
        std::string parent = root ? std::string() : path_.back();
        path_.emplace_back(name);
        target_ = nullptr;
        if (root) {
            if (name != "serviceproviders") return stop("the root element is <" + std::string(name) +
                                                        ">, not <serviceproviders>");
        } else if (parent == "serviceproviders" && name == "country") {
            const std::string* code = attribute(attrs, "code");
            country_ = code ? lower(*code) : std::string();
            country_name_.clear();
        } else if (parent == "country" && name == "name") {
            if (country_name_.empty()) collect(&country_name_);
        } else if (parent == "country" && name == "provider") {
            if (operators.size() >= kMaxOperators) return stop("more than " + std::to_string(kMaxOperators) + " operators");
            op_ = Operator{};
            op_.country = country_;
            op_.country_name = country_name_;
            const std::string* primary = attribute(attrs, "primary");
            op_.primary = primary && *primary == "true";
            named_in_lang_ = false;
        } else if (parent == "provider" && name == "name") {
            // The name without a language tag is the operator's own.
            bool tagged = attribute(attrs, "xml:lang") != nullptr;
            if (op_.name.empty() || (named_in_lang_ && !tagged)) {
                named_in_lang_ = tagged;
                op_.name.clear();
                collect(&op_.name);
            }
        } else if (parent == "gsm" && name == "network-id") {
            const std::string* mcc = attribute(attrs, "mcc");
            const std::string* mnc = attribute(attrs, "mnc");
            if (mcc && mnc && mcc->size() == 3 && all_digits(*mcc) && (mnc->size() == 2 || mnc->size() == 3) &&
                all_digits(*mnc)) {
                if (op_.networks.size() >= kMaxNetworks) return stop("an operator with too many networks");
                op_.networks.push_back(*mcc + *mnc);
            }
        } else if (parent == "gsm" && name == "apn") {
            const std::string* value = attribute(attrs, "value");
            apn_ = OperatorMms{};
            apn_.apn = value ? trimmed(*value) : std::string();
            apn_for_mms_ = false;
        } else if (parent == "apn") {
            if (name == "usage") {
                const std::string* type = attribute(attrs, "type");
                if (type && type->compare(0, 3, "mms") == 0) apn_for_mms_ = true;
            } else if (name == "name") {
                collect(&apn_.title);
            } else if (name == "username") {
                collect(&apn_.login);
            } else if (name == "password") {
                collect(&apn_.password);
            } else if (name == "mmsc") {
                collect(&apn_.url);
            } else if (name == "mmsproxy") {
                collect(&apn_.proxy);
            }
        }
        return true;
    }

    bool end(std::string_view name) override {
        if (target_) *target_ = trimmed(*target_);
        target_ = nullptr;
        path_.pop_back();
        const std::string* parent = path_.empty() ? nullptr : &path_.back();
        if (!parent) return true;
        if (*parent == "gsm" && name == "apn") {
            if (apn_for_mms_ || !apn_.url.empty()) {
                if (op_.mms.size() >= kMaxAccessPoints) return stop("an operator with too many access points");
                op_.mms.push_back(std::move(apn_));
            }
        } else if (*parent == "country" && name == "provider") {
            operators.push_back(std::move(op_));
        }
        return true;
    }

    bool text(std::string_view t) override {
        if (!target_) return true;
        if (target_->size() + t.size() > 4096) return stop("an operator setting longer than 4096 bytes");
        target_->append(t);
        return true;
    }

    std::string stop_reason() const override { return reason_; }

private:
    bool stop(std::string why) {
        reason_ = std::move(why);
        return false;
    }
    void collect(std::string* into) {
        into->clear();
        target_ = into;
    }

    std::vector<std::string> path_;
    std::string* target_ = nullptr;
    std::string country_, country_name_;
    Operator op_;
    bool named_in_lang_ = false;
    OperatorMms apn_;
    bool apn_for_mms_ = false;
    std::string reason_;
};

std::string read_error(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0)
        return "the operator database " + path + " is missing (install the package " + kOperatorDatabasePackage + ")";
    if (S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) > kOperatorDatabaseMaxBytes)
        return "the operator database " + path + " is larger than " +
               std::to_string(kOperatorDatabaseMaxBytes >> 20) + " MiB: not read";
    return "the operator database " + path + " cannot be read (not a readable regular file)";
}

}  // namespace

std::shared_ptr<const OperatorDatabase> OperatorDatabase::parse(std::string_view text, std::string& error) {
    ProviderList list;
    xml::Limits limits;
    limits.max_bytes = kOperatorDatabaseMaxBytes;
    limits.max_elements = 500000;
    if (!xml::read(text, list, error, limits)) return nullptr;
    auto db = std::make_shared<OperatorDatabase>();
    db->operators_ = std::move(list.operators);
    for (size_t i = 0; i < db->operators_.size(); ++i)
        for (const std::string& n : db->operators_[i].networks) db->networks_.emplace_back(n, i);
    std::sort(db->networks_.begin(), db->networks_.end());
    db->networks_.erase(std::unique(db->networks_.begin(), db->networks_.end()), db->networks_.end());
    return db;
}

std::vector<const Operator*> OperatorDatabase::by_network(std::string_view network) const {
    auto lo = std::lower_bound(networks_.begin(), networks_.end(), network,
                               [](const auto& e, std::string_view n) { return e.first < n; });
    std::vector<size_t> found;
    for (auto it = lo; it != networks_.end() && it->first == network; ++it) found.push_back(it->second);
    std::stable_sort(found.begin(), found.end(),
                     [this](size_t a, size_t b) { return operators_[a].primary && !operators_[b].primary; });
    std::vector<const Operator*> out;
    out.reserve(found.size());
    for (size_t i : found) out.push_back(&operators_[i]);
    return out;
}

bool Operator::named_like(std::string_view part) const {
    return part.empty() || lower(name).find(lower(part)) != std::string::npos;
}

std::vector<const Operator*> OperatorDatabase::by_country(std::string_view country, std::string_view name_part) const {
    std::string code = lower(country);
    std::vector<const Operator*> out;
    for (const Operator& op : operators_)
        if (op.country == code && op.named_like(name_part)) out.push_back(&op);
    return out;
}

std::shared_ptr<const OperatorDatabase> operator_database(const std::string& path, std::string& error) {
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<const OperatorDatabase>> parsed;
    std::lock_guard lock(mutex);
    auto it = parsed.find(path);
    if (it != parsed.end()) return it->second;
    std::optional<std::string> text = platform::fs::read_file(path, kOperatorDatabaseMaxBytes);
    if (!text) {
        error = read_error(path);
        return nullptr;
    }
    std::string why;
    std::shared_ptr<const OperatorDatabase> db = OperatorDatabase::parse(*text, why);
    if (!db) {
        error = "the operator database " + path + " is damaged: " + why;
        return nullptr;
    }
    parsed.emplace(path, db);
    return db;
}

std::string operator_database_path() {
    std::string env = platform::get_env("OVRINSMS_OPERATOR_DB");
    return env.empty() ? std::string(kOperatorDatabasePath) : env;
}

bool valid_network(std::string_view network) {
    return (network.size() == 5 || network.size() == 6) && all_digits(network);
}

std::vector<std::string> networks_of_imsi(std::string_view imsi) {
    if (imsi.size() < 6 || imsi.size() > 15 || !all_digits(imsi)) return {};
    return {std::string(imsi.substr(0, 6)), std::string(imsi.substr(0, 5))};
}

std::string network_of_cops_reply(std::string_view reply) {
    size_t p = reply.find("+COPS:");
    if (p == std::string_view::npos) return {};
    std::string_view rest = reply.substr(p + 6);
    // mode, format, "operator"[, access technology]
    size_t c1 = rest.find(',');
    if (c1 == std::string_view::npos) return {};
    size_t c2 = rest.find(',', c1 + 1);
    if (c2 == std::string_view::npos) return {};
    std::string format = trimmed(std::string(rest.substr(c1 + 1, c2 - c1 - 1)));
    if (format != "2") return {};
    size_t q1 = rest.find('"', c2 + 1);
    size_t q2 = q1 == std::string_view::npos ? q1 : rest.find('"', q1 + 1);
    if (q2 == std::string_view::npos) return {};
    std::string_view network = rest.substr(q1 + 1, q2 - q1 - 1);
    return valid_network(network) ? std::string(network) : std::string();
}

std::vector<std::string> ReadModemNetworks(ModemAccess& acc, const std::string& modem_name) {
    OpenChannel ch = OpenModemPort(acc, modem_name, "");
    if (!ch.valid()) return {};
    platform::CommPort& port = *ch.port;
    auto ask = [&](const char* command) {
        std::string reply;
        if (SendModemCommand(acc, port, command)) ReadModemResponse(acc, port, reply, kResponseBuffer, 5);
        return reply;
    };
    std::vector<std::string> out;
    std::string imsi = ask("AT+CIMI\r");
    if (IsOkResponse(imsi)) {
        // The IMSI is the reply's one run of digits.
        size_t b = imsi.find_first_of("0123456789");
        size_t e = b == std::string::npos ? b : imsi.find_first_not_of("0123456789", b);
        if (b != std::string::npos) out = networks_of_imsi(imsi.substr(b, e == std::string::npos ? e : e - b));
    }
    if (out.empty() && IsOkResponse(ask("AT+COPS=3,2\r"))) {
        std::string network = network_of_cops_reply(ask("AT+COPS?\r"));
        ask("AT+COPS=3,0\r");
        if (!network.empty()) out.push_back(network);
    }
    CloseChannel(acc, ch);
    return out;
}

}  // namespace ovr::modem
