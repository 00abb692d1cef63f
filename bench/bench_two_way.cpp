// The 2-Way page's costs: find_php when no interpreter exists (beside the
// walk of the whole disk it replaces), loading the page and refilling its
// list with 1,000 keywords in a 1 MiB RIRER.INI (cache on and off), and
// removing the first of 1,000 keywords as one transaction against the
// key-by-key rewrites it replaces; converting 1,000 old ReceiveSMSCommand
// lines in one write against a profile write per converted key.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "config/ini.h"
#include "keywords/editing.h"
#include "keywords/table.h"
#include "nettest/php.h"
#include "pages/receive_page.h"
#include "platform/fs.h"

namespace ini = ovr::config::ini;
namespace kw = ovr::keywords;

namespace {

std::string scratch() {
    char tmpl[] = "/tmp/ovrbench2way.XXXXXX";
    return std::string(mkdtemp(tmpl)) + "/";
}

// 1,000 keywords with their sections, padded to about 1 MiB.
std::string thousand_keywords() {
    std::string text = "[RIRER]\r\nModem1=COM7:\r\nReceiveSMS=Yes\r\n[2Way-Keywords]\r\n";
    for (int i = 1; i <= 1000; ++i) text += "Keyword" + std::to_string(i) + "=WORD" + std::to_string(i) + "\r\n";
    for (int i = 1; i <= 1000; ++i) {
        text += "[2Way-Keyword-WORD" + std::to_string(i) + "]\r\nReplyText=" + std::string(600, 'r') +
                "\r\nRun=http://example.com/?q=@@SMS@@\r\nRunSendResponse=Yes\r\n" + "MailTo=" + std::string(300, 'm') +
                "@example.com\r\n";
    }
    return text;
}

void BM_FindPhpNoInterpreter(benchmark::State& state) {
    std::string dir = scratch();
    ovr::nettest::PhpSearch s;
    s.phprc = dir + "phprc";
    s.path = dir + "a:" + dir + "b:" + dir + "c";
    s.directories = {dir + "usr-local-bin/", dir + "usr-bin/", dir + "cgi-bin/", dir + "opt-php-bin/"};
    for (const auto& d : s.directories) ovr::platform::fs::create_directories(d);
    for (int i = 0; i < 2000; ++i) ovr::platform::fs::write_file_atomic(s.directories[1] + "tool" + std::to_string(i), "");
    std::string rirer = dir + "RIRER.INI";
    for (auto _ : state) benchmark::DoNotOptimize(ovr::nettest::find_php(rirer, s));
}
BENCHMARK(BM_FindPhpNoInterpreter)->Unit(benchmark::kMillisecond);

// The disk walk the lookup no longer does, once, for the comparison.
void BM_DiskWalkOnce(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(std::system("find / -xdev -iname php-cgi.exe >/dev/null 2>&1"));
}
BENCHMARK(BM_DiskWalkOnce)->Unit(benchmark::kMillisecond)->Iterations(1);

struct NoSite : ovr::pages::PageSite {
    void mark_changed(ovr::pages::PageModel&) override {}
    bool apply_all() override { return true; }
    bool query_unsaved() override { return false; }
    void set_wizard_buttons(ovr::pages::WizardButtons) override {}
    void press_button(ovr::pages::SheetButton) override {}
};

void BM_ReceivePageLoad(benchmark::State& state) {
    ini::set_cache_enabled(state.range(0) != 0);
    std::string dir = scratch();
    ovr::pages::Context ctx;
    ctx.dirs = {dir, dir + "private/", dir};
    ctx.ini = ovr::config::ini_paths_for(ctx.dirs);
    ovr::ScriptedUi ui;
    ctx.ui = &ui;
    ovr::platform::fs::write_file_atomic(ctx.ini.rirer, thousand_keywords());
    ovr::nettest::PhpSearch none;
    none.directories = {};
    NoSite site;
    for (auto _ : state) {
        ovr::pages::ReceivePage page(ctx, none);
        page.created(site);
        benchmark::DoNotOptimize(page.rows().size());
    }
    ini::set_cache_enabled(true);
}
BENCHMARK(BM_ReceivePageLoad)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// Removal of the first keyword: the entries after it shift down one number.
void BM_RemoveFirstOfThousand(benchmark::State& state) {
    const bool per_key = state.range(0) != 0;
    std::string dir = scratch();
    std::string rirer = dir + "RIRER.INI";
    const std::string text = thousand_keywords();
    for (auto _ : state) {
        state.PauseTiming();
        ovr::platform::fs::write_file_atomic(rirer, text);
        state.ResumeTiming();
        if (per_key) {
            // One profile write per shifted key, as before transactions.
            for (int n = 1;; ++n) {
                std::string next = ini::read_string(rirer, kw::kTableSection, "Keyword" + std::to_string(n + 1), "", 1024);
                if (next.empty()) {
                    ini::remove_key(rirer, kw::kTableSection, "Keyword" + std::to_string(n));
                    break;
                }
                ini::write_string(rirer, kw::kTableSection, "Keyword" + std::to_string(n), next);
            }
        } else {
            kw::remove_entry(rirer, "WORD1");
        }
    }
}
BENCHMARK(BM_RemoveFirstOfThousand)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3);

// The start's conversion of an old table of 1,000 lines.
void BM_MigrateThousandOldLines(benchmark::State& state) {
    const bool per_key = state.range(0) != 0;
    std::string dir = scratch();
    std::string rirer = dir + "RIRER.INI";
    std::string text = "[RIRER]\r\nModem1=COM7:\r\n";
    for (int n = 1; n <= 1000; ++n)
        text += "ReceiveSMSCommand" + std::to_string(n) + "=WORD" + std::to_string(n) + "\treplytext:" +
                std::string(200, 'r') + "\tYes\r\n";
    for (auto _ : state) {
        state.PauseTiming();
        ovr::platform::fs::write_file_atomic(rirer, text);
        ini::clear_cache();
        state.ResumeTiming();
        if (per_key) {
            // Three profile writes per line, as the conversion was first made.
            for (int n = 1; n <= 1000; ++n) {
                std::string word = "WORD" + std::to_string(n);
                ini::write_string(rirer, kw::kTableSection, "Keyword" + std::to_string(n), word);
                ini::write_string(rirer, kw::section_name(word), "ReplyText", std::string(200, 'r'));
                ini::write_string(rirer, kw::section_name(word), "RunSendResponse", "Yes");
            }
            ini::write_string(rirer, kw::kTableSection, "NewFormat", "Yes");
        } else {
            kw::migrate(rirer);
        }
    }
}
BENCHMARK(BM_MigrateThousandOldLines)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
