#include "ReadinessCheck.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "DatabaseFacts.h"
#include "EmbeddedAccess.h"
#include "Error.h"
#include "HistoryMode.h"
#include "RebuildCommand.h"
#include "RegionalFormats.h"
#include "RunClaim.h"
#include "RunSummary.h"
#include "SettingsFile.h"
#include "SettingsStore.h"
#include "SqlConnection.h"
#include "SqlQuery.h"

namespace tarvel {

// The usage failure is one exit code for every form of the command.
static_assert(static_cast<int>(CheckCode::Usage) == kExitUsage);

namespace {

// A server's text of several lines, its lines after the first indented
// under the report line that quotes it.
std::string indented(const std::string& message) {
    std::string text = consoleErrorText(message);
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
        text.insert(at + 1, "      ");
    return text;
}

std::string jsonBool(bool value) { return value ? "true" : "false"; }

std::string jsonList(const std::vector<std::string>& items) {
    std::string json = "[";
    for (const std::string& item : items) json += (json.size() > 1 ? "," : "") + item;
    return json + "]";
}

// The report as it is found: prose lines printed at once (a count may take
// a while), or JSON members gathered for one object at the end.
class Report {
public:
    Report(std::FILE* out, bool json) : m_out(out), m_json(json) {}

    void line(const std::string& text) {
        if (m_json) return;
        std::fprintf(m_out, "%s\n", text.c_str());
        std::fflush(m_out);
    }
    // A finding that keeps a run from proceeding, with its code; a failure
    // already written as an error is not printed again.
    void problem(const std::string& text, CheckCode code, bool print = true) {
        if (print) line(text);
        m_problems.push_back(jsonString(text.substr(text.find_first_not_of(' '))));
        m_code = worseOf(m_code, code);
    }
    // A JSON member, its value already JSON.
    void member(const std::string& name, const std::string& value) {
        m_members += "," + jsonString(name) + ":" + value;
    }
    CheckCode code() const { return m_code; }

    // The last line, or the JSON object; returns the exit code.
    int finish() {
        const CheckCodeEntry& entry = checkCodeEntry(m_code);
        if (m_json) {
            std::fprintf(m_out, "{\"result\":%s,\"code\":%d%s,\"problems\":%s}\n",
                         jsonString(entry.word).c_str(), static_cast<int>(m_code), m_members.c_str(),
                         jsonList(m_problems).c_str());
            std::fflush(m_out);
        } else {
            line(m_code == CheckCode::Ready ? "a run could proceed now"
                                            : "a run cannot proceed now: " + std::string(entry.meaning));
        }
        return static_cast<int>(m_code);
    }

private:
    std::FILE* m_out;
    bool m_json;
    CheckCode m_code = CheckCode::Ready;
    std::string m_members;
    std::vector<std::string> m_problems;
};

// The settings files an opening reads that are there: the per-user store,
// the connections file and the drivers file.
std::vector<std::string> settingsFilesRead(const SqlConnection& connection) {
    std::vector<std::string> files;
    try {
        const SettingsLocation location = SettingsLocation::ofProgram();
        const SettingsStore store(location);
        for (const std::string& path :
             {location.storeFile, connection.connectionFilePath(),
              store.resolvePath(SettingsStore::kDriverFileValue, "sqldrivers.ini")}) {
            if (!path.empty() && SettingsFile::exists(path)) files.push_back(path);
        }
    } catch (const Error&) {
        // A store that cannot be read names nothing more; the opening says why.
    }
    return files;
}

std::string privilegeNames(const std::string& letters) {
    static const std::pair<char, const char*> kNames[] = {
        {'S', "SELECT"}, {'I', "INSERT"}, {'U', "UPDATE"}, {'D', "DELETE"}, {'R', "REFERENCES"}};
    std::string text;
    for (const auto& [letter, name] : kNames) {
        if (letters.find(letter) != std::string::npos) text += (text.empty() ? "" : ", ") + std::string(name);
    }
    return text.empty() ? "none" : text;
}

std::string rowCount(SqlQuery& query, const std::string& table) {
    query.close();
    query.clearLines();
    query.addLine("SELECT COUNT(*) FROM " + table);
    query.open();
    std::string count = query.fieldText(query.field(0));
    query.close();
    return count;
}

// One table of a history: missing, or its rows and whether the user holds
// the privileges `needed` (letters) on it. Returns whether it exists.
bool checkTable(Report& report, DatabaseFacts& facts, SqlQuery& query, const std::string& table,
                const std::string& needed, std::vector<std::string>& tablesJson) {
    std::string json = "{\"table\":" + jsonString(table);
    if (!facts.tableExists(table)) {
        report.problem("  " + table + ": missing", CheckCode::NotAllowed);
        tablesJson.push_back(json + ",\"exists\":false}");
        return false;
    }
    json += ",\"exists\":true";
    try {
        const std::string rows = rowCount(query, table);
        report.line("  " + table + ": " + rows + " rows");
        json += ",\"rows\":" + rows;
    } catch (const Error& error) {
        report.problem("  " + table + ": cannot be read: " + indented(error.what()), CheckCode::NotAllowed);
    }
    const std::string held = facts.privilegesOn(table);
    std::string missing;
    for (char letter : needed)
        if (held.find(letter) == std::string::npos) missing += letter;
    const std::string line = "  privileges on " + table + ": " + privilegeNames(held);
    if (missing.empty())
        report.line(line);
    else
        report.problem(line + "; a run needs " + privilegeNames(missing) + " as well", CheckCode::NotAllowed);
    json += ",\"privileges\":" + jsonString(privilegeNames(held)) +
            ",\"missingPrivileges\":" + jsonString(missing.empty() ? "" : privilegeNames(missing));
    tablesJson.push_back(json + "}");
    return true;
}

// Whether a run could claim `table` now: the claim is taken and let go at once.
void checkClaim(Report& report, SqlConnection& connection, const std::string& table,
                std::vector<std::string>& claimsJson) {
    const std::string what = "  claim of " + table + " for a run: ";
    const std::string refusal = runClaimRefusal(connection, table);
    if (refusal.empty()) {
        report.line(what + "free now");
        claimsJson.push_back("{\"table\":" + jsonString(table) + ",\"free\":true}");
        return;
    }
    // A refusal that cost the connection says nothing about other runs.
    report.problem(what + "refused: " + indented(refusal),
                   connection.isOpen() ? CheckCode::Held : CheckCode::Unreachable);
    claimsJson.push_back("{\"table\":" + jsonString(table) +
                         ",\"free\":false,\"refusal\":" + jsonString(consoleErrorText(refusal)) + "}");
}

void checkMode(Report& report, SqlConnection& connection, DatabaseFacts& facts, SqlQuery& query,
               const HistoryMode& mode, std::vector<std::string>& tablesJson,
               std::vector<std::string>& claimsJson) {
    report.line(std::string(mode.word) + ":");
    checkTable(report, facts, query, mode.sourceTable, "S", tablesJson);
    if (checkTable(report, facts, query, mode.targetTable, "SID", tablesJson))
        checkClaim(report, connection, mode.targetTable, claimsJson);
}

}  // namespace

int runReadinessCheck(const RebuildArguments& arguments, const std::function<void(SqlConnection&)>& prepare,
                      std::FILE* out, ConsoleMessages& messages) {
    Report report(out, arguments.summary == SummaryForm::Json);
    // Declared before the connection, so that it closes first.
    SqlConnection connection("SQLConnection1");
    const auto unreachable = [&](const std::string& text) {
        messages.error(text);
        report.problem(text, CheckCode::Unreachable, false);
        return report.finish();
    };
    try {
        reloadCurrentFormats();
        try {
            prepare(connection);
        } catch (const Error& error) {
            const std::vector<std::string> files = settingsFilesRead(connection);
            for (const std::string& file : files) report.line("settings: " + file);
            report.member("settingsFiles", jsonList([&] {
                              std::vector<std::string> quoted;
                              for (const std::string& file : files) quoted.push_back(jsonString(file));
                              return quoted;
                          }()));
            return unreachable(consoleErrorText(error.what()));
        }
        std::vector<std::string> files;
        for (const std::string& file : settingsFilesRead(connection)) {
            report.line("settings: " + file);
            files.push_back(jsonString(file));
        }
        report.member("settingsFiles", jsonList(files));
        SqlQuery query("SQLQuery1", connection);
        const std::string database = connection.params.value("Database");
        const std::string serverName =
            serverOf(database, connection.params.value("HostName"), connection.params.value("Server Port"));
        report.member("database", jsonString(database));
        report.member("server", serverName.empty() ? "null" : jsonString(serverName));
        bool alias = false;
        if (!serverName.empty()) {
            report.line("database: " + database + " (through the server " + serverName + ")");
        } else {
            report.line("database: " + database + " (opened in this process)");
            const EmbeddedAccess access = embeddedAccess(database);
            // A file that is not there is a database that cannot be reached;
            // one this user may not use is a run not allowed.
            std::error_code failure;
            const bool missing =
                std::filesystem::status(database, failure).type() == std::filesystem::file_type::not_found;
            const CheckCode code = missing ? CheckCode::Unreachable : CheckCode::NotAllowed;
            for (const std::string& line : access.lines)
                access.usable ? report.line(line) : report.problem(line, code);
            if (!access.hint.empty()) messages.error(access.hint, Priority::Notice);
            alias = access.alias;
        }
        try {
            connection.open();
        } catch (const Error& error) {
            return unreachable("cannot open the database: " + consoleErrorText(error.what()));
        }
        DatabaseFacts facts(connection);
        if (alias) report.line("database file: " + facts.databaseFile());
        const std::string version = facts.serverVersion();
        const std::string user = facts.userName();
        const std::string role = facts.roleName();
        const bool readOnly = facts.readOnly();
        report.line("server: Firebird " + version + ", user " + user +
                    (role.empty() ? "" : ", role " + role));
        report.member("serverVersion", jsonString(version));
        report.member("user", jsonString(user));
        report.member("role", role.empty() ? "null" : jsonString(role));
        report.member("readOnly", jsonBool(readOnly));
        if (readOnly)
            report.problem("access: read-only database", CheckCode::NotAllowed);
        else
            report.line("access: read-write");
        std::vector<std::string> tablesJson;
        std::vector<std::string> claimsJson;
        for (int index = 0; index < 2; ++index) {
            if (arguments.historyIndex == -1 || arguments.historyIndex == index)
                checkMode(report, connection, facts, query, kModes[index], tablesJson, claimsJson);
        }
        report.member("tables", jsonList(tablesJson));
        report.member("claims", jsonList(claimsJson));
    } catch (const std::exception& error) {
        // The connection failed on the way (or the server refused a question):
        // nothing more can be learnt.
        return unreachable(consoleErrorText(error.what()));
    }
    return report.finish();
}

}  // namespace tarvel
