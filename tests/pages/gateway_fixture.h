// A page context on the simulated gateway of FakeGateway: data and private
// directories in a scratch tree, an empty RIRER.INI and MMSC.INI, scripted
// boxes, and a sheet that records what pages ask of it.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "config/ini.h"
#include "pages/page.h"
#include "service/fake_gateway.h"

namespace ovr::test {

struct RecordingSite : pages::PageSite {
    bool unsaved = false;
    bool apply_result = true;
    int applied = 0;
    int changed = 0;
    std::vector<pages::WizardButtons> buttons;
    std::vector<pages::SheetButton> pressed;
    std::function<void()> on_apply;
    void mark_changed(pages::PageModel&) override { ++changed; }
    bool apply_all() override {
        ++applied;
        if (on_apply) on_apply();
        return apply_result;
    }
    bool query_unsaved() override { return unsaved; }
    void set_wizard_buttons(pages::WizardButtons b) override { buttons.push_back(b); }
    void press_button(pages::SheetButton b) override { pressed.push_back(b); }
};

struct GatewayPageTest : ::testing::Test {
    FakeGateway g;
    pages::Context ctx;
    RecordingSite site;
    std::vector<std::string> busy_runs;
    std::string data, priv;

    GatewayPageTest() {
        data = g.scratch.path() + "data/";
        priv = g.scratch.path() + "private/";
        platform::fs::create_directories(data);
        platform::fs::create_directories(priv);
        ctx.dirs = {data, priv, g.console_dir};
        ctx.ini = config::ini_paths_for(ctx.dirs);
        write_text(ctx.ini.rirer, "");
        write_text(ctx.ini.mmsc, "");
        ctx.ui = &g.ui;
        ctx.platform = &g.p;
        ctx.run_busy = [this](const std::string& title, const std::string& text, const std::function<void()>& work) {
            busy_runs.push_back(title + " " + text);
            work();
        };
    }

    void install() { ASSERT_TRUE(g.control().install_and_start(true)); }
    std::string rirer(const char* key) { return config::ini::read_string(ctx.ini.rirer, "RIRER", key, "<none>", 1024); }
    std::string mmsc(const char* key) { return config::ini::read_string(ctx.ini.mmsc, "MMSC", key, "<none>", 1024); }
};

}  // namespace ovr::test
