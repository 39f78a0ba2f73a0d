// The boxes as dialogs: results of their keys and buttons, the copied block,
// layout and centring, and the presenter that runs them modally.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "BoxPresenter.h"
#include "MessageDialog.h"
#include "MessageText.h"
#include "PaintCounter.h"

namespace tarvel {
namespace {

const QString kTitle = QStringLiteral("Tarvelreset");

struct Key {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

void showActive(QWidget& widget) {
    widget.show();
    widget.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&widget));
}

void press(QWidget& dialog, const Key& key) {
    QWidget* target = QApplication::focusWidget();
    QTest::keyClick(target ? target : &dialog, key.key, key.modifiers);
}

constexpr int kStillOpen = -1;

TEST(MessageDialog, KeysGiveTheBoxResults) {
    const struct {
        const char* name;
        BoxKind kind;
        QList<Key> keys;
        int result;
    } cases[] = {
        {"Enter on the first button", BoxKind::Confirmation, {{Qt::Key_Return}}, 6},
        {"keypad Enter", BoxKind::Confirmation, {{Qt::Key_Enter, Qt::KeypadModifier}}, 6},
        {"Escape", BoxKind::Confirmation, {{Qt::Key_Escape}}, 7},
        {"Y alone", BoxKind::Confirmation, {{Qt::Key_Y}}, 6},
        {"N alone", BoxKind::Confirmation, {{Qt::Key_N}}, 7},
        {"Shift+N", BoxKind::Confirmation, {{Qt::Key_N, Qt::ShiftModifier}}, 7},
        {"Alt+Y", BoxKind::Confirmation, {{Qt::Key_Y, Qt::AltModifier}}, 6},
        {"Alt+N", BoxKind::Confirmation, {{Qt::Key_N, Qt::AltModifier}}, 7},
        {"Ctrl+N does nothing", BoxKind::Confirmation, {{Qt::Key_N, Qt::ControlModifier}}, kStillOpen},
        {"another letter does nothing", BoxKind::Confirmation, {{Qt::Key_Q}}, kStillOpen},
        {"Tab then Enter", BoxKind::Confirmation, {{Qt::Key_Tab}, {Qt::Key_Return}}, 7},
        {"Right then Enter", BoxKind::Confirmation, {{Qt::Key_Right}, {Qt::Key_Return}}, 7},
        {"Down then Enter", BoxKind::Confirmation, {{Qt::Key_Down}, {Qt::Key_Return}}, 7},
        {"Right twice wraps", BoxKind::Confirmation, {{Qt::Key_Right}, {Qt::Key_Right}, {Qt::Key_Return}}, 6},
        {"Left wraps backward", BoxKind::Confirmation, {{Qt::Key_Left}, {Qt::Key_Return}}, 7},
        {"Up then Down", BoxKind::Confirmation, {{Qt::Key_Up}, {Qt::Key_Down}, {Qt::Key_Return}}, 6},
        {"Enter on OK", BoxKind::Information, {{Qt::Key_Return}}, 1},
        {"Escape on OK", BoxKind::Information, {{Qt::Key_Escape}}, 1},
        {"N has no button here", BoxKind::Information, {{Qt::Key_N}}, kStillOpen},
        {"error box Escape", BoxKind::Error, {{Qt::Key_Escape}}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MessageDialog dialog(boxDefinition(c.kind, kTitle), QStringLiteral("Question?"));
        showActive(dialog);
        for (const Key& key : c.keys) press(dialog, key);
        if (c.result == kStillOpen) {
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_EQ(dialog.result(), 0);
        } else {
            EXPECT_FALSE(dialog.isVisible());
            EXPECT_EQ(dialog.result(), c.result);
        }
    }
}

TEST(MessageDialog, ClosingThroughTheFrameGivesTheCloseResult) {
    const struct {
        BoxKind kind;
        int result;
    } cases[] = {{BoxKind::Confirmation, 2}, {BoxKind::Information, 2}, {BoxKind::Error, 1}};
    for (const auto& c : cases) {
        MessageDialog dialog(boxDefinition(c.kind, kTitle), QStringLiteral("Text"));
        showActive(dialog);
        EXPECT_TRUE(dialog.close());
        EXPECT_EQ(dialog.result(), c.result);
    }
}

TEST(MessageDialog, ButtonsClickedWithTheMouse) {
    for (int index : {0, 1}) {
        MessageDialog dialog(boxDefinition(BoxKind::Confirmation, kTitle), QStringLiteral("Text"));
        showActive(dialog);
        QTest::mouseClick(dialog.buttons().at(index), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), index == 0 ? 6 : 7);
    }
}

TEST(MessageDialog, CtrlCBeepsAndCopiesTheBlockAndLeavesTheBoxOpen) {
    const QString question = QString::fromUtf8("確定重置所有歷史資料?");
    MessageDialog dialog(boxDefinition(BoxKind::Confirmation, kTitle), question);
    int beeps = 0;
    dialog.setBeep([&beeps] { ++beeps; });
    showActive(dialog);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));

    press(dialog, {Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier});
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    EXPECT_EQ(beeps, 0);

    press(dialog, {Qt::Key_C, Qt::ControlModifier});
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QString::fromUtf8("---------------------------\r\nConfirm\r\n---------------------------\r\n"
                                "確定重置所有歷史資料?\r\n---------------------------\r\nYes   No   \r\n"
                                "---------------------------\r\n"));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 0);
}

TEST(MessageDialog, AClipboardThatCannotBeTakenIsReportedAndTheBoxStaysOpen) {
    MessageDialog dialog(boxDefinition(BoxKind::Information, kTitle), QStringLiteral("Text"));
    dialog.setBeep([] {});
    dialog.setClipboardWriter([](const QString&) { return false; });
    QStringList reported;
    dialog.setErrorReporter(
        [&](const std::string& error) { reported.append(QString::fromStdString(error)); });
    showActive(dialog);
    press(dialog, {Qt::Key_C, Qt::ControlModifier});
    EXPECT_EQ(reported, QStringList{QStringLiteral("Cannot open clipboard")});
    EXPECT_TRUE(dialog.isVisible());
}

TEST(DialogBoxPresenter, ReportsAClipboardFailureInTheErrorBox) {
    DialogBoxPresenter presenter(kTitle);
    QStringList captions;
    QStringList copied;
    // The box under test: its clipboard is taken by another program.
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<MessageDialog*>(QApplication::activeModalWidget());
        if (!box) return;
        box->setClipboardWriter([](const QString&) { return false; });
        // The error box it opens: copy its text, then close both.
        QTimer::singleShot(0, [&, box] {
            auto* error = qobject_cast<MessageDialog*>(QApplication::activeModalWidget());
            if (error && error != box) {
                captions.append(error->windowTitle());
                copied.append(error->copyText());
                QTest::keyClick(error, Qt::Key_Return);
            }
            captions.append(box->isVisible() ? box->windowTitle() : QString());
            QTest::keyClick(box, Qt::Key_Escape);
        });
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
    });
    EXPECT_EQ(presenter.present(BoxKind::Confirmation, QStringLiteral("Question?")), 7);
    EXPECT_EQ(captions, (QStringList{kTitle, QStringLiteral("Confirm")}));
    ASSERT_EQ(copied.size(), 1);
    EXPECT_TRUE(copied.at(0).contains(QStringLiteral("\r\nCannot open clipboard.\r\n")));
}

TEST(MessageDialog, ButtonsShareOneWidthAndTheFirstHasTheFocus) {
    MessageDialog dialog(boxDefinition(BoxKind::Confirmation, kTitle), QStringLiteral("x"));
    showActive(dialog);
    ASSERT_EQ(dialog.buttons().size(), 2);
    EXPECT_EQ(dialog.buttons().at(0)->text(), QStringLiteral("&Yes"));
    EXPECT_EQ(dialog.buttons().at(1)->text(), QStringLiteral("&No"));
    EXPECT_EQ(dialog.buttons().at(0)->width(), dialog.buttons().at(1)->width());
    EXPECT_TRUE(dialog.buttons().at(0)->hasFocus());
    // A short text still leaves room for the whole button row.
    EXPECT_GE(dialog.width(), 2 * dialog.buttons().at(0)->width());
}

TEST(MessageDialog, LongTextWrapsWithinHalfTheScreenAndTheBoxIsCentred) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QString longText;
    for (int i = 0; i < 80; ++i) longText += QStringLiteral("word%1 ").arg(i);

    MessageDialog shortBox(boxDefinition(BoxKind::Information, kTitle), QStringLiteral("short"));
    MessageDialog longBox(boxDefinition(BoxKind::Information, kTitle), longText);
    showActive(shortBox);
    showActive(longBox);

    const auto* text = longBox.findChild<MessageText*>();
    ASSERT_NE(text, nullptr);
    EXPECT_LE(text->width(), screen.width() / 2);
    EXPECT_GT(text->width(), screen.width() / 4);
    EXPECT_GT(longBox.height(), shortBox.height() + 2 * text->fontMetrics().height());

    for (const MessageDialog* box : {&shortBox, &longBox}) {
        EXPECT_EQ(box->x(), screen.x() + (screen.width() - box->width()) / 2);
        EXPECT_EQ(box->y(), screen.y() + (screen.height() - box->height()) / 2);
    }
}

TEST(MessageText, AmpersandsAndLineBreaksAsShown) {
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    const struct {
        const char* text;
        const char* shownAs;
    } cases[] = {
        {"&Yes", "Yes"},
        {"Fish && Chips", "Fish & Chips"},
        {"a&&&b", "a&b"},
        {"plain", "plain"},
        {"Driver Error: x\r\nSQL Server Error: y", "Driver Error: x\nSQL Server Error: y"},
        {"one\rtwo", "one\ntwo"},
    };
    for (const auto& c : cases) {
        MessageText text(QString::fromUtf8(c.text), 400);
        const QSize expected = text.fontMetrics()
                                   .boundingRect(QRect(0, 0, 400, 1000), flags, QString::fromUtf8(c.shownAs))
                                   .size();
        EXPECT_EQ(text.sizeHint(), expected) << c.text;
    }
}

TEST(DialogBoxPresenter, RunsTheBoxModallyAndReturnsItsResult) {
    DialogBoxPresenter presenter(kTitle);
    const struct {
        BoxKind kind;
        Key key;
        int result;
        const char* caption;
    } cases[] = {
        {BoxKind::Confirmation, {Qt::Key_N}, 7, "Confirm"},
        {BoxKind::Confirmation, {Qt::Key_Return}, 6, "Confirm"},
        {BoxKind::Information, {Qt::Key_Escape}, 1, "Tarvelreset"},
        {BoxKind::Error, {Qt::Key_Return}, 1, "Tarvelreset"},
    };
    for (const auto& c : cases) {
        QString caption;
        bool modal = false;
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            if (!box) return;
            caption = box->windowTitle();
            modal = box->windowModality() == Qt::ApplicationModal;
            QTest::keyClick(box, c.key.key, c.key.modifiers);
        });
        EXPECT_EQ(presenter.present(c.kind, QStringLiteral("Text")), c.result) << c.caption;
        EXPECT_EQ(caption, QString::fromUtf8(c.caption));
        EXPECT_TRUE(modal);
    }
}

TEST(DialogBoxPresenter, OpeningABoxLetsGoOfTheMouse) {
    QWidget holder;
    showActive(holder);
    holder.grabMouse();
    ASSERT_EQ(QWidget::mouseGrabber(), &holder);
    DialogBoxPresenter presenter(kTitle);
    QWidget* grabberWhileShown = &holder;
    QTimer::singleShot(0, [&] {
        grabberWhileShown = QWidget::mouseGrabber();
        if (QWidget* box = QApplication::activeModalWidget()) QTest::keyClick(box, Qt::Key_Escape);
    });
    presenter.present(BoxKind::Information, QStringLiteral("Text"));
    EXPECT_EQ(grabberWhileShown, nullptr);
}

TEST(DialogBoxPresenter, RepaintsTheWindowsTheBoxUncoveredBeforeReturning) {
    QWidget window;
    window.resize(243, 164);
    showActive(window);
    QApplication::processEvents();
    testing::PaintCounter counter(&window);
    DialogBoxPresenter presenter(kTitle);
    int paintsWhileShown = -1;
    QTimer::singleShot(0, [&] {
        paintsWhileShown = counter.paints;
        if (QWidget* box = QApplication::activeModalWidget()) QTest::keyClick(box, Qt::Key_Escape);
    });
    presenter.present(BoxKind::Information, QStringLiteral("Text"));
    // Painted by the time the caller goes on, without the event loop running.
    EXPECT_GT(counter.paints, paintsWhileShown);
}

}  // namespace
}  // namespace tarvel
