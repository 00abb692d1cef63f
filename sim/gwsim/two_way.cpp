#include "two_way.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "config/ini.h"
#include "config/text.h"
#include "keywords/table.h"
#include "platform/fs.h"
#include "queue/queue_dirs.h"

extern char** environ;

namespace ovr::gwsim {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

bool numbers_include(std::string_view numbers, std::string_view to) {
    if (numbers.empty()) return true;
    size_t start = 0;
    while (start <= numbers.size()) {
        size_t end = numbers.find_first_of(",; ", start);
        if (end == std::string_view::npos) end = numbers.size();
        if (numbers.substr(start, end - start) == to) return true;
        start = end + 1;
    }
    return false;
}

// A reply in the outbound queue under a fresh "2WAYnnnn.REQ".
std::string queue_reply(const config::Directories& dirs, const std::string& to, const std::string& data) {
    queue::QueueSetup q = queue::make_queue_setup(dirs, config::ini_paths_for(dirs));
    std::string dir = queue::ResolveOutboundSmsQueue(q);
    platform::fs::create_directories(dir);
    for (unsigned n = 0; n < 0x10000; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "2WAY%04X.REQ", n);
        if (queue::find_entry_ignoring_case(dir, name)) continue;
        std::string path = dir + name;
        // One line per value: the request file holds the text escaped.
        std::string text = "[SMS]\r\nPhoneNumber=" + to + "\r\nData=" + keywords::escape_line_breaks(data) + "\r\n";
        return platform::fs::write_file_atomic(path, text) ? path : std::string();
    }
    return {};
}

}  // namespace

std::optional<KeywordHit> match_keyword(const std::string& rirer_ini, const ReceivedSms& sms) {
    config::ini::Snapshot f = config::ini::snapshot(rirer_ini);
    std::string_view text = sms.text;
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    for (const std::string& entry : keywords::enumerate(f)) {
        keywords::EntryParts parts = keywords::split_entry(entry);
        const std::string& k = parts.keyword;
        if (k.empty() || text.size() < k.size() || !config::equal_ignoring_case(text.substr(0, k.size()), k)) continue;
        if (text.size() > k.size() && !is_blank(text[k.size()])) continue;
        if (!numbers_include(parts.numbers, sms.to)) continue;
        std::string_view rest = text.substr(k.size());
        while (!rest.empty() && is_blank(rest.front())) rest.remove_prefix(1);
        return KeywordHit{entry, keywords::load_actions(f, entry), std::string(rest)};
    }
    return std::nullopt;
}

std::string percent_encode(std::string_view text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
            c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string replace_fields(std::string_view text, const ReceivedSms& sms, std::string_view rest,
                           std::string (*encode)(std::string_view)) {
    const std::pair<std::string_view, std::string_view> fields[] = {
        {"@@SENDER@@", sms.from}, {"@@SMS@@", rest}, {"@@FULLSMS@@", sms.text}};
    std::string out;
    for (size_t i = 0; i < text.size();) {
        bool replaced = false;
        for (const auto& [name, value] : fields) {
            if (text.substr(i, name.size()) == name) {
                out += encode ? encode(value) : std::string(value);
                i += name.size();
                replaced = true;
                break;
            }
        }
        if (!replaced) out += text[i++];
    }
    return out;
}

std::vector<std::string> command_argv(std::string_view command, const ReceivedSms& sms, std::string_view rest) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < command.size()) {
        while (i < command.size() && is_blank(command[i])) ++i;
        if (i >= command.size()) break;
        std::string word;
        bool quoted = false;
        for (; i < command.size() && (quoted || !is_blank(command[i])); ++i) {
            if (command[i] == '"')
                quoted = !quoted;
            else
                word += command[i];
        }
        words.push_back(replace_fields(word, sms, rest));
    }
    return words;
}

CommandRun run_command(const std::vector<std::string>& argv, platform::Clock& clock, uint32_t limit_ms) {
    CommandRun r;
    if (argv.empty()) return r;
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return r;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        return r;
    }
    r.started = true;
    uint64_t deadline = clock.tick_ms() + limit_ms;
    char buf[4096];
    for (;;) {
        uint64_t now = clock.tick_ms();
        if (now >= deadline) {
            r.timed_out = true;
            break;
        }
        pollfd p{out[0], POLLIN, 0};
        int ready = ::poll(&p, 1, static_cast<int>(std::min<uint64_t>(deadline - now, 100)));
        if (ready <= 0) continue;
        ssize_t n = ::read(out[0], buf, sizeof buf);
        if (n <= 0) break;
        size_t room = kOutputLimit - r.output.size();
        r.output.append(buf, std::min(static_cast<size_t>(n), room));
        if (r.output.size() >= kOutputLimit) break;
    }
    ::close(out[0]);
    if (r.timed_out || r.output.size() >= kOutputLimit) ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::vector<std::string> apply_two_way(const config::Directories& dirs, const ReceivedSms& sms,
                                       platform::Clock& clock) {
    std::vector<std::string> log;
    auto hit = match_keyword(config::ini_paths_for(dirs).rirer, sms);
    if (!hit) {
        log.push_back("no keyword matches");
        return log;
    }
    log.push_back("keyword " + hit->entry);
    const keywords::Actions& a = hit->actions;
    if (a.send_reply) {
        std::string path = queue_reply(dirs, sms.from, a.reply_text);
        log.push_back(path.empty() ? "reply not queued" : "reply queued " + path);
    }
    if (a.include_file) log.push_back("reply file " + a.reply_file);
    if (a.run_command) {
        bool url = false;
        for (const char* scheme : {"http://", "https://", "httppost://", "httpspost://"})
            url = url || config::equal_ignoring_case(std::string_view(a.run).substr(0, std::string_view(scheme).size()),
                                                     scheme);
        if (url) {
            log.push_back("url " + replace_fields(a.run, sms, hit->rest, &percent_encode));
        } else {
            CommandRun run = run_command(command_argv(a.run, sms, hit->rest), clock);
            if (!run.started)
                log.push_back("command did not start");
            else if (run.timed_out)
                log.push_back("command timed out");
            else
                log.push_back("command exited " + std::to_string(run.status));
            if (run.started && a.run_send_response && !run.output.empty()) {
                std::string reply = run.output;
                while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) reply.pop_back();
                std::string path = queue_reply(dirs, sms.from, reply);
                log.push_back(path.empty() ? "output not queued" : "output queued " + path);
            }
        }
    }
    if (a.forward) log.push_back("forward to " + a.mail_to);
    if (a.add_list) log.push_back("add to list " + a.dlist_add);
    if (a.remove_list) log.push_back("remove from list " + a.dlist_remove);
    return log;
}

}  // namespace ovr::gwsim
