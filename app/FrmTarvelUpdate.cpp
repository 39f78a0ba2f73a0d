#include "FrmTarvelUpdate.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <chrono>
#include <cmath>

#include "AbortError.h"
#include "BoxPresenter.h"
#include "ErrorHandler.h"
#include "FormLayout.h"
#include "HistoryReset.h"
#include "ProgressBar.h"
#include "RadioGroup.h"
#include "RegionalFormats.h"
#include "SpeedButton.h"
#include "SqlBlockOperations.h"
#include "SqlConnection.h"
#include "SqlQuery.h"
#include "SqlQueryOperations.h"
#include "TerminationSignals.h"
#include "WaitCanceller.h"

namespace tarvel {

namespace {

// How often, and for how long, a shown window looks for its frame.
constexpr std::chrono::milliseconds kFrameLookInterval{50};
constexpr int kFrameLooks = 200;  // ten seconds

// While a run lasts, a stop signal taken settles its canceller before the run
// puts its finished lines away.
class SettledOnStop {
public:
    explicit SettledOnStop(WaitCanceller& canceller) {
        TerminationSignals::whenTaken([&canceller] { canceller.settle(); });
    }
    ~SettledOnStop() { TerminationSignals::whenTaken({}); }
    SettledOnStop(const SettledOnStop&) = delete;
    SettledOnStop& operator=(const SettledOnStop&) = delete;
};

// A sans-serif face with Traditional Chinese glyphs stands in for the design
// font, so the window's own texts render on every machine.
QFont windowFont(int pixels) {
    QFont font;
    font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK TC"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setWeight(QFont::Normal);
    return font;
}

double screenDensity() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() : layout::kDesignDensity;
}

}  // namespace

TFormTarvelReset::TFormTarvelReset(BoxPresenter& boxes, ErrorHandler& errors, ResetRunner run,
                                   QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_boxes(boxes),
      m_errors(errors),
      m_run(std::move(run)) {
    setObjectName(QStringLiteral("FormTarvelReset"));
    setWindowTitle(QStringLiteral("FormTarvelReset"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    applyFont();
    m_frameLook.setInterval(kFrameLookInterval);
    connect(&m_frameLook, &QTimer::timeout, this, [this] {
        fitFrame();
        if (m_frameFitted || --m_frameLooksLeft <= 0) m_frameLook.stop();
    });

    RadioGroup1 =
        new RadioGroup({QStringLiteral("進貨歷史"), QStringLiteral("銷貨歷史")}, layout::kRadioColumns, this);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    SpeedButton1 = new SpeedButton(QStringLiteral("重置"), this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    ProgressBar1 = new ProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    // Creating the connection only finds its settings file; nothing touches
    // the database until the first rebuild opens SQLQuery1.
    SQLConnection1 = std::make_unique<SqlConnection>("SQLConnection1");
    SQLQuery1 = std::make_unique<SqlQuery>("SQLQuery1", *SQLConnection1);
    SQLQuery2 = std::make_unique<SqlQuery>("SQLQuery2", *SQLConnection1);
    if (!m_run) {
        m_run = [this](ResetShell& shell) {
            SqlQueryOperations scan(*SQLQuery1);
            SqlQueryOperations work(*SQLQuery2);
            SqlBlockOperations blocks(*SQLConnection1);
            ConnectionTransactions transactions(*SQLConnection1);
            WaitCanceller canceller(&TerminationSignals::pendingNow,
                                    [this](std::int32_t request) { SQLConnection1->cancel(request); });
            SettledOnStop settled(canceller);
            runHistoryReset(shell, scan, work, blocks, transactions);
        };
    }

    connect(SpeedButton1, &SpeedButton::clicked, this,
            [this] { m_errors.guarded([this] { SpeedButton1Click(SpeedButton1); }); });

    // Until the window manager's frame is known the client area takes the
    // whole outer size; fitFrame() corrects it once the frame appears.
    resize(layout::kOuterSize);
    placeControls();
}

TFormTarvelReset::~TFormTarvelReset() = default;

void TFormTarvelReset::applyFont() {
    const double density = screenDensity();
    if (std::lround(density) == layout::kDesignDensity) {
        setFont(windowFont(layout::kDesignFontPixels));
        m_textHeight = layout::kDesignTextHeight;
        return;
    }
    // Another density: the font grows with it, and the controls grow with the
    // font's text height. The stand-in font's height is measured against its
    // own height at the design size, so 13 stays the reference.
    const QFont scaled = windowFont(layout::fontPixelsFor(density));
    const int designHeight = QFontMetrics(windowFont(layout::kDesignFontPixels)).height();
    const int scaledHeight = QFontMetrics(scaled).height();
    setFont(scaled);
    m_textHeight = designHeight > 0
                       ? layout::mulDivRounded(layout::kDesignTextHeight, scaledHeight, designHeight)
                       : layout::kDesignTextHeight;
}

void TFormTarvelReset::placeControls() {
    RadioGroup1->setGeometry(layout::scaledRect(layout::kRadioGroup, m_textHeight));
    RadioGroup1->arrangeItems(m_textHeight);
    SpeedButton1->setGeometry(layout::scaledRect(layout::kSpeedButton, m_textHeight));
    const int barHeight = layout::scaledLength(layout::kProgressBarHeight, m_textHeight);
    // Aligned to the bottom: full client width, fixed height.
    ProgressBar1->setGeometry(0, height() - barHeight, width(), barHeight);
}

void TFormTarvelReset::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeControls();
}

void TFormTarvelReset::placeOnDesktop(const QMargins& frame) {
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary) return;
    // Client geometry from the outer rectangle and the frame as last known:
    // the widget's own frame geometry lags behind the window manager.
    const QSize outer = layout::kOuterSize;
    const QPoint outerTopLeft =
        primary->geometry().topLeft() + layout::centredPosition(primary->virtualSize(), outer);
    setGeometry(outerTopLeft.x() + frame.left(), outerTopLeft.y() + frame.top(),
                outer.width() - frame.left() - frame.right(), outer.height() - frame.top() - frame.bottom());
}

void TFormTarvelReset::fitFrame() {
    if (m_frameFitted || !windowHandle()) return;
    const QMargins frame = windowHandle()->frameMargins();
    if (frame.isNull()) return;
    m_frameFitted = true;
    placeOnDesktop(frame);
}

void TFormTarvelReset::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        placeOnDesktop(windowHandle() ? windowHandle()->frameMargins() : QMargins());
        m_frameFitted = windowHandle() && !windowHandle()->frameMargins().isNull();
    }
    fitFrame();
    if (!m_frameFitted) {
        m_frameLooksLeft = kFrameLooks;
        m_frameLook.start();
    }
}

bool TFormTarvelReset::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    // The window manager's frame shows up after the window is mapped: the
    // first move, resize or repaint after that is when its margins are known.
    if (m_placed && !m_frameFitted &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
         event->type() == QEvent::UpdateRequest))
        fitFrame();
    return handled;
}

void TFormTarvelReset::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LocaleChange) reloadCurrentFormats();
}

void TFormTarvelReset::SpeedButton1Click(QObject*) {
    struct Running {
        bool& flag;
        explicit Running(bool& running) : flag(running) { flag = true; }
        ~Running() { flag = false; }
    } running(m_running);
    if (m_run) m_run(*this);
}

void TFormTarvelReset::closeEvent(QCloseEvent* event) {
    if (m_running) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TFormTarvelReset::catchUpWithWindowSystem(int litSegmentsBefore) {
    // Without a compositing window manager, a box closed just before the run
    // leaves its picture on the window until the window repaints. Handling
    // the pending paint requests at each visible step of the bar (a few dozen
    // times a run) clears it; input stays queued until the run ends.
    if (ProgressBar1->litSegments() == litSegmentsBefore || !isVisible()) return;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TFormTarvelReset::endRunWhenTerminating() {
    if (TerminationSignals::received() != 0) throw AbortError();
}

void TFormTarvelReset::holdStop() { TerminationSignals::receivedNow(); }

void TFormTarvelReset::endIfStopped() { endRunWhenTerminating(); }

int TFormTarvelReset::confirm(const std::string& question) {
    const int answer = m_boxes.present(BoxKind::Confirmation, QString::fromUtf8(question));
    endRunWhenTerminating();
    return answer;
}

int TFormTarvelReset::chosenIndex() { return RadioGroup1->itemIndex(); }

void TFormTarvelReset::setProgressMax(int maximum) {
    const int before = ProgressBar1->litSegments();
    ProgressBar1->setMaximum(maximum);
    catchUpWithWindowSystem(before);
    endRunWhenTerminating();
}

void TFormTarvelReset::setProgressPosition(int position) {
    const int before = ProgressBar1->litSegments();
    ProgressBar1->setPosition(position);
    catchUpWithWindowSystem(before);
    endRunWhenTerminating();
}

int TFormTarvelReset::progressPosition() { return ProgressBar1->position(); }

void TFormTarvelReset::showInformation(const std::string& message) {
    m_boxes.present(BoxKind::Information, QString::fromUtf8(message));
}

}  // namespace tarvel
