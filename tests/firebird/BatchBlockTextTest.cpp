// The text of a batch's block, without a server: pinned for one and two
// lines, inline up to the server's table contexts and through the
// sub-procedure beyond, and refused for shapes it cannot hold.
#include <gtest/gtest.h>

#include "BatchBlockText.h"
#include "DriverFailure.h"

namespace tarvel::fb {
namespace {

const BatchLines kReplace{"STORY_IN",
                          {"DELETE FROM STORY_IN WHERE TEMPPRODID = ? and PROVIDER_ID = ?",
                           "insert into STORY_IN(PROVIDER_ID,TEMPPRODID) VALUES(?,?)"},
                          {"TEMPPRODID", "PROVIDER_ID"},
                          {0, 1, 1, 0}};

const std::string kHeadOfOneLine =
    "EXECUTE BLOCK (LINES_TO_RUN INTEGER = ?,\n"
    "L0_V0 TYPE OF COLUMN STORY_IN.TEMPPRODID = ?, L0_V1 TYPE OF COLUMN STORY_IN.PROVIDER_ID = ?";
const std::string kOutputs =
    ")\nRETURNS (LINES_DONE INTEGER, FAILED_GDSCODE INTEGER, FAILED_SQLCODE INTEGER, FAILED_SQLSTATE CHAR(5) "
    "CHARACTER SET ASCII)\nAS\n";
const std::string kHandler =
    " WHEN ANY DO BEGIN FAILED_GDSCODE = GDSCODE; FAILED_SQLCODE = SQLCODE; FAILED_SQLSTATE = SQLSTATE; "
    "SUSPEND; EXIT; END END\n";

std::string inlineLine(int line) {
    const std::string n = std::to_string(line);
    return "IF (LINES_TO_RUN > " + n + ") THEN BEGIN DELETE FROM STORY_IN WHERE TEMPPRODID = :L" + n +
           "_V0 and PROVIDER_ID = :L" + n + "_V1; insert into STORY_IN(PROVIDER_ID,TEMPPRODID) VALUES(:L" +
           n + "_V1,:L" + n + "_V0); LINES_DONE = " + std::to_string(line + 1) + ";" + kHandler;
}

TEST(BatchBlockText, OneAndTwoLinesArePinned) {
    EXPECT_EQ(batchBlockText(kReplace, 1),
              kHeadOfOneLine + kOutputs + "BEGIN\nLINES_DONE = 0;\n" + inlineLine(0) + "SUSPEND;\nEND");
    EXPECT_EQ(
        batchBlockText(kReplace, 2),
        kHeadOfOneLine +
            ",\nL1_V0 TYPE OF COLUMN STORY_IN.TEMPPRODID = ?, L1_V1 TYPE OF COLUMN STORY_IN.PROVIDER_ID = ?" +
            kOutputs + "BEGIN\nLINES_DONE = 0;\n" + inlineLine(0) + inlineLine(1) + "SUSPEND;\nEND");
}

// 128 lines of two statements fill the server's 256 contexts inline; the
// 129th sends every line through the sub-procedure, whose statements name
// its own parameters.
TEST(BatchBlockText, BeyondTheContextsTheLinesCallTheSubProcedure) {
    const std::string full = batchBlockText(kReplace, 128);
    EXPECT_EQ(full.find("DECLARE PROCEDURE"), std::string::npos);
    EXPECT_NE(full.find(inlineLine(127) + "SUSPEND;\nEND"), std::string::npos);
    EXPECT_EQ(full.size(), 53082u);

    const std::string beyond = batchBlockText(kReplace, 129);
    EXPECT_NE(
        beyond.find(kOutputs +
                    "DECLARE PROCEDURE LINE_STATEMENTS (V0 TYPE OF COLUMN STORY_IN.TEMPPRODID, V1 TYPE OF "
                    "COLUMN STORY_IN.PROVIDER_ID)\nAS\nBEGIN\nDELETE FROM STORY_IN WHERE TEMPPRODID = :V0 "
                    "and PROVIDER_ID = :V1; insert into STORY_IN(PROVIDER_ID,TEMPPRODID) VALUES(:V1,:V0); \n"
                    "END\nBEGIN\nLINES_DONE = 0;\n"),
        std::string::npos);
    EXPECT_NE(beyond.find("IF (LINES_TO_RUN > 128) THEN BEGIN EXECUTE PROCEDURE LINE_STATEMENTS(:L128_V0, "
                          ":L128_V1); LINES_DONE = 129;" +
                          kHandler + "SUSPEND;\nEND"),
              std::string::npos);
    EXPECT_EQ(beyond.find("DELETE FROM STORY_IN WHERE TEMPPRODID = :L"), std::string::npos);
}

// Quoted texts and comments keep what looks like a marker; a comment goes.
TEST(BatchBlockText, MarkersInQuotesAndCommentsAreNotValues) {
    BatchLines batch{"T", {"UPDATE T SET A = '?' || \"?\" /* ? */ WHERE B = ? -- ?\n"}, {"B"}, {0}};
    const std::string text = batchBlockText(batch, 1);
    EXPECT_NE(text.find("UPDATE T SET A = '?' || \"?\"   WHERE B = :L0_V0  ;"), std::string::npos) << text;
}

TEST(BatchBlockText, ShapesItCannotHoldAreRefused) {
    const struct {
        const char* why;
        BatchLines batch;
        std::size_t lines;
    } cases[] = {
        {"a table that is not a plain name", {"T; DROP", {"DELETE FROM T WHERE A = ?"}, {"A"}, {0}}, 1},
        {"a quoted column", {"T", {"DELETE FROM T WHERE A = ?"}, {"\"A\""}, {0}}, 1},
        {"more markers than values named", {"T", {"DELETE FROM T WHERE A = ? OR A = ?"}, {"A"}, {0}}, 1},
        {"a marker taking no value", {"T", {"DELETE FROM T WHERE A = ?"}, {"A"}, {1}}, 1},
        {"a value no marker takes", {"T", {"DELETE FROM T WHERE A = ?"}, {"A", "B"}, {0}}, 1},
        {"no lines", kReplace, 0},
        {"more lines than parameters allow", kReplace, 16384},
    };
    for (const auto& c : cases) {
        EXPECT_THROW(batchBlockText(c.batch, c.lines), DriverFailure) << c.why;
    }
    EXPECT_NO_THROW(batchBlockText(kReplace, 16383)) << "32,767 parameters, one of them the count";
}

}  // namespace
}  // namespace tarvel::fb
