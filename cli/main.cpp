// tarvel-rebuild: rebuilds a last-price history table of the point-of-sale
// database without a window, for a terminal, cron or a systemd timer.
#include <string>
#include <vector>

#include "RebuildCommand.h"

int main(int argc, char** argv) {
    return tarvel::runRebuildCommand(std::vector<std::string>(argv + 1, argv + argc));
}
