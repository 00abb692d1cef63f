#include "nettest/php.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "config/ini.h"
#include "platform/fs.h"

namespace ovr::nettest {
namespace ini = config::ini;

namespace {

bool is_program(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string in_directory(std::string dir, const char* name) {
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir + name;
}

// "X.Y" of "php-cgiX.Y" as numbers, or nothing for any other name.
std::optional<std::pair<unsigned, unsigned>> version_of(std::string_view name) {
    constexpr std::string_view prefix = "php-cgi";
    if (name.substr(0, prefix.size()) != prefix) return std::nullopt;
    std::string_view rest = name.substr(prefix.size());
    size_t dot = rest.find('.');
    if (dot == 0 || dot == std::string_view::npos || dot + 1 == rest.size()) return std::nullopt;
    auto number = [](std::string_view digits) -> std::optional<unsigned> {
        if (digits.empty() || digits.size() > 4) return std::nullopt;
        unsigned n = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return std::nullopt;
            n = n * 10 + static_cast<unsigned>(c - '0');
        }
        return n;
    };
    auto major = number(rest.substr(0, dot));
    auto minor = number(rest.substr(dot + 1));
    if (!major || !minor) return std::nullopt;
    return std::pair{*major, *minor};
}

std::optional<std::string> highest_versioned(const std::string& dir) {
    std::optional<std::pair<unsigned, unsigned>> best;
    std::string found;
    platform::fs::scan_directory(dir, "php-cgi*", [&](std::string_view name, bool is_dir) {
        if (is_dir) return;
        auto v = version_of(name);
        if (!v || (best && *v <= *best)) return;
        std::string candidate = in_directory(dir, std::string(name).c_str());
        if (!is_program(candidate)) return;
        best = v;
        found = std::move(candidate);
    });
    if (!best) return std::nullopt;
    return found;
}

std::optional<std::string> search(const PhpSearch& s) {
    if (!s.phprc.empty()) {
        std::string p = in_directory(s.phprc, "php-cgi");
        if (is_program(p)) return p;
    }
    size_t start = 0;
    while (start <= s.path.size()) {
        size_t colon = s.path.find(':', start);
        if (colon == std::string::npos) colon = s.path.size();
        std::string_view element = std::string_view(s.path).substr(start, colon - start);
        while (!element.empty() && element.front() == ' ') element.remove_prefix(1);
        // An empty element would mean the current directory: not a place to
        // take an interpreter from.
        if (!element.empty()) {
            std::string p = in_directory(std::string(element), "php-cgi");
            if (is_program(p)) return p;
        }
        start = colon + 1;
    }
    for (const std::string& dir : s.directories) {
        std::string p = in_directory(dir, "php-cgi");
        if (is_program(p)) return p;
        if (auto v = highest_versioned(dir)) return v;
    }
    return std::nullopt;
}

}  // namespace

PhpSearch php_search_from_environment() {
    PhpSearch s;
    if (const char* v = std::getenv("PHPRC")) s.phprc = v;
    if (const char* v = std::getenv("PATH")) s.path = v;
    return s;
}

std::optional<std::string> find_php(const std::string& rirer_ini, const PhpSearch& s) {
    std::string stored = ini::read_string(rirer_ini, "RIRER", kPhpPathKey, "", 261);
    if (!stored.empty()) {
        if (is_program(stored)) return stored;
        ini::remove_key(rirer_ini, "RIRER", kPhpPathKey);
    }
    auto found = search(s);
    if (found) ini::write_string(rirer_ini, "RIRER", kPhpPathKey, *found);
    return found;
}

std::string php_directory(const std::string& rirer_ini, const std::string& program_data) {
    std::string dir = ini::read_string(rirer_ini, "RIRER", "PHPDir", "", 260);
    if (dir.empty()) return program_data + "PHP/";
    if (dir.back() != '/') dir += '/';
    return dir;
}

}  // namespace ovr::nettest
