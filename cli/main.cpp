// tarnwick-cli: Tarnwick's backups for scripts, servers and terminals.
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "shell/settings/QtProfileStore.h"

int main(int argc, char** argv) {
    tkw::CQtProfileStore store;
    tkw::SetProfileStore(&store);
    const int code = tkw::cli::Run(std::vector<std::string>(argv + 1, argv + argc));
    tkw::SetProfileStore(nullptr);
    return code;
}
