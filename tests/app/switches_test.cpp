#include "app/switches.h"

#include <gtest/gtest.h>

#include "platform/desktop.h"

using namespace ovr;
using app::parse_switches;
using app::SwitchAction;

TEST(Switches, OrderDecidesAndCaseIsIgnored) {
    EXPECT_EQ(parse_switches({"-restartservice"}).action, SwitchAction::Restart);
    EXPECT_EQ(parse_switches({"-INSTALLSERVICE", "-STOPSERVICE"}).action, SwitchAction::Stop);
    EXPECT_EQ(parse_switches({"/r", "/i"}).action, SwitchAction::Install);
    EXPECT_EQ(parse_switches({"/DeleteDataDir"}).action, SwitchAction::DeleteDataDir);
    EXPECT_EQ(parse_switches({"/MODEMTEST", "/WIZARD"}).action, SwitchAction::ModemTest);
    EXPECT_EQ(parse_switches({}).action, SwitchAction::None);
    for (const char* q : {"/q", "-Q", "/QUIET", "-quiet"}) EXPECT_TRUE(parse_switches({q}).quiet) << q;
    EXPECT_TRUE(parse_switches({"-wizard"}).wizard);
}

TEST(Switches, OnlyWholeWordsCount) {
    // A path or any other word that merely contains a switch triggers nothing.
    auto s = parse_switches({"/home/x-r/file", "--quieter", "-WIZARDS", "C:/I/x", "-install"});
    EXPECT_EQ(s.action, SwitchAction::None);
    EXPECT_FALSE(s.quiet);
    EXPECT_FALSE(s.wizard);
}

TEST(EditorChoice, VisualThenEditorInATerminalThenXdgOpen) {
    auto env = [](std::map<std::string, std::string> m) {
        return [m](const char* n) {
            auto it = m.find(n);
            return it == m.end() ? std::string() : it->second;
        };
    };
    auto terminals = [](std::vector<std::string> have) {
        return [have](const std::string& n) { return std::find(have.begin(), have.end(), n) != have.end(); };
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(platform::editor_argv("/d/a b.log", env({{"VISUAL", "code -w"}, {"EDITOR", "vi"}}), terminals({"xterm"})),
              (V{"code", "-w", "/d/a b.log"}));
    EXPECT_EQ(platform::editor_argv("/d/x.log", env({{"EDITOR", "vi"}}), terminals({"gnome-terminal"})),
              (V{"gnome-terminal", "--", "vi", "/d/x.log"}));
    EXPECT_EQ(platform::editor_argv("/d/x.log", env({{"EDITOR", "vi"}}), terminals({})), (V{"xdg-open", "/d/x.log"}));
    EXPECT_EQ(platform::editor_argv("/d/x.log", env({{"VISUAL", "  "}}), terminals({"xterm"})),
              (V{"xdg-open", "/d/x.log"}));
}
