#include "platform/desktop.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "platform/dynlib.h"

extern char** environ;

namespace ovr::platform {
namespace {

std::vector<std::string> split_words(const std::string& s) {
    std::vector<std::string> out;
    std::istringstream in(s);
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

class SystemDesktop final : public Desktop {
public:
    SystemDesktop(std::string record_file, bool launch) : record_(std::move(record_file)), launch_(launch) {}

    bool edit(const std::string& path) override {
        record("edit " + path);
        if (!launch_) return true;
        return spawn_detached(editor_argv(path, [](const char* n) { return get_env(n); }, &program_on_path));
    }

    bool open(const std::string& target, const std::string& working_dir) override {
        record("open " + target);
        if (!launch_) return true;
        return spawn_detached({"xdg-open", target}, working_dir);
    }

private:
    void record(const std::string& line) {
        if (record_.empty()) return;
        std::lock_guard lock(mu_);
        std::ofstream(record_, std::ios::app) << line << "\n";
    }
    std::string record_;
    bool launch_;
    std::mutex mu_;
};

}  // namespace

std::shared_ptr<Desktop> make_desktop(std::string record_file, bool launch) {
    return std::make_shared<SystemDesktop>(std::move(record_file), launch);
}

std::vector<std::string> editor_argv(const std::string& path, const std::function<std::string(const char*)>& env,
                                     const std::function<bool(const std::string&)>& on_path) {
    std::vector<std::string> argv = split_words(env("VISUAL"));
    if (!argv.empty()) {
        argv.push_back(path);
        return argv;
    }
    std::vector<std::string> editor = split_words(env("EDITOR"));
    if (!editor.empty()) {
        static const char* const kTerminals[][2] = {{"x-terminal-emulator", "-e"},
                                                    {"xterm", "-e"},
                                                    {"konsole", "-e"},
                                                    {"gnome-terminal", "--"},
                                                    {"xfce4-terminal", "-x"}};
        for (const auto& t : kTerminals) {
            if (!on_path(t[0])) continue;
            argv = {t[0], t[1]};
            argv.insert(argv.end(), editor.begin(), editor.end());
            argv.push_back(path);
            return argv;
        }
    }
    return {"xdg-open", path};
}

bool program_on_path(const std::string& name) {
    if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0;
    std::string path = get_env("PATH");
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t colon = path.find(':', pos);
        std::string dir = path.substr(pos, colon == std::string::npos ? std::string::npos : colon - pos);
        if (dir.empty()) dir = ".";
        if (access((dir + "/" + name).c_str(), X_OK) == 0) return true;
        if (colon == std::string::npos) break;
        pos = colon + 1;
    }
    return false;
}

bool spawn_detached(const std::vector<std::string>& argv, const std::string& working_dir) {
    if (argv.empty()) return false;
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (!working_dir.empty()) posix_spawn_file_actions_addchdir_np(&fa, working_dir.c_str());
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) return false;
    // Reap the child whenever it ends, so no zombie is left behind.
    std::thread([pid] {
        int st = 0;
        waitpid(pid, &st, 0);
    }).detach();
    return true;
}

}  // namespace ovr::platform
