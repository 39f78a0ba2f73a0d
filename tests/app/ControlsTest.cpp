// The window's controls on their own: the progress bar's range and painting,
// the reset button's mouse rules, and the radio group's choice and tab stops.
#include <gtest/gtest.h>

#include <QApplication>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <limits>

#include "Error.h"
#include "PaintCounter.h"
#include "ProgressBar.h"
#include "RadioGroup.h"
#include "SpeedButton.h"

namespace tarvel {
namespace {

using testing::PaintCounter;

TEST(ProgressBar, PositionStaysWithinTheRange) {
    const int intMax = std::numeric_limits<int>::max();
    const int intMin = std::numeric_limits<int>::min();
    const struct {
        int maximum, position, readBack;
    } cases[] = {
        {100, 50, 50}, {100, 150, 100},          {100, -5, 0},    {0, 0, 0},
        {0, 7, 0},     {intMax, intMax, intMax}, {10, intMin, 0}, {3, 4, 3},
    };
    for (const auto& c : cases) {
        ProgressBar bar;
        bar.setMaximum(c.maximum);
        bar.setPosition(c.position);
        EXPECT_EQ(bar.position(), c.readBack) << c.maximum << " / " << c.position;
    }
}

TEST(ProgressBar, MaximumBelowTheMinimumIsRefusedAndTheRangeStays) {
    ProgressBar bar;
    bar.setPosition(40);
    try {
        bar.setMaximum(-1);
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(), "TProgressBar property out of range");
    }
    EXPECT_EQ(bar.maximum(), 100);
    EXPECT_EQ(bar.position(), 40);

    bar.setMinimum(10);
    EXPECT_THROW(bar.setMaximum(9), Error);
    EXPECT_THROW(bar.setMinimum(101), Error);
    EXPECT_EQ(bar.minimum(), 10);
    EXPECT_EQ(bar.maximum(), 100);
}

TEST(ProgressBar, LoweringTheMaximumPullsThePositionIn) {
    ProgressBar bar;
    bar.setPosition(90);
    bar.setMaximum(30);
    EXPECT_EQ(bar.position(), 30);
}

TEST(ProgressBar, PaintsAtOnceButOnlyWhenTheLitBlocksChange) {
    QWidget window;
    window.resize(235, 130);
    ProgressBar bar(&window);
    bar.setGeometry(0, 113, 235, 17);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QApplication::processEvents();
    PaintCounter counter(&bar);

    const int rows = 200000;
    bar.setMaximum(rows);
    bar.setPosition(0);
    int lastLit = bar.litSegments();
    int changes = 0;
    for (int row = 1; row <= rows; ++row) {
        const int paintsBefore = counter.paints;
        bar.setPosition(row);
        if (bar.litSegments() != lastLit) {
            ++changes;
            lastLit = bar.litSegments();
            // Shown without the event loop's help.
            EXPECT_EQ(counter.paints, paintsBefore + 1) << "row " << row;
        } else {
            EXPECT_EQ(counter.paints, paintsBefore) << "row " << row;
        }
    }
    EXPECT_EQ(bar.position(), rows);
    EXPECT_GT(changes, 10);
    EXPECT_EQ(counter.paints, changes);
    const QRect inner = bar.rect().adjusted(2, 2, -2, -2);
    EXPECT_EQ(bar.litSegments(),
              visibleSegments(0, rows, rows, inner.width(), segmentGeometry(inner.height())));
}

TEST(SpeedButton, RunsOnlyOnALeftReleaseOverItself) {
    const struct {
        const char* name;
        Qt::MouseButton button;
        bool releaseOutside;
        int clicks;
    } cases[] = {
        {"left, released over it", Qt::LeftButton, false, 1},
        {"left, released elsewhere", Qt::LeftButton, true, 0},
        {"right button", Qt::RightButton, false, 0},
        {"middle button", Qt::MiddleButton, false, 0},
    };
    for (const auto& c : cases) {
        QWidget window;
        window.resize(235, 130);
        SpeedButton button(QStringLiteral("重置"), &window);
        button.setGeometry(56, 71, 113, 31);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QSignalSpy clicked(&button, &SpeedButton::clicked);

        const QPoint inside(10, 10);
        QTest::mousePress(&button, c.button, Qt::NoModifier, inside);
        EXPECT_EQ(button.isDown(), c.button == Qt::LeftButton) << c.name;
        QTest::mouseRelease(&button, c.button, Qt::NoModifier, c.releaseOutside ? QPoint(-20, -20) : inside);
        EXPECT_EQ(clicked.count(), c.clicks) << c.name;
        EXPECT_FALSE(button.isDown()) << c.name;
    }
}

TEST(SpeedButton, DrawsPressedOnlyWhileThePointerIsOverIt) {
    QWidget window;
    window.resize(235, 130);
    SpeedButton button(QStringLiteral("重置"), &window);
    button.setGeometry(56, 71, 113, 31);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QSignalSpy clicked(&button, &SpeedButton::clicked);

    QTest::mousePress(&button, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_TRUE(button.isDown());
    QTest::mouseMove(&button, QPoint(-30, -30));
    EXPECT_FALSE(button.isDown());
    QTest::mouseMove(&button, QPoint(6, 6));
    EXPECT_TRUE(button.isDown());
    QTest::mouseRelease(&button, Qt::LeftButton, Qt::NoModifier, QPoint(6, 6));
    EXPECT_EQ(clicked.count(), 1);
}

TEST(SpeedButton, NeverTakesTheFocusNorAKey) {
    QWidget window;
    auto* other = new QRadioButton(QStringLiteral("x"), &window);
    SpeedButton button(QStringLiteral("重置"), &window);
    button.setGeometry(56, 71, 113, 31);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    other->setFocus();
    QSignalSpy clicked(&button, &SpeedButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_TRUE(other->hasFocus());
    EXPECT_EQ(button.focusPolicy(), Qt::NoFocus);
    QTest::keyClick(&button, Qt::Key_Space);
    QTest::keyClick(&button, Qt::Key_Return);
    EXPECT_EQ(clicked.count(), 1);
}

TEST(RadioGroup, NoChoiceAtStartAndNoneCanBeUnmadeByClicking) {
    QWidget window;
    RadioGroup group({QStringLiteral("進貨歷史"), QStringLiteral("銷貨歷史")}, 2, &window);
    group.setGeometry(11, 7, 190, 57);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(group.itemIndex(), -1);

    const struct {
        int clicked;
        int index;
    } steps[] = {{1, 1}, {0, 0}, {0, 0}, {1, 1}};
    for (const auto& step : steps) {
        QTest::mouseClick(group.item(step.clicked), Qt::LeftButton);
        EXPECT_EQ(group.itemIndex(), step.index);
    }
    group.setItemIndex(-1);
    EXPECT_EQ(group.itemIndex(), -1);
}

TEST(RadioGroup, OnlyTheChosenItemIsATabStop) {
    QWidget window;
    RadioGroup group({QStringLiteral("進貨歷史"), QStringLiteral("銷貨歷史")}, 2, &window);
    group.setGeometry(11, 7, 190, 57);
    group.arrangeItems(13);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    // Nothing chosen: Tab reaches no item.
    QTest::keyClick(&window, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), nullptr);

    QTest::mouseClick(group.item(0), Qt::LeftButton);
    EXPECT_TRUE(group.item(0)->hasFocus());
    EXPECT_TRUE(group.item(0)->focusPolicy() & Qt::TabFocus);
    EXPECT_FALSE(group.item(1)->focusPolicy() & Qt::TabFocus);

    // Arrow keys move the focus, and the choice, between the items.
    const struct {
        Qt::Key key;
        int index;
    } steps[] = {{Qt::Key_Right, 1}, {Qt::Key_Left, 0}, {Qt::Key_Down, 1}, {Qt::Key_Up, 0}};
    for (const auto& step : steps) {
        QTest::keyClick(QApplication::focusWidget(), step.key);
        EXPECT_EQ(group.itemIndex(), step.index) << step.key;
        EXPECT_TRUE(group.item(step.index)->hasFocus()) << step.key;
        EXPECT_TRUE(group.item(step.index)->focusPolicy() & Qt::TabFocus);
        EXPECT_FALSE(group.item(1 - step.index)->focusPolicy() & Qt::TabFocus);
    }
}

}  // namespace
}  // namespace tarvel
