#include "app/switches.h"

#include <initializer_list>

#include "config/text.h"

namespace ovr::app {
namespace {

bool any_word(const std::vector<std::string>& words, std::initializer_list<const char*> literals) {
    for (const auto& w : words)
        for (const char* lit : literals)
            if (config::equal_ignoring_case(w, lit)) return true;
    return false;
}

}  // namespace

Switches parse_switches(const std::vector<std::string>& words) {
    Switches s;
    s.quiet = any_word(words, {"-QUIET", "/QUIET", "/Q", "-Q"});
    struct Row {
        std::initializer_list<const char*> literals;
        SwitchAction action;
    };
    const Row rows[] = {
        {{"-STOPSERVICE", "/STOPSERVICE"}, SwitchAction::Stop},
        {{"-STARTSERVICE", "/STARTSERVICE"}, SwitchAction::Start},
        {{"-RESTARTSERVICE", "/RESTARTSERVICE"}, SwitchAction::Restart},
        {{"-INSTALLSERVICE", "/INSTALLSERVICE", "/I", "-I"}, SwitchAction::Install},
        {{"-REMOVESERVICE", "/REMOVESERVICE", "/R", "-R"}, SwitchAction::Remove},
        {{"-DELETEDATADIR", "/DELETEDATADIR"}, SwitchAction::DeleteDataDir},
        {{"-MODEMTEST", "/MODEMTEST"}, SwitchAction::ModemTest},
    };
    for (const Row& r : rows) {
        if (any_word(words, r.literals)) {
            s.action = r.action;
            break;
        }
    }
    s.wizard = any_word(words, {"-WIZARD", "/WIZARD"});
    return s;
}

}  // namespace ovr::app
