// The texts the shell derives: application title, error box and fatal box
// texts, the copied box block and access keys.
#include <gtest/gtest.h>

#include <QString>
#include <regex>

#include "ApplicationTitle.h"
#include "BoxDefinition.h"
#include "ErrorText.h"

namespace tarvel {
namespace {

TEST(ApplicationTitle, FollowsTheProgramFileName) {
    const struct {
        const char* path;
        const char* title;
    } cases[] = {
        {"/opt/tarvel/TarvelReset", "Tarvelreset"},
        {"/opt/tarvel/TarvelReset.exe", "Tarvelreset"},
        {"/opt/tarvel/Tarvel.Reset.exe", "Tarvel"},  // cut at the first full stop
        {"/opt/tarvel/tarvelreset", "tarvelreset"},  // the first letter keeps its case
        {"/opt/tarvel/TARVEL.EXE", "Tarvel"},
        {"TarvelReset", "Tarvelreset"},            // no folder at all
        {"/opt/v1.2/TarvelReset", "Tarvelreset"},  // a full stop in a folder does not count
        {"/opt/tarvel/.hidden", ""},
        {"/opt/tarvel/", ""},
        {"/opt/tarvel/ÄRGER.bin", "Ärger"},  // multi-byte first character stays whole
        {"/opt/tarvel/進貨TOOL", "進貨tool"},
        {"/opt/tarvel/\xF0\x9D\x90\x80"
         "BC",
         "\xF0\x9D\x90\x80"
         "bc"},  // beyond 16 bits
    };
    for (const auto& c : cases)
        EXPECT_EQ(applicationTitleFromPath(QByteArray(c.path)), QString::fromUtf8(c.title)) << c.path;
}

TEST(ApplicationTitle, IsAtMost255Characters) {
    const QByteArray longName = "/x/" + QByteArray(300, 'A');
    const QString title = applicationTitleFromPath(longName);
    EXPECT_EQ(title.size(), 255);
    EXPECT_EQ(title.at(0), u'A');
    EXPECT_EQ(title.at(254), u'a');
}

TEST(ApplicationTitle, RunningProgramPathNamesThisTest) {
    EXPECT_EQ(programFileName(runningProgramPath()), QByteArray("app_tests"));
}

TEST(ErrorBoxText, AddsAFullStopOnlyAfterCodesAboveIt) {
    const struct {
        std::string message;
        std::string shown;
    } cases[] = {
        {"Cannot open clipboard", "Cannot open clipboard."},
        {"No help keyword specified.", "No help keyword specified."},
        {"List index out of bounds (7)", "List index out of bounds (7)"},
        {"Stop!", "Stop!"},
        {"Why?", "Why?."},
        {"Count 5", "Count 5."},
        {"階段作業完成", "階段作業完成."},
        {"path/", "path/."},
        {"key:", "key:."},
        {"ends in a blank ", "ends in a blank "},
        {"two lines\r\n", "two lines\r\n"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(errorBoxText(c.message), c.shown) << c.message;
}

TEST(ErrorBoxText, EveryLastByteAgainstTheFullStop) {
    for (int code = 1; code < 256; ++code) {
        const std::string message = std::string("x") + static_cast<char>(code);
        const bool gets = code > 0x2E;
        EXPECT_EQ(errorBoxText(message), gets ? message + "." : message) << "code " << code;
    }
}

TEST(FatalErrorText, FillsEveryField) {
    const struct {
        std::string message;
        std::uintptr_t location;
        std::string text;
    } cases[] = {
        {"Boom", 0x1A2B, "Exception tarvel::Error in module TarvelReset at 00001A2B.\r\nBoom.\r\n"},
        {"Done.", 0xDEADBEEF, "Exception tarvel::Error in module TarvelReset at DEADBEEF.\r\nDone.\r\n"},
        // Unlike the error box, anything but a full stop gets one here.
        {"Failed (3)", 0, "Exception tarvel::Error in module TarvelReset at 00000000.\r\nFailed (3).\r\n"},
        {"", 0x10, "Exception tarvel::Error in module TarvelReset at 00000010.\r\n\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fatalErrorText("tarvel::Error", "TarvelReset", c.location, c.message), c.text) << c.message;
}

TEST(BoxCopyText, ConfirmationBlockByteForByte) {
    const BoxDefinition box = boxDefinition(BoxKind::Confirmation, QStringLiteral("Tarvelreset"));
    const QString expected = QString::fromUtf8(
        "---------------------------\r\n"
        "Confirm\r\n"
        "---------------------------\r\n"
        "確定重置所有歷史資料?\r\n"
        "---------------------------\r\n"
        "Yes   No   \r\n"
        "---------------------------\r\n");
    EXPECT_EQ(boxCopyText(box.caption, QString::fromUtf8("確定重置所有歷史資料?"), box.buttons), expected);
}

TEST(BoxCopyText, KeepsTheMessageAmpersandsAndUsesTheBoxCaption) {
    const BoxDefinition box = boxDefinition(BoxKind::Error, QStringLiteral("Tarvelreset"));
    EXPECT_EQ(boxCopyText(box.caption, QStringLiteral("Fish && Chips & Co"), box.buttons),
              QStringLiteral("---------------------------\r\nTarvelreset\r\n---------------------------\r\n"
                             "Fish && Chips & Co\r\n---------------------------\r\nOK   \r\n"
                             "---------------------------\r\n"));
}

TEST(BoxDefinition, CaptionsButtonsAndResults) {
    const QString title = QStringLiteral("Tarvelreset");
    const struct {
        BoxKind kind;
        const char* caption;
        BoxIcon icon;
        QList<int> results;
        int escape;
        int close;
    } cases[] = {
        {BoxKind::Confirmation, "Confirm", BoxIcon::Question, {6, 7}, 7, 2},
        {BoxKind::Information, "Tarvelreset", BoxIcon::None, {1}, 1, 2},
        {BoxKind::Error, "Tarvelreset", BoxIcon::Stop, {1}, 1, 1},
        {BoxKind::Fatal, "Application Error", BoxIcon::Stop, {1}, 1, 1},
    };
    for (const auto& c : cases) {
        const BoxDefinition box = boxDefinition(c.kind, title);
        EXPECT_EQ(box.caption, QString::fromUtf8(c.caption));
        EXPECT_EQ(box.icon, c.icon);
        QList<int> results;
        for (const BoxButton& button : box.buttons) results.append(button.result);
        EXPECT_EQ(results, c.results) << c.caption;
        EXPECT_EQ(box.escapeResult, c.escape) << c.caption;
        EXPECT_EQ(box.closeResult, c.close) << c.caption;
    }
}

TEST(AccessKey, IsTheCharacterAfterALoneAmpersand) {
    const struct {
        const char* caption;
        QChar key;
    } cases[] = {
        {"&Yes", u'Y'},         {"&no", u'N'},          {"OK", QChar()}, {"&&Yes", QChar()},
        {"Fish&&&Chips", u'C'}, {"Trailing&", QChar()}, {"Sa&ve", u'V'},
    };
    for (const auto& c : cases) EXPECT_EQ(accessKeyOf(QString::fromUtf8(c.caption)), c.key) << c.caption;
}

}  // namespace
}  // namespace tarvel
