// quillon-cli: the programming station without a window, for production lines and scripts.
#include "cli/cli_runner.h"

int main(int argc, char** argv) {
    return quillon::cli::CliMain(argc, argv);
}
