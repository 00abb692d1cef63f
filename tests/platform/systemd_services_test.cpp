// The systemd service manager against a scripted systemd on a private bus.
#include <gtest/gtest.h>

#include "platform/fs.h"
#include "platform/service_manager.h"
#include "support/scratch.h"
#include "support/systemd_bus.h"

namespace ovr::test {
namespace {

using platform::ServiceState;

struct Systemd {
    ScratchDir dir;
    std::string units = dir.path() + "units/";
    std::unique_ptr<SystemdBus> bus;
    std::shared_ptr<platform::ServiceManager> sm;

    explicit Systemd(const std::string& account = "ovrinsms", bool writable = true) {
        platform::fs::create_directories(units);
        bus = std::make_unique<SystemdBus>(units);
        platform::SystemdOptions o;
        o.bus_address = bus->address();
        o.unit_dir = writable ? units : dir.path() + "missing/";
        o.account = account;
        sm = platform::make_systemd_service_manager(o);
    }
    std::unique_ptr<platform::ManagerHandle> manager(uint32_t access = platform::kManagerAllAccess) {
        uint32_t err = 0;
        return sm->open_manager(access, err);
    }
    std::unique_ptr<platform::ServiceHandle> create(const std::string& name, const std::string& path = "/opt/x/SMSGWNT.EXE") {
        platform::ServiceConfig cfg;
        cfg.display_name = "Ovrin SMS Gateway Lite Edition";
        cfg.binary_path = path;
        uint32_t err = 0;
        return manager()->create_service(name, cfg, platform::kServiceAllAccess, err);
    }
};

#define NEED_BUS(s)                                 \
    if (!(s).bus->ok()) GTEST_SKIP() << (s).bus->error()

TEST(SystemdServiceManager, CreateWritesTheUnitReloadsEnablesAndStarts) {
    Systemd s("root");
    NEED_BUS(s);
    auto svc = s.create("OvrinSMS", "/opt/ovr in/SMS%GW$NT.EXE");
    ASSERT_TRUE(svc);
    std::string text = read_text(s.units + "OvrinSMS.service");
    EXPECT_NE(text.find("Description=Ovrin SMS Gateway Lite Edition\n"), std::string::npos);
    EXPECT_NE(text.find("ExecStart=\"/opt/ovr in/SMS%%GW$$NT.EXE\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Restart=on-failure\n"), std::string::npos);
    EXPECT_NE(text.find("User=root\nGroup=root\n"), std::string::npos);
    EXPECT_NE(text.find("WantedBy=multi-user.target"), std::string::npos);
    EXPECT_EQ(s.bus->unit("OvrinSMS.service").load, "loaded");
    EXPECT_TRUE(s.bus->unit("OvrinSMS.service").enabled);

    EXPECT_EQ(svc->start(), 0u);
    ServiceState st{};
    EXPECT_EQ(svc->query(st), 0u);
    EXPECT_EQ(st, ServiceState::Running);
    EXPECT_EQ(svc->start(), platform::kErrorServiceAlreadyRunning);
    // The file first, then Reload, then enabling, and only then a start.
    std::string seq;
    for (const auto& c : s.bus->calls())
        if (c.rfind("ListUnitsByNames", 0) != 0) seq += c + ";";
    EXPECT_EQ(seq, "Reload;EnableUnitFiles OvrinSMS.service;StartUnit OvrinSMS.service;");
    // A second create of a known unit is refused; the file stays.
    uint32_t err = 0;
    platform::ServiceConfig cfg;
    EXPECT_FALSE(s.manager()->create_service("OvrinSMS", cfg, platform::kServiceAllAccess, err));
    EXPECT_EQ(err, platform::kErrorServiceExists);
}

TEST(SystemdServiceManager, NoAccountLineForAMissingAccount) {
    platform::ServiceConfig cfg;
    cfg.binary_path = "/x\ny";
    std::string t = platform::systemd_unit_text("OvrinSMS", cfg, "no-such-account-ovr");
    EXPECT_EQ(t.find("User="), std::string::npos);
    EXPECT_NE(t.find("ExecStart=\"/x y\"\n"), std::string::npos);
    EXPECT_NE(t.find("Description=OvrinSMS\n"), std::string::npos);
}

TEST(SystemdServiceManager, UnitStatesMapOntoServiceStates) {
    Systemd s;
    NEED_BUS(s);
    ASSERT_TRUE(s.create("OvrinSMS"));
    uint32_t err = 0;
    auto svc = s.manager()->open_service("OvrinSMS", platform::kServiceQueryStatus, err);
    ASSERT_TRUE(svc);
    struct Case {
        const char* active;
        ServiceState want;
    } cases[] = {{"active", ServiceState::Running},      {"reloading", ServiceState::Running},
                 {"activating", ServiceState::StartPending}, {"deactivating", ServiceState::StopPending},
                 {"inactive", ServiceState::Stopped},    {"failed", ServiceState::Stopped}};
    for (const auto& c : cases) {
        s.bus->set_unit("OvrinSMS.service", {"loaded", c.active, "x", true});
        ServiceState st{};
        EXPECT_EQ(svc->query(st), 0u) << c.active;
        EXPECT_EQ(st, c.want) << c.active;
    }
    s.bus->set_unit("OvrinSMS.service", {"loaded", "inactive", "dead", true});
    EXPECT_EQ(svc->send_stop(), platform::kErrorServiceNotActive);
    s.bus->set_unit("OvrinSMS.service", {"masked", "inactive", "dead", false});
    EXPECT_EQ(svc->start(), platform::kErrorServiceDisabled);
    // A start still pending, or only queued, counts as running for a second
    // start, and a stop goes to systemd to cancel it.
    s.bus->set_unit("OvrinSMS.service", {"loaded", "activating", "start", true});
    EXPECT_EQ(svc->start(), platform::kErrorServiceAlreadyRunning);
    s.bus->set_unit("OvrinSMS.service", {"loaded", "inactive", "dead", true, "start"});
    EXPECT_EQ(svc->start(), platform::kErrorServiceAlreadyRunning);
    EXPECT_EQ(svc->send_stop(), 0u);
    EXPECT_EQ(s.bus->calls().back(), "StopUnit OvrinSMS.service");

    EXPECT_FALSE(s.manager()->open_service("OvrinMMSC", platform::kServiceQueryStatus, err));
    EXPECT_EQ(err, platform::kErrorServiceDoesNotExist);
}

// One look answers for every unit in one call, and answers as opening and
// querying each through its handle does.
TEST(SystemdServiceManager, OneLookAnswersAsTheHandlesDo) {
    Systemd s;
    NEED_BUS(s);
    const struct {
        SystemdBus::Unit unit;
        bool opens;
        ServiceState state;
    } cases[] = {
        {{"loaded", "active", "running", true}, true, ServiceState::Running},
        {{"loaded", "reloading", "running", true}, true, ServiceState::Running},
        {{"loaded", "activating", "start", true}, true, ServiceState::StartPending},
        {{"loaded", "inactive", "dead", true, "start"}, true, ServiceState::StartPending},  // its start job queued
        {{"loaded", "failed", "failed", true, "start"}, true, ServiceState::StartPending},
        {{"loaded", "deactivating", "stop", true}, true, ServiceState::StopPending},
        {{"loaded", "inactive", "dead", true}, true, ServiceState::Stopped},
        {{"loaded", "failed", "failed", true}, true, ServiceState::Stopped},
        {{"masked", "inactive", "dead", false}, true, ServiceState::Stopped},
        {{"not-found", "active", "running", false}, true, ServiceState::Running},  // marked for deletion
        {{"not-found", "inactive", "dead", false}, false, ServiceState::Stopped},
    };
    std::vector<std::string> names;
    for (size_t i = 0; i < std::size(cases); ++i) {
        names.push_back("S" + std::to_string(i));
        s.bus->set_unit(names.back() + ".service", cases[i].unit);
    }
    names.push_back("Absent");
    const size_t calls = s.bus->calls().size();
    auto looks = s.sm->look(names);
    ASSERT_EQ(s.bus->calls().size(), calls + 1);
    EXPECT_EQ(s.bus->calls().back().rfind("ListUnitsByNames S0.service S1.service", 0), 0u);
    auto by_handles = s.sm->ServiceManager::look(names);
    ASSERT_EQ(looks.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        const bool opens = i < std::size(cases) && cases[i].opens;
        EXPECT_EQ(looks[i].opens, opens) << names[i];
        EXPECT_EQ(looks[i].queried, opens) << names[i];
        if (opens) {
            EXPECT_EQ(looks[i].state, cases[i].state) << names[i];
        }
        EXPECT_EQ(by_handles[i].opens, looks[i].opens) << names[i];
        EXPECT_EQ(by_handles[i].queried, looks[i].queried) << names[i];
        EXPECT_EQ(by_handles[i].state, looks[i].state) << names[i];
    }
    // Refused, nothing opens, as a refused open gives nothing.
    s.bus->refuse("ListUnitsByNames");
    for (const auto& l : s.sm->look(names)) EXPECT_FALSE(l.opens);
    uint32_t err = 0;
    EXPECT_FALSE(s.manager(platform::kGenericRead)->open_service("S0", platform::kServiceQueryStatus, err));
    EXPECT_EQ(err, platform::kErrorAccessDenied);
}

TEST(SystemdServiceManager, RemovingARunningUnitMarksItUntilItStops) {
    Systemd s;
    NEED_BUS(s);
    auto svc = s.create("OvrinSMS");
    ASSERT_TRUE(svc);
    ASSERT_EQ(svc->start(), 0u);
    EXPECT_EQ(svc->remove(), 0u);
    EXPECT_FALSE(platform::fs::exists(s.units + "OvrinSMS.service"));
    EXPECT_FALSE(s.bus->unit("OvrinSMS.service").enabled);
    uint32_t err = 0;
    auto again = s.manager()->open_service("OvrinSMS", platform::kServiceAllAccess, err);
    ASSERT_TRUE(again) << "a marked service still opens";
    EXPECT_EQ(again->remove(), platform::kErrorServiceMarkedForDelete);
    EXPECT_EQ(again->start(), platform::kErrorServiceMarkedForDelete);
    // Installing anew over it brings the unit back.
    platform::ServiceConfig cfg;
    cfg.binary_path = "/opt/x/SMSGWNT.EXE";
    EXPECT_EQ(again->change_config(cfg), 0u);
    EXPECT_EQ(s.bus->unit("OvrinSMS.service").load, "loaded");
    EXPECT_EQ(again->remove(), 0u);
    EXPECT_EQ(again->send_stop(), 0u);
    EXPECT_FALSE(s.manager()->open_service("OvrinSMS", platform::kServiceQueryStatus, err));
    EXPECT_EQ(err, platform::kErrorServiceDoesNotExist);
}

TEST(SystemdServiceManager, WantOfRightsIsAccessDenied) {
    {
        // A unit directory we cannot write: reading works, changing does not.
        Systemd s("ovrinsms", false);
        NEED_BUS(s);
        uint32_t err = 0;
        EXPECT_FALSE(s.sm->open_manager(platform::kManagerAllAccess, err));
        EXPECT_EQ(err, platform::kErrorAccessDenied);
        EXPECT_TRUE(s.sm->open_manager(platform::kGenericRead, err));
    }
    Systemd s;
    NEED_BUS(s);
    auto svc = s.create("OvrinSMS");
    ASSERT_TRUE(svc);
    s.bus->refuse("StartUnit");
    s.bus->refuse("StopUnit");
    s.bus->refuse("Reload");
    EXPECT_EQ(svc->start(), platform::kErrorAccessDenied);
    s.bus->set_unit("OvrinSMS.service", {"loaded", "active", "running", true});
    EXPECT_EQ(svc->send_stop(), platform::kErrorAccessDenied);
    uint32_t err = 0;
    platform::ServiceConfig cfg;
    EXPECT_FALSE(s.manager()->create_service("OvrinMMSC", cfg, platform::kServiceAllAccess, err));
    EXPECT_EQ(err, platform::kErrorAccessDenied);
}

TEST(SystemdServiceManager, NoBusNoManagerAndHandlesAreCounted) {
    ScratchDir dir;
    platform::SystemdOptions o;
    o.bus_address = "unix:path=" + dir.path() + "no-bus";
    o.unit_dir = dir.path();
    auto sm = platform::make_systemd_service_manager(o);
    uint32_t err = 0;
    EXPECT_FALSE(sm->open_manager(platform::kGenericRead, err));
    EXPECT_EQ(err, platform::kErrorCallNotImplemented);
    EXPECT_FALSE(sm->look({"OvrinSMS"})[0].opens);

    Systemd s;
    NEED_BUS(s);
    {
        auto m = s.manager();
        auto svc = s.create("OvrinSMS");
        EXPECT_EQ(s.sm->open_handles(), 2);  // create's own manager handle is closed
    }
    EXPECT_EQ(s.sm->open_handles(), 0);
}

}  // namespace
}  // namespace ovr::test
