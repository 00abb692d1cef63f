// The Status page's 1-second tick on a busy gateway: both services running
// with their shared memory, Modem1 to Modem201 in a 1 MiB RIRER.INI (a few
// with error files), every day counter present for this and last year.
// - StatusTick: an ordinary tick (the queues are not due for counting);
// - StatusTickWithQueueCount: a tick that also counts the two outbound queues
//   of 10,000 messages each;
// each with the INI engine's cache on and off, side by side. Aim: an
// ordinary tick under 2 ms.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <string>

#include "config/ini.h"
#include "running_gateway.h"
#include "pages/status_page.h"
#include "platform/fs.h"
#include "queue/queue_dirs.h"
#include "service/control.h"
#include "service/status.h"

namespace fs = ovr::platform::fs;
using namespace ovr;

namespace {

void write_file(const std::string& path, const std::string& text) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0755);
    if (fd < 0) std::abort();
    if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) std::abort();
    close(fd);
}

struct Gateway {
    std::string root, data, priv, bin;
    std::shared_ptr<platform::FakeClock> clock;
    platform::Platform p;
    std::map<std::string, int> held;  // the run locks the "programs" hold
    std::unique_ptr<platform::SharedBlock> sms_block, mmsc_block;
    ScriptedUi ui;
    pages::Context ctx;
    std::unique_ptr<pages::StatusPage> page;

    bench::NullSite site;

    Gateway() {
        char tmpl[] = "/tmp/ovrbench-status.XXXXXX";
        root = std::string(mkdtemp(tmpl)) + "/";
        data = root + "data/";
        priv = root + "private/";
        bin = root + "bin/";
        for (const auto& d : {data, priv, bin, priv + "STATS/"}) fs::create_directories(d);
        clock = std::make_shared<platform::FakeClock>(platform::LocalTime{2026, 1, 20, 12, 0, 0, 0, 2});
        p = platform::make_sim_platform(root + "sim/", clock);
        bench::install_running_sim_services(p, bin, ui, held);
        sms_block = p.shared_memory->create(service::kSmsBlockName, 64);
        mmsc_block = p.shared_memory->create(service::kMmscBlockName, 64);

        ctx.dirs = {data, priv, bin};
        ctx.ini = config::ini_paths_for(ctx.dirs);
        ctx.ui = &ui;
        ctx.platform = &p;

        // RIRER.INI of 1 MiB: the modem keys among the gateway's settings,
        // and the rest of the file in other sections.
        std::string ini = "[RIRER]\r\n";
        for (int i = 1; i <= 201; ++i)
            ini += "Modem" + std::to_string(i) + "=COM" + std::to_string(i) + ":\r\nSetting" + std::to_string(i) +
                   "=Some value of the gateway\r\n";
        for (int s = 0; ini.size() < (1u << 20); ++s) {
            ini += "[Section" + std::to_string(s) + "]\r\n";
            for (int k = 0; k < 40; ++k) ini += "Key" + std::to_string(k) + "=A value that fills the file up\r\n";
        }
        write_file(ctx.ini.rirer, ini);
        for (int i : {7, 50, 199}) write_file(service::modem_error_path(priv, "COM" + std::to_string(i) + ":"), "No answer");

        std::string counter(service::kCounterFileBytes, '\x05');
        for (const char* name : service::kCounterNames)
            for (int year : {2025, 2026}) write_file(service::counter_path(priv, name, year), counter);

        queue::QueueSetup q = queue::make_queue_setup(ctx.dirs, ctx.ini);
        std::string sms = queue::ResolveOutboundSmsQueue(q);
        std::string mms = queue::ResolveOutboundMmsQueue(q);
        for (int i = 0; i < 10000; ++i) {
            std::string n = "M" + std::to_string(100000 + i);
            write_file(sms + n + ".REQ", "To=+15550100\r\n");
            write_file(mms + n + ".MMS", "x");
            write_file(mms + n + ".INI", "[Route]\r\n");
        }
        page = std::make_unique<pages::StatusPage>(ctx, bin);
        page->created(site);
        if (page->service_status().text != "Service is Active" || page->sms_queue().count.text != "10000" ||
            page->mms_queue().count.text != "10000" || page->modem_information().text.empty())
            std::abort();
    }
    ~Gateway() {
        page.reset();
        for (auto& [name, fd] : held) close(fd);
        p.shared_memory->unlink(service::kSmsBlockName);
        p.shared_memory->unlink(service::kMmscBlockName);
        fs::recursive_delete(root);
    }
};

Gateway& gateway() {
    static Gateway g;
    return g;
}

void StatusTick(benchmark::State& state) {
    Gateway& g = gateway();
    config::ini::set_cache_enabled(state.range(0) != 0);
    g.page->tick();  // the queues were just counted: not due again
    for (auto _ : state) g.page->tick();
    config::ini::set_cache_enabled(true);
    state.SetLabel(state.range(0) ? "INI cache on" : "INI cache off");
}

void StatusTickWithQueueCount(benchmark::State& state) {
    Gateway& g = gateway();
    config::ini::set_cache_enabled(state.range(0) != 0);
    for (auto _ : state) {
        pages::StatusPage::forget_last_queue_count();
        g.page->tick();
    }
    config::ini::set_cache_enabled(true);
    state.SetLabel(state.range(0) ? "INI cache on" : "INI cache off");
}

}  // namespace

BENCHMARK(StatusTick)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(StatusTickWithQueueCount)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
