// ovrinsmsctl queue ...: the message queues as the console sees them: counts,
// the rows of the four queue viewers, one parsed message file, and the test
// messages of the Test Message page.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <ostream>

#include "cli/cli.h"
#include "cli/console_ui.h"
#include "platform/platform.h"
#include "queue/queue_list.h"
#include "queue/request_files.h"
#include "queue/sms_file.h"

namespace ovr::cli {
namespace {

// A JSON string: valid UTF-8 passes, any other byte stands for the Latin-1
// character of its value, control characters are escaped.
std::string json_string(std::string_view s) {
    std::string out = "\"";
    auto escape = [&](unsigned v) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04x", v);
        out += buf;
    };
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c == '\n') {
            out += "\\n", ++i;
        } else if (c == '\r') {
            out += "\\r", ++i;
        } else if (c == '\t') {
            out += "\\t", ++i;
        } else if (c < 0x20 || c == 0x7F) {
            escape(c), ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c), ++i;
        } else {
            size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
            bool ok = n > 0 && i + n <= s.size();
            for (size_t k = 1; ok && k < n; ++k) ok = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
            if (ok && n == 3) {
                unsigned c1 = static_cast<unsigned char>(s[i + 1]);
                ok = !(c == 0xE0 && c1 < 0xA0) && !(c == 0xED && c1 >= 0xA0);   // overlong, surrogate
            }
            if (ok && n == 4) {
                unsigned c1 = static_cast<unsigned char>(s[i + 1]);
                ok = !(c == 0xF0 && c1 < 0x90) && !(c == 0xF4 && c1 >= 0x90);
            }
            if (ok) {
                out.append(s.substr(i, n));
                i += n;
            } else {
                escape(c), ++i;
            }
        }
    }
    return out + "\"";
}

// Plain output keeps one row a line: line breaks and tabs inside a cell are
// shown as backslash sequences.
std::string plain_cell(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else out += c;
    }
    return out;
}

queue::QueueSetup setup_of(const Context& ctx) { return queue::make_queue_setup(ctx.dirs, ctx.ini); }

bool kind_of(const std::string& word, queue::ListKind& kind) {
    if (word == "outbound-sms") kind = queue::ListKind::OutboundSms;
    else if (word == "outbound-mms") kind = queue::ListKind::OutboundMms;
    else if (word == "received-sms") kind = queue::ListKind::ReceivedSms;
    else if (word == "received-mms") kind = queue::ListKind::ReceivedMms;
    else return false;
    return true;
}

int run_count(Context& ctx, const Invocation& inv) {
    auto q = setup_of(ctx);
    ctx.out << (inv.arg(0) == "sms" ? queue::CountOutboundSms(q) : queue::CountOutboundMms(q)) << "\n";
    return 0;
}

int run_list(Context& ctx, const Invocation& inv) {
    bool json = inv.has("--json");
    queue::ListKind kind{};
    kind_of(inv.arg(0), kind);
    int state = queue::initial_sort_state(kind);
    if (inv.has("--sort")) {
        std::string digits = inv.value("--sort");
        bool descending = false;
        if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
            descending = digits[0] == '-';
            digits.erase(0, 1);
        }
        size_t n = 0;
        if (!parse_size(digits, n) || n < 1 || n > static_cast<size_t>(queue::column_count(kind)))
            return usage_error(ctx, "--sort takes +N or -N with N from 1 to " +
                                        std::to_string(queue::column_count(kind)));
        state = descending ? -static_cast<int>(n) : static_cast<int>(n);
    }
    // Rows are ordered as the user's locale orders text.
    std::setlocale(LC_COLLATE, "");
    std::setlocale(LC_CTYPE, "");
    auto platform = platform::make_platform();
    queue::QueueList list = queue::list_queue(kind, setup_of(ctx), *platform.clock);
    queue::sort_list(list, queue::comparator_for(kind, state));

    if (json) {
        ctx.out << "{\"total\": " << list.total << ", \"loaded\": " << list.loaded() << ", \"rows\": [";
        for (size_t r = 0; r < list.entries.size(); ++r) {
            const auto& e = *list.entries[r];
            ctx.out << (r ? ",\n  [" : "\n  [");
            for (size_t k = 0; k < e.string_count(); ++k) ctx.out << (k ? ", " : "") << json_string(e.string(k));
            ctx.out << "]";
        }
        ctx.out << (list.entries.empty() ? "]}\n" : "\n]}\n");
        return 0;
    }
    ctx.out << "Name";
    for (const std::string& t : queue::column_titles(kind)) ctx.out << "\t" << t;
    ctx.out << "\n";
    for (const auto& e : list.entries) {
        for (size_t k = 0; k < e->string_count(); ++k) ctx.out << (k ? "\t" : "") << plain_cell(e->string(k));
        ctx.out << "\n";
    }
    ctx.out << list.loaded() << " of " << list.total << " loaded\n";
    return 0;
}

std::string time_text(const queue::SmsDateTime& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return buf;
}

int run_parse(Context& ctx, const Invocation& inv) {
    bool json = inv.has("--json");
    const std::string& path = inv.arg(0);
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return failure(ctx, "cannot open " + path);
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return failure(ctx, path + " is not a file");
    }
    auto rec = std::make_unique<queue::SmsFileRecord>();
    queue::ParseSmsFile(fd, *rec);
    close(fd);

    struct Field {
        const char* name;
        std::string text;
        bool number;
    };
    const queue::SmsFileRecord& r = *rec;
    const std::vector<Field> fields = {
        {"PhoneNumber", r.PhoneNumber, false},
        {"Sender", r.Sender, false},
        {"Data", r.Data, false},
        {"udh", r.udh, false},
        {"SubmittedBy", r.SubmittedBy, false},
        {"SubmitUser", r.SubmitUser, false},
        {"ServiceType", r.ServiceType, false},
        {"RouteToLocalUser", r.RouteToLocalUser, false},
        {"SMPPOptions", r.SMPPOptions, false},
        {"SMSCRoute", r.SMSCRoute, false},
        {"Validity", r.Validity, false},
        {"BillingInfo", r.BillingInfo, false},
        {"LastErrorInfo", r.LastErrorInfo, false},
        {"ModemName", r.ModemName, false},
        {"pid", std::to_string(r.pid), true},
        {"dcs", std::to_string(r.dcs), true},
        {"binary", std::to_string(r.binary), true},
        {"RetryCount", std::to_string(r.RetryCount), true},
        {"receipt_flags", std::to_string(r.receipt_flags), true},
        {"LastRetryTime", time_text(r.LastRetryTime), false},
        {"FirstAttemptTime", time_text(r.FirstAttemptTime), false},
        {"ReceiptMessageId", r.ReceiptMessageId, false},
        {"display_text", queue::display_text(r), false},
    };
    if (json) {
        ctx.out << "{";
        for (size_t i = 0; i < fields.size(); ++i) {
            ctx.out << (i ? ",\n " : "") << json_string(fields[i].name) << ": "
                    << (fields[i].number ? fields[i].text : json_string(fields[i].text));
        }
        ctx.out << "}\n";
        return 0;
    }
    for (const Field& f : fields) ctx.out << f.name << ": " << plain_cell(f.text) << "\n";
    return 0;
}

int run_send_test(Context& ctx, const Invocation& inv) {
    const std::string& number = inv.arg(1);
    if (!queue::is_valid_phone_number(number))
        return usage_error(ctx, "the phone number is an optional \"+\" and digits only");
    auto platform = platform::make_platform();
    ConsoleUi ui(ctx.err, false);
    auto q = setup_of(ctx);
    const std::string tag = queue::test_tag(platform.clock->tick_ms());
    if (inv.arg(0) == "sms") {
        if (!queue::WriteSmsRequest(q, tag, number)) {
            ui.message("Error creating SMS request file in queue", Icon::Error);
            return 1;
        }
        queue::SignalSmsQueued(q);
    } else {
        switch (queue::WriteMmsRequest(q, tag, number)) {
        case queue::MmsRequestResult::TemplateMissing:
            ui.message(queue::mms_template_path(q), Icon::Error, Buttons::Ok, "Error locating MMS message template file");
            return 1;
        case queue::MmsRequestResult::CreateFailed:
            ui.message("Error creating MMS request file in queue", Icon::Error);
            return 1;
        case queue::MmsRequestResult::Ok:
            break;
        }
        queue::SignalMmsQueued(q);
    }
    ctx.out << tag << "\n";
    return 0;
}

const Option kJson{"--json", nullptr, "print one JSON object"};

Registrar reg({
    "queue",
    "the message queues: counts, listings, message files, test messages",
    {
        {"count", "sms|mms", "print the number of messages in an outbound queue", {}, &run_count},
        {"list", "outbound-sms|outbound-mms|received-sms|received-mms", "print the rows of a queue viewer",
         {kJson, {"--sort", "K", "sort by column: +N ascending, -N descending (N = column + 1)"}}, &run_list,
         "Without --sort the rows come in the viewer's first order.\n"},
        {"parse", "FILE", "print the fields of an SMS request or received file", {kJson}, &run_parse},
        {"send-test", "sms|mms NUMBER", "queue a test message as the Test Message page does", {}, &run_send_test},
    },
});

}  // namespace
}  // namespace ovr::cli
