#include "training/trainwindow.h"

#include "core/errorbox.h"
#include "core/prompts.h"
#include "core/widgets/statusbar.h"
#include "core/twips.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "core/widgets/winhelpers.h"
#include "network/networkproject.h"
#include "network/workflowflags.h"
#include "shell/modmenu.h"
#include "training/led.h"
#include "training/trainbar.h"
#include "training/trainlayout.h"
#include "training/updown.h"
#include "training/varedodozpro.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>

#include <cmath>
#include <span>

namespace {
int ToPx(int twips) { return Twips::ToWholePixels(twips); }
int ToTwips(int pixels) { return Twips::FromPixels(pixels); }
} // namespace

namespace {
const QString kPleaseWait = QStringLiteral("Please wait...");
// Digit sizes in pixels: the counter's red digits and the spinners' green ones.
constexpr int kDigitWidth = 18;
constexpr int kDigitHeight = 28;
} // namespace

void CRunPointer::SetBusy()
{
    if (m_busy || !qApp)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_busy = true;
}

void CRunPointer::Restore()
{
    if (!m_busy)
        return;
    m_busy = false;
    if (qApp)
        QApplication::restoreOverrideCursor();
}

CTrainWindow::CTrainWindow(const CErrorHistory::Shape& shape, int startDelayMs, const QString& caption,
                           const QString& counterCaption, const QString& runTitle, QWidget* parent)
    : QWidget(parent), mHistory(shape), m_runTitle(runTitle), m_startDelay(startDelayMs)
{
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(200, 150);
    resize(ToPx(TrainLayout::kDesignWidth), ToPx(TrainLayout::kDesignHeight));
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CTrainWindow::Tick);

    m_counterBox = DigitBox(m_counter, 7, 255, 0x40, this);
    m_counterBox->setObjectName(QStringLiteral("Picture2"));
    m_counterCaption = new QLabel(counterCaption, this);
    m_counterCaption->setObjectName(QStringLiteral("Label13"));
    m_counterCaption->setAlignment(Qt::AlignCenter);
    m_counterBox->move(0, 6);
    m_counterCaption->setGeometry(0, 6 + m_counterBox->height() + 2, m_counterBox->width(), 18);

    auto* errorFrame = new QFrame(this);
    errorFrame->setObjectName(QStringLiteral("fraError"));
    errorFrame->setFrameShape(QFrame::StyledPanel);
    errorFrame->setFixedSize(200, 62);
    auto* curCaption = new QLabel(QStringLiteral("Current Error:"), errorFrame);
    curCaption->setObjectName(QStringLiteral("Label8"));
    curCaption->setGeometry(8, 8, 100, 20);
    auto* bestCaption = new QLabel(QStringLiteral("Best Error:"), errorFrame);
    bestCaption->setObjectName(QStringLiteral("Label9"));
    bestCaption->setGeometry(8, 34, 100, 20);
    m_curError = new QLabel(errorFrame);
    m_curError->setObjectName(QStringLiteral("lblCurError"));
    m_curError->setGeometry(110, 8, 82, 20);
    m_bestError = new QLabel(errorFrame);
    m_bestError->setObjectName(QStringLiteral("lblBestError"));
    m_bestError->setGeometry(110, 34, 82, 20);
    QFont bold = m_curError->font();
    bold.setBold(true);
    m_curError->setFont(bold);
    m_bestError->setFont(bold);
    m_errorFrame = errorFrame;

    auto* personality = new QFrame(this);
    personality->setObjectName(QStringLiteral("fraPersonality"));
    personality->setFrameShape(QFrame::StyledPanel);
    m_personality = personality;

    m_graph = new VaredOdozPro(this);
    m_graph->setObjectName(QStringLiteral("Graph"));
    m_graph->SetBackColor(0xFFFFFF);
    m_graph->move(ToPx(120), ToPx(1200));
}

CTrainWindow::~CTrainWindow() = default;

QWidget* CTrainWindow::DigitBox(std::vector<LED*>& digits, int count, int32_t on, int32_t off, QWidget* parent,
                                bool indexZeroLeft)
{
    auto* box = new QFrame(parent);
    box->setFrameShape(QFrame::Panel);
    box->setFrameShadow(QFrame::Sunken);
    box->setLineWidth(2);
    box->setAutoFillBackground(true);
    QPalette pal = box->palette();
    pal.setColor(QPalette::Window, Qt::black);
    box->setPalette(pal);
    box->setFixedSize(count * kDigitWidth + 6, kDigitHeight + 6);
    digits.assign(size_t(count), nullptr);
    for (int i = 0; i < count; ++i) {
        auto* led = new LED(box);
        led->SetLEDColorOn(on);
        led->SetLEDColorOff(off);
        const int place = indexZeroLeft ? i : count - 1 - i;
        led->setGeometry(3 + place * kDigitWidth, 3, kDigitWidth, kDigitHeight);
        digits[size_t(i)] = led;
    }
    return box;
}

CTrainWindow::Spinner CTrainWindow::AddSpinner(QWidget* frame, const QString& caption, int min, int max, int value,
                                               int column, bool indexZeroLeft)
{
    Spinner s;
    const int x = 8 + column * 78;
    auto* label = new QLabel(caption, frame);
    label->setGeometry(x, 4, 76, 18);
    QWidget* box = DigitBox(s.digits, 2, 0x00FF00, 0x003000, frame, indexZeroLeft);
    box->move(x, 24);
    s.updown = new CUpDown(min, max, value, frame);
    s.updown->setGeometry(x + box->width() + 2, 24, 18, box->height());
    return s;
}

QMdiSubWindow* CTrainWindow::SubWindow() const
{
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

QString CTrainWindow::CurrentErrorText() const { return m_curError->text(); }
QString CTrainWindow::BestErrorText() const { return m_bestError->text(); }

void CTrainWindow::SetErrorLabels(const QString& current, const QString& best)
{
    m_curError->setText(current);
    m_bestError->setText(best);
}

void CTrainWindow::ShowCounter(int64_t number)
{
    IgnoreErrors([&] { LEDRow::ShowNumber(std::span<LED* const>(m_counter.data(), m_counter.size()), number); });
}

// --- The run -------------------------------------------------------------------------------

void CTrainWindow::StartTrain()
{
    if (m_active)
        return;
    m_active = true;
    m_started = false;
    mStop = false;
    Arm(m_startDelay);
}

void CTrainWindow::StopTrain()
{
    IgnoreErrors([&] {
        if (!m_active)
            return;
        mStop = true;
        m_pointer.SetBusy();
        Utilities::StatusMessage(kPleaseWait);
    });
}

bool CTrainWindow::AfterRun(std::function<void()> then)
{
    if (!m_active)
        return false;
    m_afterRun.push_back(std::move(then));
    return true;
}

bool CTrainWindow::RunPendingStep()
{
    if (!m_active || m_inStep)
        return false;
    Tick();
    return true;
}

void CTrainWindow::Arm(int ms)
{
    if (!m_manual)
        m_timer.start(ms);
}

void CTrainWindow::Tick()
{
    if (!m_active || m_inStep)
        return;
    m_timer.stop();
    ++m_steps;
    QPointer<CTrainWindow> self(this);
    // Every way out of a step that does not arm the next one ends the run with its end steps.
    struct RunEnd {
        QPointer<CTrainWindow> window;
        bool keep = false;
        ~RunEnd()
        {
            if (window) {
                window->m_inStep = false;
                if (!keep)
                    window->FinishRun();
            }
        }
    } end{self};
    m_inStep = true;
    try {
        if (!m_started) {
            m_started = true;
            // A stop asked for before the first tick ends the run before it begins.
            end.keep = !mStop && BeginRun();
        } else {
            end.keep = RunStep();
        }
    } catch (...) {
        end.keep = false;
        ErrorBox::ShowStandard(CurrentError(), m_runTitle);
    }
    if (self && end.keep)
        Arm(0);
}

void CTrainWindow::FinishRun()
{
    if (!m_active)
        return;
    m_active = false;
    m_started = false;
    m_timer.stop();
    // The wait a stop announced is over (unless the last cycle wrote its own text since); the
    // window's end steps may then write theirs.
    IgnoreErrors([] {
        CStatusPanels* panels = gVeltra().StatusBar().StatusBar();
        if (panels && panels->Panel(1).Text().trimmed() == kPleaseWait)
            Utilities::StatusMessage(QString());
    });
    try {
        EndOfRun();
    } catch (...) {
    }
    mStop = false;
    m_pointer.Restore();
    emit runEnded();
    std::vector<std::function<void()>> then;
    then.swap(m_afterRun);
    for (auto& f : then)
        QTimer::singleShot(0, qApp, std::move(f));
    if (m_closeWhenEnded) {
        m_closeWhenEnded = false;
        QTimer::singleShot(0, this, [this] { CloseSelf(); });
    }
}

void CTrainWindow::Departing()
{
    m_closeWhenEnded = false;
    if (m_active)
        FinishRun();
    if (!m_saved)
        SaveAndLeave();
}

// --- Chart and layout ----------------------------------------------------------------------

void CTrainWindow::ShowHistory(const HistoryScale& scale)
{
    m_graph->SetHighScale(scale.high);
    m_graph->SetLowScale(scale.low);
    m_graph->SetVerticalTickInterval(scale.tick);
    ShowHistory();
}

void CTrainWindow::ShowHistory()
{
    m_graph->SetMarkPoint(mHistory.markPoint());
    m_graph->RegisterData(mHistory.table());
    m_graph->Refresh();
}

void CTrainWindow::ShowRevertedHistory()
{
    if (mZoomed)
        ShowHistory(mHistory.scale(true, CErrorHistory::kZoomHeadroom));
    else
        ShowHistory();
}

void CTrainWindow::InitChart()
{
    IgnoreErrors([&] {
        m_graph->SetLowScale(0);
        m_graph->SetHighScale(100);
        m_graph->SetVerticalTickInterval(10);
        m_graph->SetHorizontalTickFrequency(5);
        ShowHistory();
    });
    IgnoreErrors([&] { m_graph->SetSeriesOptions(0, 255); });
    IgnoreErrors([&] { m_graph->SetSeriesOptions(1, 0xFF0000); });
}

void CTrainWindow::ResetChart()
{
    IgnoreErrors([&] {
        m_graph->SetLowScale(0);
        m_graph->SetHighScale(100);
        m_graph->SetVerticalTickInterval(10);
        m_graph->SetHorizontalTickFrequency(5);
        m_graph->SetTitle(QStringLiteral("History Of Error On Training Data"));
        m_graph->Refresh();
    });
}

void CTrainWindow::CloseSelf()
{
    if (QMdiSubWindow* sub = SubWindow())
        sub->close();
    else
        close();
}

void CTrainWindow::ShowTrainingRows(int32_t rows)
{
    IgnoreErrors([&] { gVeltra().StatusBar().Message(QString::number(rows) + QStringLiteral(" Rows"), true); });
}

bool CTrainWindow::BeginActivate(const CNetworkProject* net)
{
    if (RunActive())
        return false;
    if (!net) {
        CloseSelf();
        return false;
    }
    Arrange(ChartOnlyWhenRoom());
    SetErrorLabels(QString(), QString());
    ResetChart();
    ShowTrainingRows(net->State().TrainHigh() - net->State().TrainLow() + 1);
    return true;
}

bool CTrainWindow::ErrorsKnown(const ProjectState& state)
{
    return state.BestError() != -1 && state.CurrentError() != -1;
}

bool CTrainWindow::ShowKnownErrors(const ProjectState& state)
{
    if (!ErrorsKnown(state)) {
        SetErrorLabels(QString(), QString());
        return false;
    }
    SetErrorLabels(TrainLayout::Percent(state.CurrentError()), TrainLayout::Percent(state.BestError()));
    return true;
}

void CTrainWindow::SeedChart(const ProjectState& state, bool onlyAfterACycle)
{
    if (!ErrorsKnown(state)) {
        mHistory.forgetChartBest();
        return;
    }
    if (onlyAfterACycle && state.CyclesCompleted() < 1)
        return;
    mHistory.setChartBest(state.BestError());
    mHistory.seed(state.CyclesCompleted(), state.CurrentError());
    const double e = state.CurrentError();
    const double top = std::floor(e) + mHistory.shape().passHeadroom;
    IgnoreErrors([&] { ShowHistory({0, top, std::floor(e / 10) + 1}); });
}

bool CTrainWindow::ResetTraining(CNetworkProject& net, const std::function<void()>& showSettings)
{
    if (net.State().CyclesCompleted() > 0
        && Prompts::MsgBox(QStringLiteral("Reset will destroy any previous training and testing.  Continue with Reset?"),
                           MsgButtons::YesNo, MsgIcon::Exclamation, QStringLiteral("Reset Warning"))
               == MsgResult::No)
        return false;
    // The reset stores the flags with the training gone; a reset that fails leaves them.
    Workflow::Change trainingGone;
    gProcess().SetIsTrained(false);
    gProcess().SetIsTested(false);
    if (!net.Reset())
        return false;
    trainingGone.Commit();
    TrainingSaved();
    showSettings();
    ClearHistory();
    // A network reset after a run that ended at 0 % or on a failure can be trained again.
    TrainBarTools::Set(ToolName::TrainBPTrain, true);
    return true;
}

void CTrainWindow::SaveAndLeave()
{
    m_saved = true;
    bool saved = false;
    IgnoreErrors([&] { saved = SaveOnClose(); });
    if (saved)
        TrainingSaved();
    m_unsaved.reset();
}

void CTrainWindow::TrainingSaved()
{
    if (m_unsaved)
        m_unsaved->Commit();
    m_unsaved.reset();
}

void CTrainWindow::Trained()
{
    if (!m_unsaved)
        m_unsaved.emplace();
    gProcess().SetIsTrained(true);
}

void CTrainWindow::EndOnEngineFailure()
{
    mStop = true;
    gProcess().SetIsTrained(false);
    TrainBarTools::Set(ToolName::TrainBPExit, true);
}

void CTrainWindow::RestoreToolsAfterRun(CNetworkProject* net)
{
    if (net)
        net->AbandonPass();
    TrainBarTools::Set(ToolName::TrainBPExit, true);
    TrainBarTools::Set(ToolName::TrainBPJogWeights, false);
    TrainBarTools::Set(ToolName::TrainBPReset, true);
    TrainBarTools::Set(ToolName::TrainBPRevert, true);
    TrainBarTools::Set(ToolName::TrainBPStop, false);
}

void CTrainWindow::GraphZoom()
{
    IgnoreErrors([&] {
        mZoomed = !mZoomed;
        ShowHistory(mHistory.scale(mZoomed, CErrorHistory::kZoomHeadroom));
    });
}

void CTrainWindow::ClearHistory()
{
    ShowCounter(0);
    SetErrorLabels(QString(), QString());
    mHistory.forgetChartBest();
    mHistory.clear();
    mHistory.setMarkPoint(-1);
    ShowHistory({0, 100, 10});
}

void CTrainWindow::GraphType()
{
    IgnoreErrors([&] {
        m_graph->SetChartType(m_graph->ChartType() == 0 ? 1 : 0);
        m_graph->Refresh();
    });
}

void CTrainWindow::Arrange(bool chartOnlyWhenRoom)
{
    IgnoreErrors([&] {
        if (!isVisible() || isMinimized())
            return;
        if (QWidget* main = gVeltra().MainForm(); main && main->isMinimized())
            return;
        TrainLayout::Sizes s;
        s.width = ToTwips(width());
        s.height = ToTwips(height());
        s.counterWidth = ToTwips(m_counterBox->width());
        s.counterCaptionWidth = ToTwips(m_counterCaption->width());
        s.personalityWidth = ToTwips(m_personality->width());
        s.errorWidth = ToTwips(m_errorFrame->width());
        const TrainLayout::Places p = TrainLayout::Arrange(s, chartOnlyWhenRoom);
        m_counterBox->move(ToPx(p.counterLeft), m_counterBox->y());
        m_counterCaption->move(ToPx(p.counterLeft), m_counterCaption->y());
        m_personality->setVisible(p.framesVisible);
        m_errorFrame->setVisible(p.framesVisible);
        if (p.framesVisible) {
            m_personality->move(ToPx(p.personalityLeft), 4);
            m_errorFrame->move(ToPx(p.errorLeft), 8);
        }
        if (p.chartMoved)
            m_graph->setGeometry(ToPx(p.chartLeft), ToPx(p.chartTop), std::max(ToPx(p.chartWidth), 0),
                                 std::max(ToPx(p.chartHeight), 0));
        m_graph->Refresh();
    });
}

void CTrainWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Arrange(ChartOnlyWhenRoom());
}

void CTrainWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The first size arrives before the window counts as shown.
    Arrange(ChartOnlyWhenRoom());
}

void CTrainWindow::keyPressEvent(QKeyEvent* event)
{
    if (!Utilities::ToolBarKeyDown(event))
        QWidget::keyPressEvent(event);
}

void CTrainWindow::keyReleaseEvent(QKeyEvent* event)
{
    if (!Utilities::ToolBarKeyUp(event))
        QWidget::keyReleaseEvent(event);
}

void CTrainWindow::closeEvent(QCloseEvent* event)
{
    // Nothing saves or destroys the network under a running step: the close waits for the run.
    if (m_active) {
        event->ignore();
        m_closeWhenEnded = true;
        StopTrain();
        return;
    }
    if (!m_saved) {
        SaveAndLeave();
        // A command that unloads the window sets up the bars for what comes next itself.
        if (!modMenu::CCommandUnload::Active())
            emit closedByUser();
    }
    event->accept();
}
