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
const std::string kOutputsAndProcedure =
    ")\nRETURNS (LINES_DONE INTEGER, FAILED_GDSCODE INTEGER, FAILED_SQLCODE INTEGER, FAILED_SQLSTATE CHAR(5) "
    "CHARACTER SET ASCII)\nAS\n"
    "DECLARE PROCEDURE LINE_STATEMENTS (V0 TYPE OF COLUMN STORY_IN.TEMPPRODID, V1 TYPE OF COLUMN "
    "STORY_IN.PROVIDER_ID)\nAS\nBEGIN\nDELETE FROM STORY_IN WHERE TEMPPRODID = :V0 and PROVIDER_ID = :V1; "
    "insert into STORY_IN(PROVIDER_ID,TEMPPRODID) VALUES(:V1,:V0); \nEND\n"
    "BEGIN\nLINES_DONE = 0;\n";

// Line `line`'s call, in a handler of its own.
std::string lineCall(int line) {
    const std::string n = std::to_string(line);
    return "IF (LINES_TO_RUN > " + n + ") THEN BEGIN EXECUTE PROCEDURE LINE_STATEMENTS(:L" + n + "_V0, :L" +
           n + "_V1); LINES_DONE = " + std::to_string(line + 1) +
           "; WHEN ANY DO BEGIN FAILED_GDSCODE = GDSCODE; FAILED_SQLCODE = SQLCODE; FAILED_SQLSTATE = "
           "SQLSTATE; SUSPEND; EXIT; END END\n";
}

TEST(BatchBlockText, OneAndTwoLinesArePinned) {
    EXPECT_EQ(batchBlockText(kReplace, 1),
              kHeadOfOneLine + kOutputsAndProcedure + lineCall(0) + "SUSPEND;\nEND");
    EXPECT_EQ(
        batchBlockText(kReplace, 2),
        kHeadOfOneLine +
            ",\nL1_V0 TYPE OF COLUMN STORY_IN.TEMPPRODID = ?, L1_V1 TYPE OF COLUMN STORY_IN.PROVIDER_ID = ?" +
            kOutputsAndProcedure + lineCall(0) + lineCall(1) + "SUSPEND;\nEND");
}

// Every line calls the sub-procedure, which numbers its table contexts
// anew: 128 lines of two statements, which fill the 256 contexts of one
// statement written out, and 129, which would not fit, have one shape.
TEST(BatchBlockText, EveryLineCallsTheSubProcedureWhateverTheCount) {
    for (const int lines : {128, 129}) {
        const std::string text = batchBlockText(kReplace, static_cast<std::size_t>(lines));
        EXPECT_NE(text.find(kOutputsAndProcedure + lineCall(0)), std::string::npos) << lines;
        EXPECT_NE(text.find(lineCall(lines - 1) + "SUSPEND;\nEND"), std::string::npos) << lines;
        EXPECT_EQ(text.find("DELETE FROM STORY_IN WHERE TEMPPRODID = :L"), std::string::npos) << lines;
        EXPECT_EQ(text.size(), lines == 128 ? 41527u : 41853u) << lines;
    }
}

// Quoted texts and comments keep what looks like a marker; a comment goes.
TEST(BatchBlockText, MarkersInQuotesAndCommentsAreNotValues) {
    BatchLines batch{"T", {"UPDATE T SET A = '?' || \"?\" /* ? */ WHERE B = ? -- ?\n"}, {"B"}, {0}};
    const std::string text = batchBlockText(batch, 1);
    EXPECT_NE(text.find("UPDATE T SET A = '?' || \"?\"   WHERE B = :V0  ;"), std::string::npos) << text;
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
