// The window on a screen of 144 pixels per inch with the toolkit's own scaling
// switched off: the font grows with the density, the controls with the font's
// text height, and the outer size stays.
#include <gtest/gtest.h>

#include <QApplication>
#include <QRadioButton>
#include <QScreen>
#include <QTest>

#include "ErrorHandler.h"
#include "FormLayout.h"
#include "FrmTarvelUpdate.h"
#include "ProgressBar.h"
#include "RadioGroup.h"
#include "ScriptedBoxes.h"
#include "SpeedButton.h"

namespace tarvel {
namespace {

TEST(Scaling, FontAndControlsFollowTheScreenDensity) {
    ASSERT_EQ(std::lround(QGuiApplication::primaryScreen()->logicalDotsPerInch()), 144)
        << "the test's screen set-up was not applied";
    testing::ScriptedBoxes boxes;
    ErrorHandler errors(boxes);
    TFormTarvelReset window(boxes, errors, [](ResetShell&) {});
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    EXPECT_EQ(window.font().pixelSize(), 17);  // 11 * 144 / 96 = 16.5, rounded
    QFont designFont = window.font();
    designFont.setPixelSize(11);
    const int expectedHeight =
        layout::mulDivRounded(13, QFontMetrics(window.font()).height(), QFontMetrics(designFont).height());
    EXPECT_EQ(window.textHeight(), expectedHeight);
    EXPECT_GT(window.textHeight(), 13);

    const int h = window.textHeight();
    auto scaled = [h](int v) { return layout::mulDivRounded(v, h, 13); };
    EXPECT_EQ(window.RadioGroup1->geometry(),
              QRect(scaled(11), scaled(7), scaled(201) - scaled(11), scaled(64) - scaled(7)));
    EXPECT_EQ(window.SpeedButton1->geometry(),
              QRect(scaled(56), scaled(71), scaled(169) - scaled(56), scaled(102) - scaled(71)));
    EXPECT_EQ(window.ProgressBar1->height(), scaled(17));
    EXPECT_EQ(window.ProgressBar1->geometry().bottom(), window.height() - 1);
    EXPECT_EQ(window.RadioGroup1->item(1)->geometry(),
              layout::radioItemRect(1, 2, 2, window.RadioGroup1->size(), h));
    // The window's own outer size is not scaled.
    EXPECT_EQ(window.frameGeometry().size(), QSize(243, 164));
}

}  // namespace
}  // namespace tarvel
