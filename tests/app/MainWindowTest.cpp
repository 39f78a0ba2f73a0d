// The main window as the rebuild's shell, its start state and layout, its
// error handling, and the start-up and end around it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "AbortError.h"
#include "ErrorHandler.h"
#include "FrmTarvelUpdate.h"
#include "ProgressBar.h"
#include "RadioGroup.h"
#include "RegionalFormats.h"
#include "ScriptedBoxes.h"
#include "SpeedButton.h"
#include "SqlConnection.h"
#include "Startup.h"
#include "TarvelApplication.h"
#include "TerminationSignals.h"

namespace tarvel {
namespace {

using testing::ScriptedBoxes;

class MainWindowTest : public ::testing::Test {
protected:
    ScriptedBoxes boxes;
    ErrorHandler errors{boxes};
    int runs = 0;
    std::function<void(ResetShell&)> body = [](ResetShell&) {};

    std::unique_ptr<TFormTarvelReset> makeWindow() {
        auto window = std::make_unique<TFormTarvelReset>(boxes, errors, [this](ResetShell& shell) {
            ++runs;
            body(shell);
        });
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return window;
    }

    static void clickReset(TFormTarvelReset& window) {
        QTest::mouseClick(window.SpeedButton1, Qt::LeftButton);
    }
};

TEST_F(MainWindowTest, StartState) {
    auto window = makeWindow();
    EXPECT_EQ(window->objectName(), QStringLiteral("FormTarvelReset"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("FormTarvelReset"));
    EXPECT_EQ(window->RadioGroup1->itemIndex(), -1);
    EXPECT_EQ(window->RadioGroup1->item(0)->text(), QString::fromUtf8("進貨歷史"));
    EXPECT_EQ(window->RadioGroup1->item(1)->text(), QString::fromUtf8("銷貨歷史"));
    EXPECT_EQ(window->SpeedButton1->text(), QString::fromUtf8("重置"));
    EXPECT_EQ(window->ProgressBar1->minimum(), 0);
    EXPECT_EQ(window->ProgressBar1->maximum(), 100);
    EXPECT_EQ(window->ProgressBar1->position(), 0);
    EXPECT_NE(window->SQLConnection1, nullptr);
    EXPECT_FALSE(window->SQLConnection1->isOpen());
    EXPECT_NE(window->SQLQuery1, nullptr);
    EXPECT_NE(window->SQLQuery2, nullptr);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    // No control holds the keyboard focus, and Tab reaches none.
    EXPECT_EQ(QApplication::focusWidget(), nullptr);
    QTest::keyClick(window.get(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(runs, 0);
}

TEST_F(MainWindowTest, LayoutAtTheDesignDensity) {
    if (std::lround(QGuiApplication::primaryScreen()->logicalDotsPerInch()) != 96)
        GTEST_SKIP() << "screen density is not 96";
    auto window = makeWindow();
    EXPECT_EQ(window->textHeight(), 13);
    EXPECT_EQ(window->font().pixelSize(), 11);
    // The outer size counts the frame, whatever the platform makes it.
    EXPECT_EQ(window->frameGeometry().size(), QSize(243, 164));
    const QMargins frame = window->windowHandle()->frameMargins();
    EXPECT_EQ(window->size(), QSize(243 - frame.left() - frame.right(), 164 - frame.top() - frame.bottom()));
    EXPECT_EQ(window->RadioGroup1->geometry(), QRect(11, 7, 190, 57));
    EXPECT_EQ(window->SpeedButton1->geometry(), QRect(56, 71, 113, 31));
    EXPECT_EQ(window->RadioGroup1->item(0)->geometry(), QRect(8, 14, 90, 39));
    EXPECT_EQ(window->RadioGroup1->item(1)->geometry(), QRect(98, 14, 90, 39));
    EXPECT_EQ(window->ProgressBar1->geometry(), QRect(0, window->height() - 17, window->width(), 17));

    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize desktop = screen->virtualSize();
    EXPECT_EQ(
        window->frameGeometry().topLeft(),
        screen->geometry().topLeft() + QPoint((desktop.width() - 243) / 2, (desktop.height() - 164) / 2));

    // The bar stays on the bottom edge across the whole width; the others stay put.
    const struct { QSize client; } sizes[] = {{QSize(400, 300)}, {QSize(120, 90)}, {QSize(235, 130)}};
    for (const auto& s : sizes) {
        window->resize(s.client);
        EXPECT_EQ(window->ProgressBar1->geometry(), QRect(0, s.client.height() - 17, s.client.width(), 17));
        EXPECT_EQ(window->RadioGroup1->geometry(), QRect(11, 7, 190, 57));
        EXPECT_EQ(window->SpeedButton1->geometry(), QRect(56, 71, 113, 31));
    }
}

TEST_F(MainWindowTest, TheShellOperationsReachTheControlsAndBoxes) {
    auto window = makeWindow();
    boxes.answers = {6, 7, 2};
    EXPECT_EQ(window->confirm("確定重置所有歷史資料?"), 6);
    EXPECT_EQ(window->confirm("q"), 7);
    EXPECT_EQ(window->confirm("q"), 2);
    ASSERT_EQ(boxes.shown.size(), 3);
    EXPECT_EQ(boxes.shown.at(0).kind, BoxKind::Confirmation);
    EXPECT_EQ(boxes.shown.at(0).message, QString::fromUtf8("確定重置所有歷史資料?"));

    window->showInformation("階段作業完成");
    ASSERT_EQ(boxes.shown.size(), 4);
    EXPECT_EQ(boxes.shown.at(3).kind, BoxKind::Information);
    EXPECT_EQ(boxes.shown.at(3).message, QString::fromUtf8("階段作業完成"));

    EXPECT_EQ(window->chosenIndex(), -1);
    QTest::mouseClick(window->RadioGroup1->item(1), Qt::LeftButton);
    EXPECT_EQ(window->chosenIndex(), 1);

    window->setProgressMax(5);
    window->setProgressPosition(3);
    EXPECT_EQ(window->progressPosition(), 3);
    window->setProgressPosition(9);
    EXPECT_EQ(window->progressPosition(), 5);
    EXPECT_EQ(window->ProgressBar1->maximum(), 5);
}

TEST_F(MainWindowTest, TheResetButtonRunsTheCommandOncePerClick) {
    auto window = makeWindow();
    QTest::mousePress(window->SpeedButton1, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseRelease(window->SpeedButton1, Qt::LeftButton, Qt::NoModifier, QPoint(-40, -40));
    EXPECT_EQ(runs, 0);
    clickReset(*window);
    EXPECT_EQ(runs, 1);
    clickReset(*window);
    EXPECT_EQ(runs, 2);
}

TEST_F(MainWindowTest, ErrorsAreShownWithTheFullStopRuleAndTheWindowGoesOn) {
    const struct {
        const char* name;
        std::function<void(ResetShell&)> fails;
        bool boxShown;
        const char* text;
    } cases[] = {
        {"error text ending in a letter", [](ResetShell&) { throw Error("Cannot open clipboard"); }, true,
         "Cannot open clipboard."},
        {"error text ending in a full stop", [](ResetShell&) { throw Error("No help keyword specified."); },
         true, "No help keyword specified."},
        {"the bar's own refusal", [](ResetShell& shell) { shell.setProgressMax(-1); }, true,
         "TProgressBar property out of range."},
        {"a standard library error", [](ResetShell&) { throw std::out_of_range("vector index 9"); }, true,
         "vector index 9."},
        {"something that is no error class", [](ResetShell&) { throw 42; }, true, "Unknown exception."},
        {"the silent abort", [](ResetShell&) { throw AbortError(); }, false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        boxes.shown.clear();
        auto window = makeWindow();
        body = [&](ResetShell& shell) {
            shell.setProgressMax(10);
            shell.setProgressPosition(4);
            c.fails(shell);
        };
        clickReset(*window);
        if (c.boxShown) {
            ASSERT_EQ(boxes.shown.size(), 1);
            EXPECT_EQ(boxes.shown.at(0).kind, BoxKind::Error);
            EXPECT_EQ(boxes.shown.at(0).message, QString::fromUtf8(c.text));
        } else {
            EXPECT_TRUE(boxes.shown.isEmpty());
        }
        // Nothing is undone, and the window still answers.
        EXPECT_EQ(window->ProgressBar1->position(), 4);
        EXPECT_FALSE(window->SpeedButton1->isDown());
        QTest::mouseClick(window->RadioGroup1->item(0), Qt::LeftButton);
        EXPECT_EQ(window->RadioGroup1->itemIndex(), 0);
        body = [](ResetShell& shell) { shell.showInformation("again"); };
        const int runsBefore = runs;
        clickReset(*window);
        EXPECT_EQ(runs, runsBefore + 1);
        EXPECT_EQ(boxes.shown.last().kind, BoxKind::Information);
    }
}

TEST_F(MainWindowTest, TheWindowCannotBeClosedWhileTheCommandRuns) {
    auto window = makeWindow();
    bool closedDuringRun = true;
    body = [&](ResetShell&) { closedDuringRun = window->close(); };
    clickReset(*window);
    EXPECT_FALSE(closedDuringRun);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
}

// Counts the events of type User it receives.
class EventCounter : public QObject {
public:
    int received = 0;
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) ++received;
        return QObject::event(event);
    }
};

TEST_F(MainWindowTest, TheRunLetsTheWindowCatchUpOnlyWhenTheBarVisiblyMoves) {
    auto window = makeWindow();
    EventCounter pending;
    struct Step {
        int position;
        bool barMoves;
    };
    const Step steps[] = {{1, false}, {2, false}, {500, true}, {501, false}, {1000, true}, {1000, false}};
    QList<int> receivedAfter;
    body = [&](ResetShell& shell) {
        shell.setProgressMax(1000);
        shell.setProgressPosition(0);
        for (const Step& step : steps) {
            QCoreApplication::postEvent(&pending, new QEvent(QEvent::User));
            const int before = window->ProgressBar1->litSegments();
            shell.setProgressPosition(step.position);
            EXPECT_EQ(window->ProgressBar1->litSegments() != before, step.barMoves) << step.position;
            receivedAfter.append(pending.received);
        }
    };
    clickReset(*window);
    // Each catch-up takes everything posted so far.
    EXPECT_EQ(receivedAfter, (QList<int>{0, 0, 3, 3, 5, 5}));
}

// Throws from its event handler, as a handler that forgot to guard itself would.
class ThrowingObject : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) throw Error("Unguarded failure");
        return QObject::event(event);
    }
};

TEST_F(MainWindowTest, TheApplicationCatchesWhatAHandlerLetsThrough) {
    auto* application = static_cast<TarvelApplication*>(QCoreApplication::instance());
    application->setErrorHandler(&errors);
    ThrowingObject object;
    QEvent event(QEvent::User);
    EXPECT_NO_THROW(QCoreApplication::sendEvent(&object, &event));
    QCoreApplication::postEvent(&object, new QEvent(QEvent::User));
    EXPECT_NO_THROW(QCoreApplication::processEvents());
    application->setErrorHandler(nullptr);
    ASSERT_EQ(boxes.shown.size(), 2);
    for (const auto& box : boxes.shown) {
        EXPECT_EQ(box.kind, BoxKind::Error);
        EXPECT_EQ(box.message, QStringLiteral("Unguarded failure."));
    }
}

TEST_F(MainWindowTest, LocaleChangeReadsTheRegionalFormatsAgain) {
    const char* before = std::getenv("LC_ALL");
    const std::string saved = before ? before : "";
    auto window = makeWindow();

    const struct {
        const char* locale;
        char decimalSeparator;
    } cases[] = {{"de_DE.UTF-8", ','}, {"en_US.UTF-8", '.'}};
    for (const auto& c : cases) {
        ::setenv("LC_ALL", c.locale, 1);
        QEvent change(QEvent::LocaleChange);
        QCoreApplication::sendEvent(window.get(), &change);
        EXPECT_EQ(currentFormats().decimalSeparator, c.decimalSeparator) << c.locale;
    }
    if (before)
        ::setenv("LC_ALL", saved.c_str(), 1);
    else
        ::unsetenv("LC_ALL");
    reloadCurrentFormats();
}

TEST_F(MainWindowTest, StartUpRunsTheWindowUntilItIsClosed) {
    const int code = runMainWindow(
        boxes,
        [] {
            auto window = std::make_unique<QWidget>();
            QTimer::singleShot(0, window.get(), &QWidget::close);
            return window;
        },
        "/opt/tarvel/TarvelReset");
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(MainWindowTest, AnErrorEscapingStartUpGivesTheFatalBoxAndExitCodeOne) {
    const struct {
        std::function<void()> fails;
        const char* pattern;
    } cases[] = {
        {[] { throw Error("Window cannot be created"); },
         "^Exception tarvel::Error in module TarvelReset at [0-9A-F]{8,}\\.\\r\\nWindow cannot be "
         "created\\.\\r\\n$"},
        {[] { throw std::runtime_error("Ends in a stop."); },
         "^Exception std::runtime_error in module TarvelReset at [0-9A-F]{8,}\\.\\r\\nEnds in a "
         "stop\\.\\r\\n$"},
    };
    for (const auto& c : cases) {
        boxes.shown.clear();
        const int code = runMainWindow(
            boxes,
            [&]() -> std::unique_ptr<QWidget> {
                c.fails();
                return nullptr;
            },
            "/opt/tarvel/TarvelReset");
        EXPECT_EQ(code, 1);
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown.at(0).kind, BoxKind::Fatal);
        EXPECT_TRUE(
            QRegularExpression(QString::fromUtf8(c.pattern)).match(boxes.shown.at(0).message).hasMatch())
            << boxes.shown.at(0).message.toStdString();
    }
}

TEST_F(MainWindowTest, ATerminationSignalStopsTheRunAtItsNextStepAndEndsTheLoop) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        boxes.shown.clear();
        StopSignals stops;
        TerminationSignals terminationSignals(stops);
        int visited = 0;
        bool ended = false;
        body = [&](ResetShell& shell) {
            shell.setProgressMax(10);
            try {
                for (int line = 1; line <= 10; ++line) {
                    shell.setProgressPosition(line);
                    ++visited;
                    if (line == 3) {
                        std::raise(signal);
                        // The window looks for stop signals once per interval.
                        std::this_thread::sleep_for(StopSignals::kPollInterval +
                                                    std::chrono::milliseconds(2));
                    }
                }
            } catch (...) {
                ended = true;  // where the run rolls back its open transaction
                throw;
            }
            shell.showInformation("done");
        };
        const int code = runMainWindow(
            boxes,
            [&]() -> std::unique_ptr<QWidget> {
                auto window = makeWindow();
                QTimer::singleShot(0, window.get(), [w = window.get()] { clickReset(*w); });
                return window;
            },
            "/opt/tarvel/TarvelReset");
        EXPECT_EQ(code, 128 + signal);
        EXPECT_EQ(visited, 3) << "the line after the signal is not visited";
        EXPECT_TRUE(ended);
        EXPECT_TRUE(boxes.shown.isEmpty()) << "the run ends silently: no error box, no completion box";
    }
}

TEST_F(MainWindowTest, ATerminationSignalWhileIdleEndsTheLoop) {
    StopSignals stops;
    TerminationSignals terminationSignals(stops);
    const int code = runMainWindow(
        boxes,
        [&]() -> std::unique_ptr<QWidget> {
            auto window = makeWindow();
            QTimer::singleShot(0, [] { std::raise(SIGTERM); });
            return window;
        },
        "/opt/tarvel/TarvelReset");
    EXPECT_EQ(code, 128 + SIGTERM);
    EXPECT_EQ(TerminationSignals::received(), SIGTERM);
    EXPECT_EQ(runs, 0);
}

}  // namespace
}  // namespace tarvel
