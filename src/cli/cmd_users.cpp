// ovrinsmsctl users ...: the gateway's user accounts as the Users page and
// the user dialog keep them: the same rules and messages, the same files
// (the user record, USERS/<name>, the "Inbound SMS Routing" key, the
// MM7/EAIF account). Passwords come only from standard input and are never
// printed.
#include <sys/stat.h>

#include <iostream>
#include <ostream>

#include "cli/cli.h"
#include "cli/console_ui.h"
#include "cli/diagnose.h"
#include "cli/json_text.h"
#include "config/record_file.h"
#include "config/settings.h"
#include "config/support.h"
#include "pages/user_dialog.h"
#include "pages/users_page.h"

namespace ovr::cli {
namespace {

using pages::UserBox;
using pages::UserText;

int list(Context& ctx, const Invocation& inv) {
    bool json = inv.has("--json");
    bool mm7 = inv.has("--mm7");
    config::UserFileHandle file;
    if (!config::open_user_file(ctx.dirs.program_data, config::kGenericRead, file))
        return failure(ctx, "cannot read the user file in " + ctx.dirs.program_data);
    // --mm7: the MMSC's MM7/EAIF accounts instead of the user records.
    config::RecordFile vasp(ctx.dirs.program_data + config::kVaspFileName, config::kVaspRecordSize, false);
    if (mm7 && !vasp.readable()) return failure(ctx, "cannot read " + vasp.path());
    if (json) ctx.out << "[";
    for (uint32_t i = 0;; ++i) {
        std::string name, full;
        if (mm7) {
            config::VaspRecord v;
            if (!vasp.get(i, v.bytes.data())) break;
            name = v.name();
            full = v.full_name();
        } else {
            config::UserRecord r;
            if (!config::SMSGetUserRecord(file, i, r)) break;
            name = r.name();
            full = r.full_name();
        }
        if (json)
            ctx.out << (i ? ", " : "") << "{\"name\": " << json_quote(name) << ", \"full_name\": " << json_quote(full)
                    << "}";
        else
            ctx.out << name << "\t" << full << "\n";
    }
    if (json) ctx.out << "]\n";
    config::SMSCloseUserFile(file);
    return 0;
}

// The program's view of the page: the same context the console gives it,
// with the boxes printed.
struct PageContext {
    ConsoleUi ui;
    pages::Context pc;
    explicit PageContext(Context& ctx) : ui(ctx.err, false) {
        pc.dirs = ctx.dirs;
        pc.ini = ctx.ini;
        pc.ui = &ui;
    }
};

void warn_if_readable(Context& ctx, const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && (st.st_mode & S_IROTH))
        ctx.err << "warning: " << path << " holds passwords and is readable by every user of this machine\n";
}

bool has_line_break(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

// Sets the dialog's fields from the options; 0, or the exit status after
// saying why.
int fill_dialog(Context& ctx, const Invocation& inv, pages::UserDialog& d) {
    auto set_box = [&](const char* option, UserBox b) {
        if (!inv.has(option)) return;
        bool on = inv.value(option) == "on";
        if (d.box(b).checked != on) d.click(b);
    };
    set_box("--web-login", UserBox::WebLogin);
    set_box("--smpp-login", UserBox::SmppLogin);
    set_box("--mm7-login", UserBox::Mm7Login);
    set_box("--accept-received", UserBox::AcceptReceived);
    if (inv.has("--admin")) {
        if (inv.value("--admin") == "on" && !d.box(UserBox::Admin).enabled)
            return usage_error(ctx, "--admin on needs web login");
        set_box("--admin", UserBox::Admin);
    }
    if (inv.has("--menu")) d.select_menu(inv.value("--menu") == "text-sms" ? 1 : 0);
    const std::pair<const char*, UserText> texts[] = {{"--rename", UserText::Name},
                                                      {"--full-name", UserText::FullName},
                                                      {"--allowed-ips", UserText::AllowedIps},
                                                      {"--recipients", UserText::Recipients}};
    for (auto [option, field] : texts) {
        if (!inv.has(option)) continue;
        const std::string& v = inv.value(option);
        if (has_line_break(v)) return usage_error(ctx, std::string(option) + " cannot hold a line break");
        if (!d.set_text(field, v)) return usage_error(ctx, std::string(option) + " is too long");
    }
    if (inv.has("--password-stdin")) {
        std::string pw;
        std::getline(std::cin, pw);
        if (!pw.empty() && pw.back() == '\r') pw.pop_back();
        if (has_line_break(pw)) return usage_error(ctx, "the password cannot hold a line break");
        if (!d.set_text(UserText::Password, pw))
            return usage_error(ctx, "the password is longer than " + std::to_string(pages::kPasswordBytes) + " bytes");
    }
    return 0;
}

int refused(const pages::UserDialog& d) { return d.refusal() == pages::UserDialog::Refusal::Taken ? 1 : 2; }

int open_file(Context& ctx, config::UserFileHandle& file) {
    if (ensure_data_directory(ctx) != 0) return 1;
    if (!config::open_user_file(ctx.dirs.program_data, config::kGenericRead | config::kGenericWrite, file))
        return failure(ctx, "cannot read the user file in " + ctx.dirs.program_data);
    return 0;
}

int add(Context& ctx, const Invocation& inv) {
    config::UserFileHandle file;
    if (int rc = open_file(ctx, file)) return rc;
    PageContext page(ctx);
    pages::UserDialog d(page.pc, file, config::UserRecord{});
    const std::string& name = inv.arg(0);
    if (has_line_break(name)) return usage_error(ctx, "the user name cannot hold a line break");
    if (!d.set_text(UserText::Name, name)) return usage_error(ctx, "the user name is too long");
    if (int rc = fill_dialog(ctx, inv, d)) return rc;
    if (!d.ok()) return refused(d);
    if (!config::SMSAddUser(file, d.record())) {
        d.undo_ok();
        return failure(ctx, "User " + d.record().name() + " could not be saved.");
    }
    warn_if_readable(ctx, ctx.dirs.program_data + config::kUserFileName);
    return 0;
}

int edit(Context& ctx, const Invocation& inv) {
    config::UserFileHandle file;
    if (int rc = open_file(ctx, file)) return rc;
    config::UserRecord rec;
    if (!config::SMSFindUserRecord(file, inv.arg(0), rec)) return failure(ctx, "no user " + inv.arg(0));
    PageContext page(ctx);
    pages::UserDialog d(page.pc, file, rec);
    if (int rc = fill_dialog(ctx, inv, d)) return rc;
    if (!d.ok()) return refused(d);
    if (!pages::store_edited_user(page.pc, file, d)) return 1;
    warn_if_readable(ctx, ctx.dirs.program_data + config::kUserFileName);
    return 0;
}

int show(Context& ctx, const Invocation& inv) {
    config::UserFileHandle file;
    if (!config::open_user_file(ctx.dirs.program_data, config::kGenericRead, file))
        return failure(ctx, "cannot read the user file in " + ctx.dirs.program_data);
    config::UserRecord rec;
    if (!config::SMSFindUserRecord(file, inv.arg(0), rec)) return failure(ctx, "no user " + inv.arg(0));
    PageContext page(ctx);
    pages::UserDialog d(page.pc, file, rec);
    auto onoff = [&](UserBox b) { return d.box(b).checked ? "on" : "off"; };
    const char* menu = d.menu() == 1 ? "text-sms" : d.menu() == 0 ? "all" : "(none)";
    ctx.out << "User Name: " << d.text(UserText::Name).text << "\n"
            << "Full Name: " << d.text(UserText::FullName).text << "\n"
            << "Web Login: " << onoff(UserBox::WebLogin) << "\n"
            << "Web Menu Options: " << menu << "\n"
            << "Admin Access: " << onoff(UserBox::Admin) << "\n"
            << "SMPP Login: " << onoff(UserBox::SmppLogin) << "\n"
            << "MM7/EAIF Login: " << onoff(UserBox::Mm7Login) << "\n"
            << "Restrict to IP Address(es): " << d.text(UserText::AllowedIps).text << "\n"
            << "Accept received messages: " << onoff(UserBox::AcceptReceived) << "\n"
            << "Recipient address(es): " << d.text(UserText::Recipients).text << "\n";
    return 0;
}

int remove(Context& ctx, const Invocation& inv) {
    config::UserFileHandle file;
    if (int rc = open_file(ctx, file)) return rc;
    std::vector<std::string> names;
    for (const std::string& n : inv.args()) {
        config::UserRecord rec;
        if (!config::SMSFindUserRecord(file, n, rec)) return failure(ctx, "no user " + n);
        names.push_back(rec.name());
    }
    if (!config::SMSDeleteUsers(file, names)) return failure(ctx, "User " + names.front() + " could not be deleted.");
    PageContext page(ctx);
    pages::delete_user_files(page.pc, names);
    return 0;
}

int web_auth(Context& ctx, const Invocation& inv) {
    if (inv.size() == 0) {
        ctx.out << (config::read_yes(ctx.ini.rirer, "RIRER", "WebAuth", "Yes") ? "on" : "off") << "\n";
        return 0;
    }
    if (ensure_data_directory(ctx) != 0) return 1;
    if (!config::write_yes_no(ctx.ini.rirer, "RIRER", "WebAuth", inv.arg(0) == "on"))
        return failure(ctx, unwritable_reason(ctx.ini.rirer));
    return 0;
}

const std::vector<Option> kUserOptions = {
    {"--full-name", "TEXT", "the full name (100 bytes)"},
    {"--allowed-ips", "TEXT", "restrict logins to these IP address(es) (49 bytes)"},
    {"--recipients", "TEXT", "recipient address(es) whose received SMS go to this user"},
    {"--web-login", "on|off", "web interface login"},
    {"--smpp-login", "on|off", "SMPP login"},
    {"--mm7-login", "on|off", "MM7/EAIF login (an account of the MMSC)"},
    {"--admin", "on|off", "may edit user accounts (needs web login)"},
    {"--accept-received", "on|off", "accept received messages for this user"},
    {"--menu", "all|text-sms", "web menu options"},
    {"--password-stdin", nullptr, "read the password (50 bytes) from the first line of standard input"},
};

std::vector<Option> with_rename() {
    std::vector<Option> v = kUserOptions;
    v.insert(v.begin(), Option{"--rename", "NEW", "give the user a new name"});
    return v;
}

Registrar reg({"users", "the gateway's user accounts",
               {{"list", "", "print each user's name and full name, separated by a tab",
                 {{"--json", nullptr, "print one JSON array"},
                  {"--mm7", nullptr, "list the MM7/EAIF accounts of the MMSC instead"}},
                 &list, "--json prints [{\"name\": NAME, \"full_name\": FULL_NAME}, ...].\n"},
                {"show", "NAME", "print a user's fields, one \"label: value\" line each (never the password)", {},
                 &show},
                {"add", "NAME", "add a user as the user dialog does", kUserOptions, &add,
                 "Refused as in the dialog: an empty or unusable name (\"/\", \"\\\", \"=\", control\n"
                 "characters, a leading \"[\" or \";\", outer blanks, \".\" and \"..\") exits 2, a name\n"
                 "already defined exits 1. A new user has web login on and all menu options.\n"},
                {"edit", "NAME", "change a user as the user dialog does", with_rename(), &edit,
                 "A rename moves USERS/NAME and the routing key, and the MM7/EAIF account.\n"},
                {"remove", "NAME...", "delete users with their directories, routing keys and MM7/EAIF accounts", {},
                 &remove},
                {"web-auth", "[on|off]", "print or set \"Require user login for web interface\"", {}, &web_auth}}});

}  // namespace
}  // namespace ovr::cli
