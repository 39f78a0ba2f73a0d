#include "RebuildArguments.h"

#include <algorithm>
#include <cctype>

namespace tarvel {

ParsedArguments parseRebuildArguments(const std::vector<std::string>& arguments) {
    ParsedArguments parsed;
    RebuildArguments& result = parsed.arguments;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (argument == "--yes" || argument == "-y")) {
            result.assumeYes = true;
        } else if (!optionsEnded && (argument == "--help" || argument == "-h")) {
            result.help = true;
        } else if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
            parsed.error = "unknown option '" + argument + "'";
            return parsed;
        } else if (argument == "purchase" || argument == "sales") {
            const int index = argument == "purchase" ? 0 : 1;
            if (result.historyIndex != -1) {
                parsed.error = "name one history only, purchase or sales";
                return parsed;
            }
            result.historyIndex = index;
        } else {
            parsed.error = "unknown history '" + argument + "': purchase or sales";
            return parsed;
        }
    }
    if (result.historyIndex == -1 && !result.help) parsed.error = "which history: purchase or sales?";
    return parsed;
}

std::string unattendedRefusal(const RebuildArguments& arguments, bool inputIsTerminal) {
    if (arguments.assumeYes || inputIsTerminal) return {};
    return "standard input is not a terminal to ask on; give --yes to rebuild without the question";
}

bool isYesAnswer(const std::string& line) {
    auto first = std::find_if_not(line.begin(), line.end(), [](unsigned char c) { return std::isspace(c); });
    auto last =
        std::find_if_not(line.rbegin(), line.rend(), [](unsigned char c) { return std::isspace(c); }).base();
    if (first >= last) return false;
    std::string word(first, last);
    std::transform(word.begin(), word.end(), word.begin(), [](unsigned char c) { return std::tolower(c); });
    return word == "y" || word == "yes";
}

const char* rebuildUsage() {
    return "Usage: tarvel-rebuild purchase|sales [--yes]\n"
           "Rebuilds a last-price history table of the point-of-sale database from its document lines.\n"
           "  purchase    STORY_IN from INSTORAGE_SUB\n"
           "  sales       STORY_SAL from SAL_SUB\n"
           "  -y, --yes   start without asking (needed when standard input is not a terminal)\n"
           "  -h, --help  show this text\n"
           "Exit codes: 0 rebuilt, 1 failed or not confirmed, 2 wrong usage, 129, 130 or 143\n"
           "            stopped by SIGHUP, SIGINT or SIGTERM (the lines written before it kept).\n"
           "Settings: sqlconnections.ini and sqldrivers.ini beside the program (links to\n"
           "/etc/tarvelreset/ when installed), or where ~/.config/kestal/settings.ini names them.\n";
}

}  // namespace tarvel
