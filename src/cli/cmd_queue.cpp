// ovrinsmsctl queue ...: the message queues as the console sees them: counts,
// the rows of the four queue viewers, one parsed message file, and the test
// messages of the Test Message page.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <cstdio>
#include <optional>
#include <ostream>

#include "cli/cli.h"
#include "cli/diagnose.h"
#include "cli/console_ui.h"
#include "cli/json_text.h"
#include "config/text.h"
#include "pages/test_message.h"
#include "queue/test_result.h"
#include "platform/fs.h"
#include "platform/platform.h"
#include "queue/queue_list.h"
#include "queue/request_files.h"
#include "queue/sms_file.h"

namespace ovr::cli {
namespace {

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
            for (size_t k = 0; k < e.string_count(); ++k) ctx.out << (k ? ", " : "") << json_quote(e.string(k));
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
            ctx.out << (i ? ",\n " : "") << json_quote(fields[i].name) << ": "
                    << (fields[i].number ? fields[i].text : json_quote(fields[i].text));
        }
        ctx.out << "}\n";
        return 0;
    }
    for (const Field& f : fields) ctx.out << f.name << ": " << plain_cell(f.text) << "\n";
    return 0;
}

// A test message in its queue: what "send-test" prints, and where a follower
// of its result starts.
struct QueuedTest {
    std::string tag;         // TEST%04X
    std::string directory;   // the queue it went to, ending with "/"
    uint32_t tag_value = 0;
    queue::ResultSearch search;  // from where the day's log stood before the file
};

// Queues one test message as the Test Message page does; nothing after
// printing the reason.
std::optional<QueuedTest> queue_test(Context& ctx, bool mms, const std::string& number) {
    if (ensure_data_directory(ctx) != 0) return std::nullopt;
    auto platform = platform::make_platform();
    auto q = setup_of(ctx);
    uint32_t value = static_cast<uint32_t>(platform.clock->tick_ms());
    QueuedTest t{queue::test_tag(value), {}, value,
                 queue::ResultSearch(mms ? queue::TestKind::Mms : queue::TestKind::Sms, ctx.dirs.program_data,
                                     queue::test_tag(value), platform.clock->local_now())};
    if (!mms) {
        t.directory = queue::ResolveOutboundSmsQueue(q);
        if (!queue::WriteSmsRequest(q, t.tag, number)) {
            failure(ctx, "cannot queue the SMS request: " + unwritable_reason(t.directory + t.tag + ".REQ"));
            return std::nullopt;
        }
        queue::SignalSmsQueued(q);
        return t;
    }
    const std::string tmpl = queue::mms_template_path(q);
    t.directory = queue::ResolveOutboundMmsQueue(q);
    switch (queue::WriteMmsRequest(q, t.tag, number)) {
    case queue::MmsRequestResult::TemplateMissing: {
        std::string why = unreadable_reason(tmpl).value_or("cannot read " + tmpl);
        failure(ctx, why.rfind("no such file: ", 0) == 0 ? "MMS test template not found: " + tmpl
                                                          : "MMS test template: " + why);
        return std::nullopt;
    }
    case queue::MmsRequestResult::CreateFailed:
        failure(ctx, "cannot queue the MMS request: " + unwritable_reason(t.directory + t.tag + ".MMS"));
        return std::nullopt;
    case queue::MmsRequestResult::Ok:
        break;
    }
    queue::SignalMmsQueued(q);
    return t;
}

// The Test Message page's context in a shell: its boxes on standard error.
pages::Context page_context(const Context& ctx, platform::Platform& platform, Ui& ui) {
    pages::Context pc;
    pc.dirs = ctx.dirs;
    pc.ini = ctx.ini;
    pc.ui = &ui;
    pc.platform = &platform;
    return pc;
}

// Follows the test as the Test Message page does, printing each new status
// line: 0 once it was sent, 1 on an error, no result or the time-out.
int wait_for_test(Context& ctx, bool mms, QueuedTest t, size_t timeout_s) {
    auto platform = platform::make_platform();
    ConsoleUi ui(ctx.err, false);
    pages::Context pc = page_context(ctx, platform, ui);
    auto& test = mms ? pc.tests.mms : pc.tests.sms;
    test.pending = true;
    test.tag_value = t.tag_value;
    test.search = std::move(t.search);
    pages::TestMessagePage page(pc);
    std::string shown[2];
    auto print_new = [&] {
        const pages::Label* lines[2] = {mms ? &page.mms_status() : &page.sms_status(),
                                        mms ? &page.mms_detail() : &page.sms_detail()};
        bool first_changed = lines[0]->text != shown[0];
        for (int i = 0; i < 2; ++i) {
            if (lines[i]->text == shown[i] && !(i == 1 && first_changed)) continue;
            shown[i] = lines[i]->text;
            if (!shown[i].empty()) ctx.out << shown[i] << "\n" << std::flush;
        }
    };
    const uint64_t start = platform.clock->tick_ms();
    for (;;) {
        page.tick();
        print_new();
        if (!test.pending && !test.searching) break;
        if (platform.clock->tick_ms() - start >= timeout_s * 1000)
            return failure(ctx, "no result for " + t.tag + " within " + std::to_string(timeout_s) + " s");
        platform.clock->sleep_ms(1000);
    }
    if (shown[0] == "Status:  OK -- Message Sent") return 0;
    if (shown[0].empty()) return failure(ctx, "no result for " + t.tag + " in the daily log");
    return 1;
}

int run_send_test(Context& ctx, const Invocation& inv) {
    const std::string& number = inv.arg(1);
    if (!queue::is_valid_phone_number(number))
        return usage_error(ctx, "the phone number is an optional \"+\" and digits only, not \"" + number + "\"");
    size_t timeout_s = 300;
    if (inv.has("--timeout") && (!parse_size(inv.value("--timeout"), timeout_s) || timeout_s == 0))
        return usage_error(ctx, "--timeout takes a number of seconds above 0, not \"" + inv.value("--timeout") + "\"");
    std::optional<QueuedTest> t = queue_test(ctx, inv.arg(0) == "mms", number);
    if (!t) return 1;
    std::string dir = t->directory;
    if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    ctx.out << "queued " << t->tag << " in " << dir << "\n";
    if (!inv.has("--wait")) return 0;
    return wait_for_test(ctx, inv.arg(0) == "mms", std::move(*t), timeout_s);
}

// "TEST" and four hexadecimal digits, any letter case: the tag's value.
std::optional<uint32_t> parse_test_tag(const std::string& tag) {
    if (tag.size() != 8 || !config::equal_ignoring_case(tag.substr(0, 4), "TEST")) return std::nullopt;
    uint32_t value = 0;
    for (char c : tag.substr(4)) {
        char u = config::upper_char(c);
        int digit = u >= '0' && u <= '9' ? u - '0' : u >= 'A' && u <= 'F' ? u - 'A' + 10 : -1;
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return value;
}

// The Test Message page's Cancel for one queued test: 0 once this cancel
// deleted its files, 1 when it was no longer queued or a file stayed.
int run_cancel_test(Context& ctx, const Invocation& inv) {
    bool mms = inv.arg(0) == "mms";
    std::optional<uint32_t> value = parse_test_tag(inv.arg(1));
    if (!value)
        return usage_error(ctx, "TAG is the tag send-test printed, \"TEST\" and four hexadecimal digits, not \"" +
                                    inv.arg(1) + "\"");
    auto platform = platform::make_platform();
    ConsoleUi ui(ctx.err, false);
    pages::Context pc = page_context(ctx, platform, ui);
    auto q = setup_of(ctx);
    std::string tag = queue::test_tag(*value);
    std::string dir = mms ? queue::ResolveOutboundMmsQueue(q) : queue::ResolveOutboundSmsQueue(q);
    std::string message = dir + tag + (mms ? ".MMS" : ".REQ");
    if (!platform::fs::exists(message))
        return failure(ctx, tag + " is not in the outbound " + (mms ? "MMS" : "SMS") + " queue " +
                                dir.substr(0, dir.size() - 1) + ": it was sent or withdrawn already");
    auto& test = mms ? pc.tests.mms : pc.tests.sms;
    test.pending = true;
    test.tag_value = *value;
    pages::TestMessagePage page(pc);
    page.set_command_line_mode(true);
    pages::TestMessagePage::CancelOutcome outcome = page.press_cancel();
    std::string why;
    for (const std::string& f : outcome.left) {
        // Asked once more, for the system's reason; a file that goes now is gone.
        if (::unlink(f.c_str()) == 0) {
            outcome.withdrawn.push_back(f);
            continue;
        }
        why += (why.empty() ? "" : "; ") + std::string("cannot delete ") + f + ": " + std::strerror(errno);
    }
    if (!why.empty()) return failure(ctx, why);
    if (std::find(outcome.withdrawn.begin(), outcome.withdrawn.end(), message) == outcome.withdrawn.end())
        return failure(ctx, tag + " left the queue before it could be withdrawn: it was sent");
    ctx.out << "cancelled " << tag << "\n";
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
         "Without --sort the rows come in the viewer's first order. The plain output\n"
         "is a header line, one tab-separated row a line, and \"LOADED of TOTAL loaded\".\n"
         "--json prints {\"total\": N, \"loaded\": N, \"rows\": [[NAME, CELL, ...], ...]},\n"
         "the cells in the order of the plain output's header.\n"},
        {"parse", "FILE", "print the fields of an SMS request or received file", {kJson}, &run_parse,
         "--json prints one object with the same field names as the plain output;\n"
         "pid, dcs, binary, RetryCount and receipt_flags are numbers, the rest strings.\n"},
        {"send-test", "sms|mms NUMBER", "queue a test message as the Test Message page does",
         {{"--wait", nullptr, "follow it to its result, printing each new status line"},
          {"--timeout", "S", "give up waiting after S seconds (default 300)"}},
         &run_send_test,
         "Prints \"queued TAG in DIRECTORY\". The MMS is a copy of the template MMSTEST.MMS\n"
         "of the program directory. With --wait it then prints the page's status lines as\n"
         "they change (\"Status:  Waiting\", retries, ...) and the result from the daily\n"
         "log: exit 0 on \"Status:  OK -- Message Sent\", 1 on an error (\"Status:  ERROR\"\n"
         "and the reason), no result, or the time-out.\n"},
        {"cancel-test", "sms|mms TAG", "withdraw a queued test message, as the Test Message page's Cancel",
         {}, &run_cancel_test,
         "TAG is what send-test printed (TEST and four hexadecimal digits). Its request\n"
         "file (an MMS: the message and its companion) is deleted; when one cannot be,\n"
         "both services are stopped, it is deleted again, and they are started again.\n"
         "Prints \"cancelled TAG\" (exit 0); exit 1 when the test is no longer queued\n"
         "or a file stays, with the reason.\n"},
    },
});

}  // namespace
}  // namespace ovr::cli
