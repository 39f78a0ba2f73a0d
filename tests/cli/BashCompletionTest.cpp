// The bash completion of tarvel-rebuild, run by bash itself: what it offers
// for the words typed so far, as bash hands them to it (it splits "name=value"
// at the "=").
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "FileText.h"
#include "TestDatabase.h"

namespace tarvel::testing {
namespace {

// A shell word in single quotes.
std::string quotedWord(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The replies, one a line, for `words` (the last one the word being completed).
std::string replies(const std::vector<std::string>& words, const std::string& folder) {
    std::string script = "cd " + quotedWord(folder) + " && source " + quotedWord(TARVEL_COMPLETION_FILE) +
                         " && COMP_WORDS=(tarvel-rebuild";
    for (const std::string& word : words) script += " " + quotedWord(word);
    script += ") && COMP_CWORD=" + std::to_string(words.size()) +
              " && _tarvel_rebuild; printf '%s\\n' \"${COMPREPLY[@]}\" | sort";
    FILE* pipe = ::popen(("bash -c " + quotedWord(script)).c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run bash");
    std::string output;
    char buffer[512];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, got);
    ::pclose(pipe);
    return output == "\n" ? "" : output;
}

TEST(BashCompletion, OffersWhatTheCommandLineTakes) {
    TempDir dir;
    writeFile(dir.file("pw-file"), "x\n");
    writeFile(dir.file("purchase.txt"), "x\n");
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{""}, "purchase\nsales\n"},
        {{"s"}, "sales\n"},
        {{"purchase", ""}, ""},
        {{"sales", "--q"}, "--quiet\n"},
        {{"--user", "purchase", ""}, "purchase\nsales\n"},
        {{"--su"}, "--summary=\n"},
        {{"--re"}, ""},
        {{"--r"}, "--role\n"},
        {{"--summary", "=", ""}, "json\ntext\n"},
        {{"--summary", "=", "j"}, "json\n"},
        {{"--summary", "t"}, "text\n"},
        {{"--fetch-password", ""}, "-\npurchase.txt\npw-file\nstdin\n"},
        {{"--fetch-password", "pw"}, "pw-file\n"},
        {{"--fetch-password", "=", "st"}, "stdin\n"},
        {{"--database", ""}, ""},
        {{"--role", "p"}, ""},
    };
    for (const auto& [words, expected] : cases)
        EXPECT_EQ(replies(words, dir.path()), expected) << ::testing::PrintToString(words);
}

TEST(BashCompletion, EveryLongOptionIsOffered) {
    const std::string offered = replies({"--"}, "/");
    for (const char* option : {"--yes", "--check", "--database", "--user", "--role", "--fetch-password",
                               "--quiet", "--summary=", "--version", "--help"})
        EXPECT_NE(offered.find(std::string(option) + "\n"), std::string::npos) << option;
}

}  // namespace
}  // namespace tarvel::testing
