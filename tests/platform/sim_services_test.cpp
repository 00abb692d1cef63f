// The simulated service manager with the gateway simulator as its programs.
#include <gtest/gtest.h>

#include <signal.h>

#include "platform/fs.h"
#include "platform/platform.h"
#include "support/scratch.h"

namespace ovr::test {
namespace {

using platform::ServiceState;

struct Sim {
    explicit Sim(size_t root_length = 0) : Sim(root_length, 0) {}
    ScratchDir dir;
    std::string root;
    Sim(size_t root_length, int) : root(root_of(dir, root_length)) { open(); }
    // The scratch directory's "sim/", or a root of exactly that many characters.
    static std::string root_of(const ScratchDir& d, size_t length) {
        std::string r = d.path() + "sim";
        while (r.size() + 1 < length) r += r.size() % 100 == 0 ? '/' : 's';
        fs_mkdirs(r);
        return r + "/";
    }
    static void fs_mkdirs(const std::string& p) { platform::fs::create_directories(p); }
    std::shared_ptr<platform::ServiceManager> sm;
    std::unique_ptr<platform::ManagerHandle> mgr;
    platform::SystemClock clock;

    void open() {
        sm = platform::make_sim_service_manager(root, false);
        uint32_t err = 0;
        mgr = sm->open_manager(platform::kManagerAllAccess, err);
    }
    ~Sim() {
        // Stop whatever still runs.
        for (const char* name : {"OvrinSMS", "OvrinMMSC"}) {
            uint32_t err;
            if (auto s = mgr ? mgr->open_service(name, platform::kServiceAllAccess, err) : nullptr) {
                s->send_stop();
                wait_for(*s, ServiceState::Stopped);
            }
        }
    }
    std::unique_ptr<platform::ServiceHandle> create(const std::string& name, const std::string& program) {
        platform::ServiceConfig cfg;
        cfg.display_name = name;
        cfg.binary_path = bin_path(program);
        uint32_t err = 0;
        return mgr->create_service(name, cfg, platform::kServiceAllAccess, err);
    }
    // Real processes take real time to report; poll for at most 10 s.
    ServiceState wait_for(platform::ServiceHandle& s, ServiceState want) {
        ServiceState st = ServiceState::Stopped;
        for (int i = 0; i < 500; ++i) {
            s.query(st);
            if (st == want) break;
            clock.sleep_ms(20);
        }
        return st;
    }
    int pid_of(const std::string& name) {
        std::string st = read_text(platform::sim::service_dir(root, name) + "status");
        size_t at = st.find("pid=");
        return at == std::string::npos ? 0 : atoi(st.c_str() + at + 4);
    }
};

TEST(SimServiceManager, RightsDecideWhatOpens) {
    Sim s;
    ASSERT_NE(s.mgr, nullptr);   // a fresh root has administrative rights
    ASSERT_NE(s.create("OvrinSMS", "SMSGWNT.EXE"), nullptr);
    platform::sim::set_rights(s.root, false);
    uint32_t err = 0;
    EXPECT_EQ(s.sm->open_manager(platform::kManagerAllAccess, err), nullptr);
    EXPECT_EQ(err, platform::kErrorAccessDenied);
    auto reader = s.sm->open_manager(platform::kGenericRead, err);
    ASSERT_NE(reader, nullptr);
    EXPECT_NE(reader->open_service("OvrinSMS", platform::kServiceQueryStatus, err), nullptr);
    EXPECT_EQ(reader->open_service("OvrinSMS", platform::kServiceAllAccess, err), nullptr);
    EXPECT_EQ(err, platform::kErrorAccessDenied);
    EXPECT_EQ(reader->open_service("OvrinMMSC", platform::kServiceQueryStatus, err), nullptr);
    EXPECT_EQ(err, platform::kErrorServiceDoesNotExist);
    // The elevated copy has them whatever the root says.
    auto elevated = platform::make_sim_service_manager(s.root, true);
    EXPECT_NE(elevated->open_manager(platform::kManagerAllAccess, err), nullptr);
    reader.reset();
    EXPECT_EQ(s.sm->open_handles(), 1);   // only the test's own manager handle
}

TEST(SimServiceManager, RecordsLiveUntilDeleted) {
    Sim s;
    uint32_t err = 0;
    ASSERT_NE(s.create("OvrinSMS", "SMSGWNT.EXE"), nullptr);
    platform::ServiceConfig cfg;
    EXPECT_EQ(s.mgr->create_service("OvrinSMS", cfg, platform::kServiceAllAccess, err), nullptr);
    EXPECT_EQ(err, platform::kErrorServiceExists);
    EXPECT_EQ(s.mgr->create_service("../x", cfg, platform::kServiceAllAccess, err), nullptr);
    auto svc = s.mgr->open_service("OvrinSMS", platform::kServiceAllAccess, err);
    ASSERT_NE(svc, nullptr);
    ServiceState st;
    EXPECT_EQ(svc->query(st), 0u);
    EXPECT_EQ(st, ServiceState::Stopped);
    EXPECT_EQ(svc->send_stop(), platform::kErrorServiceNotActive);
    cfg.binary_path = "/nonexistent/SMSGWNT.EXE";
    EXPECT_EQ(svc->change_config(cfg), 0u);
    EXPECT_EQ(svc->start(), platform::kErrorFileNotFound);
    EXPECT_EQ(svc->remove(), 0u);
    EXPECT_EQ(s.mgr->open_service("OvrinSMS", platform::kServiceQueryStatus, err), nullptr);
    EXPECT_EQ(err, platform::kErrorServiceDoesNotExist);
}

TEST(SimServiceManager, RemovalUnderALongRootIsDoneOrRefusedNeverCut) {
    // The service's record lies under <root>services/<name>/: with a root of
    // 259 characters its path is past the room, and the removal is refused
    // (the record stays whole); with a shorter root it goes.
    for (size_t length : {200u, 259u}) {
        Sim s(length);
        ASSERT_EQ(s.root.size(), length);
        ASSERT_NE(s.create("OvrinSMS", "SMSGWNT.EXE"), nullptr) << length;
        uint32_t err = 0;
        auto svc = s.mgr->open_service("OvrinSMS", platform::kServiceAllAccess, err);
        ASSERT_NE(svc, nullptr);
        const std::string record = platform::sim::service_dir(s.root, "OvrinSMS");
        if (record.size() > platform::fs::kMaxPathChars) {
            EXPECT_EQ(svc->remove(), platform::kErrorFilenameTooLong);
            EXPECT_TRUE(platform::fs::exists(record + "config"));
        } else {
            EXPECT_EQ(svc->remove(), 0u);
            EXPECT_FALSE(platform::fs::exists(record));
        }
    }
}

TEST(SimServiceManager, TheSimulatorReportsItsStatesAndStopsOnTheControl) {
    Sim s;
    auto svc = s.create("OvrinSMS", "SMSGWNT.EXE");
    ASSERT_NE(svc, nullptr);
    ASSERT_EQ(svc->start(), 0u);
    EXPECT_EQ(svc->start(), platform::kErrorServiceAlreadyRunning);
    ASSERT_EQ(s.wait_for(*svc, ServiceState::Running), ServiceState::Running);
    EXPECT_GT(s.pid_of("OvrinSMS"), 0);
    uint64_t before = s.clock.tick_ms();
    ASSERT_EQ(svc->send_stop(), 0u);
    EXPECT_EQ(s.wait_for(*svc, ServiceState::Stopped), ServiceState::Stopped);
    EXPECT_LT(s.clock.tick_ms() - before, 1000u);
    // It can start again.
    ASSERT_EQ(svc->start(), 0u);
    EXPECT_EQ(s.wait_for(*svc, ServiceState::Running), ServiceState::Running);
}

TEST(SimServiceManager, ADeadProgramIsStoppedAndADeletedRunningServiceGoesWhenItStops) {
    Sim s;
    auto svc = s.create("OvrinMMSC", "MMSCNT.EXE");
    ASSERT_EQ(svc->start(), 0u);
    ASSERT_EQ(s.wait_for(*svc, ServiceState::Running), ServiceState::Running);
    kill(s.pid_of("OvrinMMSC"), SIGKILL);
    EXPECT_EQ(s.wait_for(*svc, ServiceState::Stopped), ServiceState::Stopped);

    ASSERT_EQ(svc->start(), 0u);
    ASSERT_EQ(s.wait_for(*svc, ServiceState::Running), ServiceState::Running);
    EXPECT_EQ(svc->remove(), 0u);
    uint32_t err = 0;
    EXPECT_EQ(s.mgr->open_service("OvrinMMSC", platform::kServiceQueryStatus, err), nullptr);
    EXPECT_EQ(err, platform::kErrorServiceMarkedForDelete);
    ASSERT_EQ(svc->send_stop(), 0u);
    EXPECT_EQ(s.wait_for(*svc, ServiceState::Stopped), ServiceState::Stopped);
    EXPECT_EQ(s.mgr->open_service("OvrinMMSC", platform::kServiceQueryStatus, err), nullptr);
    EXPECT_EQ(err, platform::kErrorServiceDoesNotExist);
    EXPECT_FALSE(platform::fs::exists(platform::sim::service_dir(s.root, "OvrinMMSC")));
}

TEST(SimServiceManager, TheStopRequestByteStopsTheSmsGateway) {
    Sim s;
    auto svc = s.create("OvrinSMS", "SMSGWNT.EXE");
    ASSERT_EQ(svc->start(), 0u);
    ASSERT_EQ(s.wait_for(*svc, ServiceState::Running), ServiceState::Running);
    auto shm = platform::make_posix_shared_memory(platform::sim_shared_memory_scope(s.root));
    auto block = shm->open("OVRIN_RIRER_ShMem");
    ASSERT_NE(block, nullptr);
    block->data()[0] = 1;
    EXPECT_EQ(s.wait_for(*svc, ServiceState::Stopped), ServiceState::Stopped);
    // A stopped service leaves no block behind.
    EXPECT_EQ(shm->open("OVRIN_RIRER_ShMem"), nullptr);
}

TEST(SharedMemory, NamesScopesAndTheGlobalTwin) {
    ScratchDir a, b;
    auto ma = platform::make_posix_shared_memory(platform::sim_shared_memory_scope(a.path()));
    auto mb = platform::make_posix_shared_memory(platform::sim_shared_memory_scope(b.path()));
    EXPECT_NE(ma->object_name("X"), ma->object_name("Global\\X"));
    EXPECT_EQ(platform::make_posix_shared_memory()->object_name("OVRIN_RIRER_ShMem"), "/OVRIN_RIRER_ShMem");
    auto block = ma->create("Global\\T", 32);
    ASSERT_NE(block, nullptr);
    block->data()[3] = 7;
    EXPECT_EQ(ma->open("T"), nullptr);
    EXPECT_EQ(mb->open("Global\\T"), nullptr);   // another root sees nothing
    auto again = ma->open("Global\\T");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->size(), 32u);
    EXPECT_EQ(again->data()[3], 7);
    ma->unlink("Global\\T");
    EXPECT_EQ(ma->open("Global\\T"), nullptr);
}

TEST(EventLog, SimulatedLogNumbersReadsAndClears) {
    ScratchDir d;
    auto log = platform::make_sim_event_log(d.path());
    auto h = log->open_application("");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->oldest_record(), 0u);
    platform::LocalTime t{2024, 2, 29, 23, 59, 58, 0, 4};
    EXPECT_EQ(log->report(platform::EventType::Error, "OvrinSMS", {"tab\there", "line\r\nbreak \\ end"}, t), 1u);
    EXPECT_EQ(log->report(platform::EventType::Warning, "OvrinMMSC", {}, t), 2u);
    EXPECT_EQ(log->report(platform::EventType::Information, "OvrinSMS", {std::string(100, 'x')}, t), 3u);
    EXPECT_EQ(h->oldest_record(), 1u);
    EXPECT_EQ(h->record_count(), 3u);
    auto all = h->read_forward(1, 1 << 16);
    ASSERT_TRUE(all && all->size() == 3);
    EXPECT_EQ((*all)[0].strings, (std::vector<std::string>{"tab\there", "line\r\nbreak \\ end"}));
    EXPECT_EQ((*all)[0].type, platform::EventType::Error);
    EXPECT_EQ((*all)[0].time.day, 29);
    EXPECT_EQ((*all)[1].source, "OvrinMMSC");
    // A small buffer takes whole records only, and at least one.
    auto some = h->read_forward(2, platform::event_record_size((*all)[1]) + 10);
    ASSERT_TRUE(some && some->size() == 1);
    EXPECT_EQ((*some)[0].number, 2u);
    EXPECT_EQ(h->read_forward(3, 1)->size(), 0u);
    EXPECT_TRUE(h->clear());
    EXPECT_EQ(h->record_count(), 0u);
    EXPECT_EQ(log->report(platform::EventType::Information, "OvrinSMS", {"again"}, t), 1u);
}

}  // namespace
}  // namespace ovr::test
