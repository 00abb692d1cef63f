// What the SMS gateway service does with a received SMS under the two-way
// keyword table: the first entry whose keyword begins the text (as a whole
// word, letter case ignored) and whose receive numbers, if any, include the
// number it came in on, has its actions applied. A text reply is queued to
// the sender; a URL to run gets the replacements percent-encoded; a local
// command is split into words and run from an argv with the replacements
// made inside each word, never through a shell, bounded in time and output;
// its output is queued as a reply when asked. Forwarding and distribution
// lists are only logged.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/directories.h"
#include "keywords/editing.h"
#include "platform/clock.h"

namespace ovr::gwsim {

struct ReceivedSms {
    std::string from;
    std::string to;
    std::string text;
};

struct KeywordHit {
    std::string entry;
    keywords::Actions actions;
    std::string rest;   // the text after the keyword (@@SMS@@)
};
std::optional<KeywordHit> match_keyword(const std::string& rirer_ini, const ReceivedSms& sms);

// "@@SENDER@@", "@@SMS@@" and "@@FULLSMS@@" replaced, each value passed
// through `encode` first.
std::string replace_fields(std::string_view text, const ReceivedSms& sms, std::string_view rest,
                           std::string (*encode)(std::string_view) = nullptr);
std::string percent_encode(std::string_view text);
// Words split at blanks ("..." keeps blanks inside one word, the quotes
// dropped), then the fields replaced inside each word.
std::vector<std::string> command_argv(std::string_view command, const ReceivedSms& sms, std::string_view rest);

inline constexpr uint32_t kCommandLimitMs = 10000;
inline constexpr size_t kOutputLimit = 64 * 1024;
struct CommandRun {
    bool started = false;
    bool timed_out = false;
    int status = -1;
    std::string output;   // stdout and stderr, at most kOutputLimit bytes
};
CommandRun run_command(const std::vector<std::string>& argv, platform::Clock& clock,
                       uint32_t limit_ms = kCommandLimitMs);

// Applies the table to one received SMS; the lines say what was done.
std::vector<std::string> apply_two_way(const config::Directories& dirs, const ReceivedSms& sms,
                                       platform::Clock& clock);

}  // namespace ovr::gwsim
