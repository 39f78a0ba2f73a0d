#include "RebuildArguments.h"

#include <getopt.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "CheckCodes.h"

namespace tarvel {

namespace {

// Values getopt_long returns for options without a one-letter form.
enum LongOnly : int { kDatabase = 256, kUser, kRole, kFetchPassword, kSummary, kCheck };

constexpr option kOptions[] = {
    {"yes", no_argument, nullptr, 'y'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'z'},
    {"quiet", no_argument, nullptr, 'q'},
    {"check", no_argument, nullptr, kCheck},
    {"database", required_argument, nullptr, kDatabase},
    {"user", required_argument, nullptr, kUser},
    {"role", required_argument, nullptr, kRole},
    {"fetch-password", required_argument, nullptr, kFetchPassword},
    {"summary", required_argument, nullptr, kSummary},
    {nullptr, 0, nullptr, 0},
};
// Leading ':': a missing value is reported apart from an unknown option.
constexpr const char* kShortOptions = ":yhzq";

// How an option the parser refused is named in the error: its name up to
// any "=", never the value written after it.
std::string optionName(const std::string& argument) { return argument.substr(0, argument.find('=')); }

std::string longNameOf(int value) {
    for (const option& known : kOptions) {
        if (known.name && known.val == value) return std::string("--") + known.name;
    }
    return {};
}

// The error for what getopt_long refused ('?' or ':'): `refusedOption` is
// its optopt, `argument` the command-line word it stopped at.
std::string refusal(int result, int refusedOption, const std::string& argument) {
    const bool longForm = argument.rfind("--", 0) == 0;
    const bool letter = refusedOption > 0 && refusedOption < 128 && std::isprint(refusedOption);
    std::string name = refusedOption >= kDatabase ? longNameOf(refusedOption)
                       : longForm                 ? optionName(argument)
                       : letter                   ? "-" + std::string(1, static_cast<char>(refusedOption))
                                                  : std::string();
    if (result == ':') return "option '" + name + "' needs a value";
    // A known option written with "=value" that takes none.
    if (longForm && refusedOption != 0) return "option '" + longNameOf(refusedOption) + "' takes no value";
    return name.empty() ? "unknown option" : "unknown or ambiguous option '" + name + "'";
}

std::string summaryFormOf(const std::string& value, SummaryForm& form) {
    if (value == "text") {
        form = SummaryForm::Text;
    } else if (value == "json") {
        form = SummaryForm::Json;
    } else {
        return "--summary takes text or json, not '" + value + "'";
    }
    return {};
}

// Reads the options into `result` and the other words, in order, into
// `words`. Returns the error, empty when none.
std::string readOptions(const std::vector<std::string>& arguments, RebuildArguments& result,
                        std::vector<std::string>& words) {
    // getopt_long reorders the pointers, never the texts: these copies are its own.
    std::vector<std::string> texts(arguments);
    // "-?" asks for help as with the database tools; getopt_long would take
    // the '?' for an unknown option.
    for (std::string& text : texts) {
        if (text == "--") break;
        if (text == "-?") text = "--help";
    }
    std::string programName = "tarvel-rebuild";
    std::vector<char*> argv{programName.data()};
    for (std::string& text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(argv.size() - 1);

    // optind 0 makes the parser start afresh: it keeps state between calls.
    optind = 0;
    opterr = 0;
    for (int option = 0; (option = getopt_long(argc, argv.data(), kShortOptions, kOptions, nullptr)) != -1;) {
        std::string error;
        switch (option) {
            case 'y':
                result.assumeYes = true;
                break;
            case 'h':
                result.help = true;
                break;
            case 'z':
                result.version = true;
                break;
            case 'q':
                result.quiet = true;
                break;
            case kCheck:
                result.check = true;
                break;
            case kDatabase:
                result.database = optarg;
                break;
            case kUser:
                result.user = optarg;
                break;
            case kRole:
                result.role = optarg;
                break;
            case kFetchPassword:
                result.passwordFile = optarg;
                break;
            case kSummary:
                error = summaryFormOf(optarg, result.summary);
                result.summaryGiven = true;
                break;
            default:
                error = refusal(option, optopt, optind > 0 && optind <= argc ? argv[optind - 1] : "");
                break;
        }
        if (!error.empty()) return error;
    }
    for (int at = optind; at < argc; ++at) words.emplace_back(argv[at]);
    return {};
}

}  // namespace

ParsedArguments parseRebuildArguments(const std::vector<std::string>& arguments) {
    ParsedArguments parsed;
    RebuildArguments& result = parsed.arguments;
    std::vector<std::string> words;
    parsed.error = readOptions(arguments, result, words);
    if (!parsed.error.empty()) return parsed;
    for (const std::string& word : words) {
        if (word != "purchase" && word != "sales") {
            parsed.error = "unknown history '" + word + "': purchase or sales";
            return parsed;
        }
        if (result.historyIndex != -1) {
            parsed.error = "name one history only, purchase or sales";
            return parsed;
        }
        result.historyIndex = word == "purchase" ? 0 : 1;
    }
    if (result.help || result.version) return parsed;
    if (result.historyIndex == -1 && !result.check) {
        parsed.error = "which history: purchase or sales?";
    } else if (result.passwordFromInput() && !result.assumeYes && !result.check) {
        parsed.error =
            "--fetch-password " + result.passwordFile +
            " takes standard input for the password; give --yes, the question cannot be asked there";
    }
    return parsed;
}

std::string unattendedRefusal(const RebuildArguments& arguments, bool inputIsTerminal) {
    if (arguments.assumeYes || arguments.check || inputIsTerminal) return {};
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
    static const std::string text =
        std::string(
            "Usage: tarvel-rebuild purchase|sales [--yes] [OPTION]...\n"
            "       tarvel-rebuild --check [purchase|sales] [OPTION]...\n"
            "Rebuilds a last-price history table of the point-of-sale database from its document lines.\n"
            "  purchase               STORY_IN from INSTORAGE_SUB\n"
            "  sales                  STORY_SAL from SAL_SUB\n"
            "  -y, --yes              start without asking (needed when standard input is not a terminal)\n"
            "      --check            report whether a run could proceed now, changing nothing\n"
            "      --database DB      the database instead of Database= (host:/path, host/port:/path, or a\n"
            "                         path opened in this process)\n"
            "      --user NAME        the user instead of User_Name=\n"
            "      --role ROLE        the SQL role instead of RoleName=\n"
            "      --fetch-password FILE  the password from the first line of FILE; '-' or 'stdin' reads\n"
            "                         it from standard input (without echo on a terminal) and needs --yes\n"
            "  -q, --quiet            print errors only, and the summary when --summary is given\n"
            "      --summary=text     the summary line on standard error, also with --quiet\n"
            "      --summary=json     one JSON object on standard output after the run (or the check),\n"
            "                         instead of the completion line and the summary line\n"
            "  -z, --version          show this program's and the client library's versions, and with\n"
            "                         --database the server's\n"
            "  -h, -?, --help         show this text\n"
            "User: --user, else User_Name=, else ISC_USER. Role: --role, else RoleName= (unless it is\n"
            "the placeholder RoleName), else ISC_ROLE. Password: --fetch-password, else\n"
            "$CREDENTIALS_DIRECTORY/password, else Password=, else ISC_PASSWORD. The first one given\n"
            "wins; an empty value counts as not given. No option takes the password itself.\n"
            "Exit codes: 0 rebuilt, 1 failed or not confirmed, 2 wrong usage, 129, 130 or 143 stopped\n"
            "            by SIGHUP, SIGINT or SIGTERM (the lines written before it kept).\n") +
        checkCodesUsage() +
        "Settings: sqlconnections.ini and sqldrivers.ini beside the program (links to\n"
        "/etc/tarvelreset/ when installed), or where ~/.config/kestal/settings.ini names them.\n";
    return text.c_str();
}

}  // namespace tarvel
