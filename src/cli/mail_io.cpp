#include "cli/mail_io.h"

#include <istream>

namespace ovr::cli {

bool read_password(std::istream& in, std::string& password) {
    password.clear();
    constexpr size_t kMax = 1024;
    char c;
    bool any = false;
    while (in.get(c)) {
        any = true;
        if (c == '\n') break;
        if (password.size() < kMax) password += c;
    }
    if (!password.empty() && password.back() == '\r') password.pop_back();
    return any;
}

std::string box_line(const std::string& text) {
    std::string s = text;
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.pop_back();
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 32 || c == 127) c = ' ';
    return s;
}

pages::Context page_context(const Context& ctx, Ui& ui) {
    pages::Context pc;
    pc.dirs = ctx.dirs;
    pc.ini = ctx.ini;
    pc.ui = &ui;
    return pc;
}

std::optional<bool> yes_no(const std::string& value) {
    if (value == "yes") return true;
    if (value == "no") return false;
    return std::nullopt;
}

}  // namespace ovr::cli
