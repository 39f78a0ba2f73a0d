// tarvel-rebuild: rebuilds a last-price history table of the point-of-sale
// database without a window, for a terminal, cron or a systemd timer.
#include <string>
#include <vector>

#include "ProcessHygiene.h"
#include "RebuildCommand.h"

int main(int argc, char** argv) {
    tarvel::ignoreBrokenPipes();
    // Before any password is read; a kernel that refuses leaves nothing to do.
    tarvel::keepOutOfCoreFiles();
    return tarvel::runRebuildCommand(std::vector<std::string>(argv + 1, argv + argc));
}
