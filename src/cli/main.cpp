#include <iostream>
#include <string>

#include "cli/cli.h"

using namespace ovr;

namespace {
void print_usage(std::ostream& os) {
    os << "usage:\n";
    for (const cli::Group& g : cli::groups()) os << g.usage;
}
}  // namespace

int main(int argc, char** argv) {
    cli::Context ctx{config::resolve_directories(), {}, std::cout, std::cerr};
    ctx.ini = config::ini_paths_for(ctx.dirs);
    if (argc < 2) {
        print_usage(std::cerr);
        return 2;
    }
    std::string word = argv[1];
    if (word == "help" || word == "--help" || word == "-h") {
        print_usage(std::cout);
        return 0;
    }
    for (const cli::Group& g : cli::groups()) {
        if (word == g.name) return g.run(ctx, cli::Args(argv + 2, argv + argc));
    }
    std::cerr << "ovrinsmsctl: unknown command \"" << word << "\"\n";
    print_usage(std::cerr);
    return 2;
}
