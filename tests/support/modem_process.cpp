#include "support/modem_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/scratch.h"

extern char** environ;

namespace ovr::test {

ModemProcess::ModemProcess(std::string link, const std::vector<std::string>& extra) : link_(std::move(link)) {
    std::string prog = bin_path("ovrinsms-modemsim");
    std::vector<std::string> args{prog, "--link", link_};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, prog.c_str(), &fa, nullptr, argv.data(), environ) != 0) pid_ = 0;
    posix_spawn_file_actions_destroy(&fa);
    for (int i = 0; pid_ > 0 && i < 200 && !up_; ++i) {
        up_ = access(link_.c_str(), F_OK) == 0;
        if (!up_) usleep(10000);
    }
}

ModemProcess::~ModemProcess() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

}  // namespace ovr::test
