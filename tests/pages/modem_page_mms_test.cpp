// The Modem page's Test Connection end to end on the simulated platform:
// the page's own wiring starts the elevated copy, which dials the simulated
// modem through the simulated GPRS library.
#include <gtest/gtest.h>

#include <cstdlib>

#include "config/ini.h"
#include "config/support.h"
#include "pages/modem_page.h"
#include "platform/fs.h"
#include "support/modem_process.h"
#include "support/scratch.h"

using namespace ovr;
using pages::ModemPage;
using F = ModemPage::Field;

TEST(ModemPageMms, TestConnectionGivesEachOperatorProfilesVerdict) {
    test::ScratchDir d;
    platform::Platform p = platform::make_sim_platform(d.file("sim/"), std::make_shared<platform::SystemClock>());
    platform::fs::create_directories(p.sim_root + "dosdevices/");
    platform::fs::create_directories(p.sim_root + "gprs/");
    test::ModemProcess modem(p.sim_root + "dosdevices/com7", {"--gprs-from", p.sim_root + "gprs/profile"});
    ASSERT_TRUE(modem.up());
    setenv("OVRINSMS_GPRS_WAIT_MS", "1500", 1);  // handed on to the elevated copy
    ScriptedUi ui;
    ui.set_default_answer(Answer::Cancel);  // no Retry
    pages::Context ctx;
    ctx.dirs = {d.path(), d.file("private/"), d.path()};
    ctx.ini = config::ini_paths_for(ctx.dirs);
    ctx.ui = &ui;
    ctx.platform = &p;
    config::ini::write_string(ctx.ini.rirer, "RIRER", "Modem1", "COM7:");
    pages::NullPageSite site;
    ModemPage page(ctx);
    page.created(site);
    page.shown();
    page.edit(F::Apn, "internet");
    page.edit(F::Proxy, "10.1.1.1:8080");
    page.edit(F::Url, "http://mms.ovrin.example/");

    const std::pair<const char*, const char*> cases[] = {
        {"ok", "Connection Test OK!"},
        {"wrong-apn", "Connection Failed\r\nRAS Error 720\r\nThe network refused the data context for this APN."},
        {"no-coverage", "Connection Failed\r\nRAS Error 678\r\nThe modem found no GPRS network (no coverage)."},
        {"mmsc-refusing", "Unable to connect to WAP Gateway"},
        {"silent", "Connection Failed\r\nRAS Error 718\r\nThe network did not answer the data call in time."},
    };
    for (const auto& [profile, verdict] : cases) {
        SCOPED_TRACE(profile);
        test::write_text(p.sim_root + "gprs/profile", std::string(profile) + "\n");
        page.edit(F::ApnLogin, profile);  // an edit of the tested settings asks for a new test
        page.press_test();
        ASSERT_FALSE(ui.boxes.empty());
        EXPECT_EQ(ui.boxes.back().text, verdict);
        EXPECT_EQ(page.tested(), std::string(profile) == "ok");
        EXPECT_FALSE(platform::fs::exists(d.file("MODEMTEST.INI")));
    }
    unsetenv("OVRINSMS_GPRS_WAIT_MS");
}
