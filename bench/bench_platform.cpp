// The real host's backends against the simulated ones.
// - StatusTick/systemd and StatusTick/simulated: a Status page tick with both
//   services running, on systemd over a private bus (the scripted manager of
//   the tests; "calls" counts the calls it answers per tick: one look at both
//   units) and on the simulated manager. Aim: under 2 ms median on the bus.
// - JournalViewer and JournalctlExport: the event log viewer reading a
//   journal of 100,000 entries, 1,000 of them the gateway's, against
//   journalctl exporting the same entries of the same file. Aim: within 1.5x.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "pages/event_log_viewer.h"
#include "pages/status_page.h"
#include "platform/fs.h"
#include "running_gateway.h"
#include "service/control.h"
#include "support/journal_files.h"
#include "support/scratch.h"
#include "support/systemd_bus.h"

extern char** environ;

namespace fs = ovr::platform::fs;
using namespace ovr;

namespace {

// A gateway whose two services run, behind either manager.
struct Gateway {
    test::ScratchDir dir;
    std::unique_ptr<test::SystemdBus> bus;
    std::map<std::string, int> held;  // the run locks the simulated "programs" hold
    platform::Platform p;
    ScriptedUi ui;
    pages::Context ctx;
    bench::NullSite site;
    std::unique_ptr<pages::StatusPage> page;

    explicit Gateway(bool systemd) {
        std::string data = dir.path() + "data/", priv = dir.path() + "private/", bin = dir.path() + "bin/";
        for (const auto& d : {data, priv, bin, dir.path() + "units/"}) fs::create_directories(d);
        auto clock = std::make_shared<platform::FakeClock>(platform::LocalTime{2026, 1, 20, 12, 0, 0, 0, 2});
        p = platform::make_sim_platform(dir.path() + "sim/", clock);
        if (systemd) {
            bus = std::make_unique<test::SystemdBus>(dir.path() + "units/");
            if (!bus->ok()) return;
            for (const char* unit : {"OvrinSMS.service", "OvrinMMSC.service"})
                bus->set_unit(unit, {"loaded", "active", "running", true});
            platform::SystemdOptions o;
            o.bus_address = bus->address();
            o.unit_dir = dir.path() + "units/";
            p.services = platform::make_systemd_service_manager(o);
        } else {
            bench::install_running_sim_services(p, bin, ui, held);
        }
        ctx.dirs = {data, priv, bin};
        ctx.ini = config::ini_paths_for(ctx.dirs);
        test::write_text(ctx.ini.rirer, "[RIRER]\r\nModem1=COM7:\r\n");
        ctx.ui = &ui;
        ctx.platform = &p;
        page = std::make_unique<pages::StatusPage>(ctx, bin);
        page->created(site);
    }
    ~Gateway() {
        page.reset();
        for (auto& [name, fd] : held) close(fd);
    }
    bool running() const { return page->service_status().text == "Service is Active"; }
};

void StatusTick(benchmark::State& state) {
    Gateway g(state.range(0) != 0);
    if (g.bus && !g.bus->ok()) return state.SkipWithError(g.bus->error().c_str());
    if (!g.running()) return state.SkipWithError("the services do not show as running");
    g.page->tick();  // the queues were just counted: not due again
    const size_t calls = g.bus ? g.bus->calls().size() : 0;
    for (auto _ : state) g.page->tick();
    if (g.bus)
        state.counters["calls"] = benchmark::Counter(double(g.bus->calls().size() - calls) / double(state.iterations()));
    state.SetLabel(state.range(0) ? "systemd, private bus" : "simulated manager");
}

// 100,000 entries of a busy machine, every hundredth one the gateway's.
struct BigJournal {
    test::ScratchDir dir;
    std::string file = dir.path() + "system.journal";
    std::string error;
    BigJournal() {
        std::vector<test::JournalEntry> entries;
        const uint64_t t0 = 1780000000000000ull;
        for (int i = 0; i < 100000; ++i) {
            uint64_t t = t0 + uint64_t(i) * 1000;
            if (i % 100 == 50)
                entries.push_back({t, i % 200 == 50 ? "OvrinSMS" : "OvrinMMSC", "", i % 300 == 50 ? 3 : 6,
                                   "Message " + std::to_string(i) + " sent through COM7:"});
            else
                entries.push_back({t, "kernel", "", 6, "eth0: link is up, 1000 Mbps full duplex, entry " +
                                                           std::to_string(i)});
        }
        error = test::append_journal(file, entries);
    }
};

BigJournal& big_journal() {
    static BigJournal j;
    return j;
}

void JournalViewer(benchmark::State& state) {
    BigJournal& j = big_journal();
    if (!j.error.empty()) return state.SkipWithError(j.error.c_str());
    test::ScratchDir priv;
    platform::Platform p;
    p.event_log = platform::make_journal_event_log({{j.file}, {}});
    ScriptedUi ui;
    pages::Context ctx;
    ctx.platform = &p;
    ctx.ui = &ui;
    ctx.dirs.private_data = priv.path();
    size_t lines = 0;
    for (auto _ : state) {
        pages::EventLogViewer v(ctx);
        v.opened();
        lines = v.lines().size();
    }
    if (lines != 1000) state.SkipWithError("the viewer did not list the 1,000 entries");
    state.SetLabel("event log viewer, 1,000 lines");
}

void JournalctlExport(benchmark::State& state) {
    BigJournal& j = big_journal();
    if (!j.error.empty()) return state.SkipWithError(j.error.c_str());
    std::string file_arg = "--file=" + j.file;
    std::vector<std::string> args = {"journalctl", file_arg, "-o", "export", "SYSLOG_IDENTIFIER=OvrinSMS",
                                     "SYSLOG_IDENTIFIER=OvrinMMSC", "+", "_SYSTEMD_UNIT=OvrinSMS.service",
                                     "_SYSTEMD_UNIT=OvrinMMSC.service"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    for (auto _ : state) {
        pid_t pid;
        if (posix_spawnp(&pid, "journalctl", &fa, nullptr, argv.data(), environ) != 0) {
            state.SkipWithError("journalctl cannot be started");
            break;
        }
        int st = 0;
        waitpid(pid, &st, 0);
        if (!WIFEXITED(st) || WEXITSTATUS(st) != 0) {
            state.SkipWithError("journalctl failed");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&fa);
    state.SetLabel("journalctl -o export, same matches");
}

}  // namespace

BENCHMARK(StatusTick)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(JournalViewer)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(JournalctlExport)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
