#include "ReadinessCheck.h"

#include <set>
#include <string>
#include <vector>

#include "EmbeddedAccess.h"
#include "Error.h"
#include "HistoryMode.h"
#include "RebuildCommand.h"
#include "RegionalFormats.h"
#include "RunClaim.h"
#include "SqlConnection.h"
#include "SqlQuery.h"

namespace tarvel {

namespace {

// The fields of the first row of a statement, as texts.
std::vector<std::string> firstRow(SqlQuery& query, const std::string& statement) {
    query.close();
    query.clearLines();
    query.addLine(statement);
    query.open();
    std::vector<std::string> values;
    for (const Field& field : query.fields()) values.push_back(query.fieldText(field));
    query.close();
    return values;
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

// A server's text of several lines, its lines after the first indented
// under the report line that quotes it.
std::string indented(const std::string& message) {
    std::string text = consoleErrorText(message);
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
        text.insert(at + 1, "      ");
    return text;
}

class Report {
public:
    Report(std::FILE* out, ConsoleMessages& messages) : m_out(out), m_messages(messages) {}
    void line(const std::string& text) {
        std::fprintf(m_out, "%s\n", text.c_str());
        std::fflush(m_out);
    }
    // A finding that keeps a run from proceeding.
    void problem(const std::string& text) {
        line(text);
        m_problems.push_back(text);
    }
    bool clear() const { return m_problems.empty(); }
    ConsoleMessages& messages() { return m_messages; }

private:
    std::FILE* m_out;
    ConsoleMessages& m_messages;
    std::vector<std::string> m_problems;
};

// The privileges the current user holds on `table` through itself, PUBLIC
// or its role, as letters (S select, I insert, U update, D delete, R
// reference); "all" for an administrator or the table's owner.
std::set<char> privilegesOn(SqlQuery& query, const std::string& table, const std::string& user,
                            bool administrator) {
    if (administrator) return {'S', 'I', 'U', 'D', 'R'};
    const std::vector<std::string> owner = firstRow(
        query, "SELECT TRIM(RDB$OWNER_NAME) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = " + quoted(table));
    if (!owner.empty() && owner[0] == user) return {'S', 'I', 'U', 'D', 'R'};
    query.close();
    query.clearLines();
    query.addLine("SELECT DISTINCT TRIM(RDB$PRIVILEGE) FROM RDB$USER_PRIVILEGES WHERE RDB$RELATION_NAME = " +
                  quoted(table) +
                  " AND RDB$FIELD_NAME IS NULL AND (RDB$USER IN (CURRENT_USER, 'PUBLIC') OR " +
                  "RDB$USER = CURRENT_ROLE)");
    query.open();
    std::set<char> letters;
    for (; !query.eof(); query.next()) {
        const std::string letter = query.fieldText(query.field(0));
        if (!letter.empty()) letters.insert(letter[0]);
    }
    query.close();
    return letters;
}

std::string privilegeNames(const std::set<char>& letters) {
    static const std::pair<char, const char*> kNames[] = {
        {'S', "SELECT"}, {'I', "INSERT"}, {'U', "UPDATE"}, {'D', "DELETE"}, {'R', "REFERENCES"}};
    std::string text;
    for (const auto& [letter, name] : kNames) {
        if (letters.count(letter)) text += (text.empty() ? "" : ", ") + std::string(name);
    }
    return text.empty() ? "none" : text;
}

void checkMode(Report& report, SqlConnection& connection, SqlQuery& query, const HistoryMode& mode,
               const std::string& user, bool administrator) {
    const std::string source = mode.sourceTable;
    const std::string history = mode.targetTable;
    report.line(std::string(mode.word) + ":");
    for (const std::string& table : {source, history}) {
        try {
            report.line("  " + table + ": " + firstRow(query, "SELECT COUNT(*) FROM " + table)[0] + " rows");
        } catch (const Error& error) {
            report.problem("  " + table + ": cannot be read: " + indented(error.what()));
        }
    }
    const auto needs = [&](const std::string& table, const std::set<char>& needed) {
        const std::set<char> held = privilegesOn(query, table, user, administrator);
        std::set<char> missing;
        for (char letter : needed)
            if (!held.count(letter)) missing.insert(letter);
        const std::string line = "  privileges on " + table + ": " + privilegeNames(held);
        if (missing.empty())
            report.line(line);
        else
            report.problem(line + "; a run needs " + privilegeNames(missing) + " as well");
    };
    needs(source, {'S'});
    needs(history, {'S', 'I', 'D'});
    const std::string refusal = runClaimRefusal(connection, history);
    if (refusal.empty())
        report.line("  claim of " + history + " for a run: free now");
    else
        report.problem("  claim of " + history + " for a run: refused: " + indented(refusal));
}

}  // namespace

int runReadinessCheck(const RebuildArguments& arguments, ParameterOverrides overrides, std::FILE* out,
                      ConsoleMessages& messages) {
    Report report(out, messages);
    try {
        reloadCurrentFormats();
        SqlConnection connection("SQLConnection1");
        connection.setOverrides(std::move(overrides));
        SqlQuery query("SQLQuery1", connection);
        connection.loadParamsFromIniFile();
        const std::string database = connection.params.value("Database");
        const std::string serverName =
            serverOf(database, connection.params.value("HostName"), connection.params.value("Server Port"));
        bool alias = false;
        if (!serverName.empty()) {
            report.line("database: " + database + " (through the server " + serverName + ")");
        } else {
            report.line("database: " + database + " (opened in this process)");
            const EmbeddedAccess access = embeddedAccess(database);
            for (const std::string& line : access.lines)
                access.usable ? report.line(line) : report.problem(line);
            if (!access.hint.empty()) messages.error(access.hint, Priority::Notice);
            alias = access.alias;
        }
        try {
            connection.open();
        } catch (const Error& error) {
            messages.error("cannot open the database: " + consoleErrorText(error.what()));
            report.problem("a run cannot proceed now");
            return kExitFailed;
        }
        const std::vector<std::string> server = firstRow(
            query,
            "SELECT RDB$GET_CONTEXT('SYSTEM', 'ENGINE_VERSION'), TRIM(CURRENT_USER), TRIM(CURRENT_ROLE), "
            "(SELECT MON$READ_ONLY FROM MON$DATABASE), (SELECT MON$DATABASE_NAME FROM MON$DATABASE), "
            "(SELECT TRIM(RDB$OWNER_NAME) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = 'RDB$DATABASE') "
            "FROM RDB$DATABASE");
        if (alias) report.line("database file: " + server[4]);
        const std::string& user = server[1];
        // The database's owner (the owner of its system tables) holds every
        // right in it, as SYSDBA and the RDB$ADMIN role do.
        const bool administrator = user == "SYSDBA" || server[2] == "RDB$ADMIN" || user == server[5];
        report.line("server: Firebird " + server[0] + ", user " + user +
                    (server[2].empty() || server[2] == "NONE" ? "" : ", role " + server[2]));
        if (server[3] == "1")
            report.problem("access: read-only database");
        else
            report.line("access: read-write");
        for (int index = 0; index < 2; ++index) {
            if (arguments.historyIndex == -1 || arguments.historyIndex == index)
                checkMode(report, connection, query, kModes[index], user, administrator);
        }
    } catch (const std::exception& error) {
        messages.error(consoleErrorText(error.what()));
        report.problem("a run cannot proceed now");
        return kExitFailed;
    }
    if (!report.clear()) {
        report.line("a run cannot proceed now");
        return kExitFailed;
    }
    report.line("a run could proceed now");
    return kExitDone;
}

}  // namespace tarvel
