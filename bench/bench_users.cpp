// The Users page at 10,000 users (a 5.2 MB user file), each beside its floor:
// - opening the page (the user file opened and counted) and reading the 40
//   rows a window shows, against reading the file's bytes (open, read, close);
// - deleting 1,000 selected users (their records, MM7/EAIF accounts and
//   routing keys, and with folders:1 their 1,000 USERS/ folders),
//   against writing the 5.2 MB once with fsync, and the folders against
//   removing 1,000 empty folders (the file system's floor).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <set>

#include "bench/users_fixture.h"
#include "config/ini.h"
#include "pages/users_page.h"
#include "platform/ui.h"

namespace {

using ovr::bench::UsersGateway;

UsersGateway& gateway() {
    static UsersGateway g;
    return g;
}

// The floor: the bytes read into a buffer of the file's size.
void BM_ReadUserFileBytes(benchmark::State& state) {
    UsersGateway& g = gateway();
    for (auto _ : state) {
        int fd = open(g.users_file.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (fd < 0 || fstat(fd, &st) != 0) state.SkipWithError("open failed");
        std::string bytes(static_cast<size_t>(st.st_size), '\0');
        if (read(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) state.SkipWithError("short read");
        close(fd);
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_ReadUserFileBytes)->Unit(benchmark::kMillisecond);

void BM_UsersPageOpenCountAnd40Rows(benchmark::State& state) {
    UsersGateway& g = gateway();
    ovr::pages::NullPageSite site;
    for (auto _ : state) {
        ovr::pages::UsersPage page(g.ctx);
        page.created(site);
        if (page.row_count() != ovr::bench::kUsers) state.SkipWithError("wrong count");
        size_t chars = 0;
        for (uint32_t r = 0; r < 40; ++r) chars += page.cell(r, 0).size() + page.cell(r, 1).size();
        benchmark::DoNotOptimize(chars);
    }
}
BENCHMARK(BM_UsersPageOpenCountAnd40Rows)->Unit(benchmark::kMillisecond);

void BM_WriteUserFileWithFsync(benchmark::State& state) {
    UsersGateway& g = gateway();
    const std::string path = g.data + "written.DAT";
    for (auto _ : state) {
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        bool ok = fd >= 0 && write(fd, g.user_bytes.data(), g.user_bytes.size()) ==
                                 static_cast<ssize_t>(g.user_bytes.size());
        ok = ok && fsync(fd) == 0;
        if (fd >= 0) close(fd);
        if (!ok) state.SkipWithError("write failed");
    }
    unlink(path.c_str());
}
BENCHMARK(BM_WriteUserFileWithFsync)->Unit(benchmark::kMillisecond);

// The file system's own floor of removing the deleted users' folders.
void BM_RemoveThousandEmptyFolders(benchmark::State& state) {
    UsersGateway& g = gateway();
    const std::string base = g.data + "floor/";
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < 1000; ++i) ovr::platform::fs::create_directories(base + ovr::bench::user_name(i));
        state.ResumeTiming();
        for (int i = 0; i < 1000; ++i)
            if (rmdir((base + ovr::bench::user_name(i)).c_str()) != 0) state.SkipWithError("rmdir failed");
    }
}
BENCHMARK(BM_RemoveThousandEmptyFolders)->Unit(benchmark::kMillisecond)->Iterations(3);

// Every tenth row selected; with folders:1 each of them has a USERS/ folder.
void BM_DeleteThousandOfTenThousandUsers(benchmark::State& state) {
    UsersGateway& g = gateway();
    const bool folders = state.range(0) != 0;
    ovr::ScriptedUi ui;  // answers Yes to "Delete 1000 users?"
    g.ctx.ui = &ui;
    ovr::pages::NullPageSite site;
    for (auto _ : state) {
        state.PauseTiming();
        g.restore(folders);
        auto page = std::make_unique<ovr::pages::UsersPage>(g.ctx);
        page->created(site);
        std::set<uint32_t> rows;
        for (uint32_t r = 0; r < ovr::bench::kUsers; r += 10) rows.insert(r);
        page->set_selection(std::move(rows));
        state.ResumeTiming();
        page->press_delete();
        state.PauseTiming();
        if (page->row_count() != 9000 ||
            ovr::config::ini::read_string(g.ctx.ini.rirer, "Inbound SMS Routing", "user00010", "-") != "-" ||
            ovr::platform::fs::exists(g.data + "USERS/user00010"))
            state.SkipWithError("not all deleted");
        page.reset();
        state.ResumeTiming();
    }
    g.ctx.ui = nullptr;
}
BENCHMARK(BM_DeleteThousandOfTenThousandUsers)->ArgName("folders")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
