#include <iostream>

#include "cli/cli.h"

int main(int argc, char** argv) {
    using namespace ovr;
    cli::Context ctx{config::resolve_directories(), {}, std::cout, std::cerr};
    ctx.ini = config::ini_paths_for(ctx.dirs);
    return cli::dispatch(ctx, cli::Args(argv + 1, argv + argc));
}
