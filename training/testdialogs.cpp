#include "training/testdialogs.h"

#include "core/errorbox.h"
#include "core/numformat.h"
#include "core/twips.h"
#include "core/widgets/hourglass.h"
#include "core/widgets/pointerguard.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "core/widgets/winhelpers.h"
#include "network/sfam.h"
#include "network/teststats.h"
#include "shell/commandtable.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"
#include "shell/windowcalls.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {

constexpr uint32_t kGrey = 0x808080;
constexpr uint32_t kBlue = 0xFF0000;
constexpr uint32_t kRed = 0xFF;

void centre(QWidget* dialog)
{
    IgnoreErrors([&] {
        dialog->adjustSize();
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect s = screen->availableGeometry();
            dialog->move(s.left() + (s.width() - dialog->width()) / 2, s.top() + (s.height() - dialog->height()) / 2);
        }
    });
}

struct Limits {
    int32_t trainLow, trainHigh, testLow, testHigh;
};

Limits limitsOf(const CNetworkProject& net)
{
    return {net.State().TrainLow(), net.State().TrainHigh(), net.State().TestLow(), net.State().TestHigh()};
}

void setTextColour(QWidget* w, uint32_t bgr)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, Utilities::ColorFromBgr(bgr));
    w->setPalette(p);
}


} // namespace

std::array<QString, 4> TestFigures::Column(float error, float rmsError, float unexplained, double correlation)
{
    return {NumFormat::FormatSingle(error, QStringLiteral("0.00")) + QLatin1Char('%'),
            NumFormat::FormatSingle(rmsError, QStringLiteral("0.00")),
            TestStats::FigureText(unexplained, QStringLiteral("0.000")),
            TestStats::FigureText(correlation, QStringLiteral("0.000"))};
}

QString TestFigures::SFamError(float error)
{
    if (error < 0)
        return QStringLiteral("N/A");
    return NumFormat::FormatSingle(error, QStringLiteral("0.00")) + QLatin1Char('%');
}

// --- frmTestNetwork ----------------------------------------------------------------------

frmTestNetwork::frmTestNetwork(std::shared_ptr<CBackProp> net, QWidget* parent)
    : QDialog(parent), m_net(std::move(net))
{
    setWindowTitle(QStringLiteral("Data Test Successful"));
    setModal(true);
    const QString captions[] = {QStringLiteral("Normalized RMS Error:"), QStringLiteral("Actual RMS Error:"),
                                QStringLiteral("Unexplained Variance:"), QStringLiteral("Correlation Coefficient:")};
    auto frame = [&](const QString& title, int first) {
        auto* box = new QGroupBox(title, this);
        auto* grid = new QGridLayout(box);
        for (int k = 0; k < 4; ++k) {
            lblCaption[size_t(first + k)] = new QLabel(captions[k], box);
            lblTrainStat[size_t(first + k)] = new QLabel(QString(), box);
            lblTrainStat[size_t(first + k)]->setMinimumWidth(Twips::ToWholePixels(900));
            lblTrainStat[size_t(first + k)]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grid->addWidget(lblCaption[size_t(first + k)], k, 0);
            grid->addWidget(lblTrainStat[size_t(first + k)], k, 1);
        }
        return box;
    };
    Frame1 = frame(QStringLiteral("Training"), 0);
    Frame2 = frame(QStringLiteral("Testing"), 4);
    setFrameColour(Frame1, kGrey);
    setFrameColour(Frame2, kBlue);

    cmdBrowse = new QPushButton(QStringLiteral("Browse Test Results"), this);
    cmdScatter = new QPushButton(QStringLiteral("Show Scatter Graph"), this);
    cmdSeries = new QPushButton(QStringLiteral("Show Time Series Graph"), this);
    cmdSetLimits = new QPushButton(QStringLiteral("Reset Data Limits"), this);
    cmdExit = new QPushButton(QStringLiteral("Close"), this);
    cmdExit->setDefault(true);
    connect(cmdBrowse, &QPushButton::clicked, this, [this] { end(Outcome::Browse); });
    connect(cmdScatter, &QPushButton::clicked, this, [this] { end(Outcome::Scatter); });
    connect(cmdSeries, &QPushButton::clicked, this, [this] { end(Outcome::Series); });
    connect(cmdSetLimits, &QPushButton::clicked, this, &frmTestNetwork::cmdSetLimits_Click);
    connect(cmdExit, &QPushButton::clicked, this, [this] { end(Outcome::Close); });

    auto* frames = new QHBoxLayout;
    frames->addWidget(Frame1);
    frames->addWidget(Frame2);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {cmdBrowse, cmdScatter, cmdSeries, cmdSetLimits, cmdExit})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(frames);
    layout->addLayout(buttons);

    // The training column: the network over the training rows, before the test runs.
    CBackProp::RowStatistics training;
    IgnoreErrors([&] {
        if (m_net)
            training = m_net->TrainingStatistics();
    });
    if (training.valid) {
        const auto column =
            TestFigures::Column(training.error, training.rmsError, training.unexplained, training.correlation);
        for (size_t k = 0; k < 4; ++k)
            lblTrainStat[k]->setText(column[k]);
    } else {
        for (size_t k = 0; k < 4; ++k) {
            lblTrainStat[k]->clear();
            setTextColour(lblCaption[k], kGrey);
        }
    }
    centre(this);
}

void frmTestNetwork::setFrameColour(QGroupBox* frame, uint32_t bgr)
{
    if (frame == Frame2)
        m_testingColour = bgr;
    // The frame's caption only; its labels keep their own colour.
    frame->setStyleSheet(QStringLiteral("QGroupBox { color: %1; font-weight: bold; }")
                             .arg(Utilities::ColorFromBgr(bgr).name()));
    for (size_t k = 0; k < 8; ++k)
        if (lblCaption[k] && lblCaption[k]->parent() == frame) {
            lblCaption[k]->setStyleSheet(QStringLiteral("font-weight: normal;"));
            lblTrainStat[k]->setStyleSheet(QStringLiteral("color: black; font-weight: normal;"));
        }
}

TestOutcome frmTestNetwork::Start()
{
    for (size_t k = 4; k < 8; ++k)
        lblTrainStat[k]->clear();
    setFrameColour(Frame2, kRed);
    setEnabled(false);
    repaint();
    TestOutcome outcome = TestOutcome::NoNetwork;
    {
        const CPointerGuard wait(Qt::WaitCursor);
        IgnoreErrors([&] {
            if (m_net)
                outcome = m_net->Test();
        });
        // A test that failed has no figures: never 100 minus an error of -1, nor the figures
        // of rows that were not tested.
        if (outcome == TestOutcome::Done) {
            float rms = -1, u = -1;
            IgnoreErrors([&] { rms = m_net->ActualRMSError(); });
            IgnoreErrors([&] { u = m_net->UnexplainedVar(); });
            const auto column = TestFigures::Column(m_net->State().CurrentError(), rms, u, m_net->Correlation());
            for (size_t k = 0; k < 4; ++k)
                lblTrainStat[k + 4]->setText(column[k]);
        } else {
            for (size_t k = 4; k < 8; ++k)
                lblTrainStat[k]->setText(QStringLiteral("N/A"));
        }
    }
    setFrameColour(Frame2, kBlue);
    setEnabled(true);
    repaint();
    return outcome;
}

std::array<QString, 8> frmTestNetwork::Figures() const
{
    std::array<QString, 8> f;
    for (size_t k = 0; k < 8; ++k)
        f[k] = lblTrainStat[k]->text();
    return f;
}

void frmTestNetwork::cmdSetLimits_Click()
{
    IgnoreErrors([&] {
        if (!m_net)
            return;
        const Limits before = limitsOf(*m_net);
        QPointer<frmTestNetwork> self(this);
        // The dialog stays up under the row split (the views it closes leave a shown modal
        // dialog alone).
        modMenu::RunCommand(ToolName::Split);
        if (!self)
            return;
        // The main bar's shortcuts work under the row split: a project closed or opened
        // meanwhile is not the one this dialog tests.
        if (CurrentNetwork() != m_net.get()) {
            end(Outcome::Untested);
            return;
        }
        const Limits after = limitsOf(*m_net);
        if (after.trainLow != before.trainLow || after.trainHigh != before.trainHigh)
            end(Outcome::Untested);
        else if (after.testLow != before.testLow || after.testHigh != before.testHigh)
            Start();
    });
}

void frmTestNetwork::end(Outcome outcome)
{
    m_outcome = outcome;
    done(QDialog::Accepted);
}

void frmTestNetwork::keyPressEvent(QKeyEvent* event)
{
    if (!Utilities::ToolBarKeyDown(event))
        QDialog::keyPressEvent(event);
}

void frmTestNetwork::keyReleaseEvent(QKeyEvent* event)
{
    if (!Utilities::ToolBarKeyUp(event))
        QDialog::keyReleaseEvent(event);
}

// --- frmSFTest ---------------------------------------------------------------------------

frmSFTest::frmSFTest(std::shared_ptr<CSFam> net, QWidget* parent) : QDialog(parent), m_net(std::move(net))
{
    setWindowTitle(QStringLiteral("SFAM Test Results"));
    setModal(true);
    auto frame = [&](const QString& title, QLabel*& value) {
        auto* box = new QGroupBox(title, this);
        auto* row = new QHBoxLayout(box);
        row->addWidget(new QLabel(QStringLiteral("Error: "), box));
        value = new QLabel(QString(), box);
        value->setMinimumWidth(Twips::ToWholePixels(900));
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        row->addWidget(value);
        return box;
    };
    QGroupBox* Frame1 = frame(QStringLiteral("Training"), lblTrainErr);
    QGroupBox* Frame2 = frame(QStringLiteral("Testing"), lblTestErr);
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setDefault(true);
    connect(cmdClose, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });
    auto* layout = new QVBoxLayout(this);
    auto* frames = new QHBoxLayout;
    frames->addWidget(Frame1);
    frames->addWidget(Frame2);
    layout->addLayout(frames);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    layout->addLayout(buttons);
    centre(this);
}

TestOutcome frmSFTest::Start()
{
    IgnoreErrors([&] { lblTrainErr->setText(TestFigures::SFamError(m_net ? m_net->BestTrainError() : -1.0f)); });
    const CPointerGuard wait(Qt::WaitCursor);
    QCoreApplication::processEvents();
    IgnoreErrors([&] {
        if (m_net)
            m_outcome = m_net->Test();
    });
    return m_outcome;
}

void frmSFTest::keyPressEvent(QKeyEvent* event)
{
    if (!Utilities::ToolBarKeyDown(event))
        QDialog::keyPressEvent(event);
}

void frmSFTest::keyReleaseEvent(QKeyEvent* event)
{
    if (!Utilities::ToolBarKeyUp(event))
        QDialog::keyReleaseEvent(event);
}

void frmSFTest::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A failed test leaves CurrentError -1: "N/A", never a figure.
    IgnoreErrors([&] {
        const bool tested = m_outcome == TestOutcome::Done && m_net;
        lblTestErr->setText(TestFigures::SFamError(tested ? m_net->State().CurrentError() : -1.0f));
    });
}

// --- the test command --------------------------------------------------------------------

namespace {

// A network that is not in the engine yet (a project just opened) is brought back first.
template <class Net>
void ready(Net& net)
{
    if (!net.State().NetReady())
        net.Revert();
}

void testBackProp(const std::shared_ptr<CBackProp>& net)
{
    QPointer<frmTestNetwork> dialog = new frmTestNetwork(net, gVeltra().MainForm());
    dialog->Start();
    dialog->exec();
    const frmTestNetwork::Outcome outcome = dialog ? dialog->Result() : frmTestNetwork::Outcome::None;
    delete dialog;
    switch (outcome) {
    case frmTestNetwork::Outcome::Close:
        QCoreApplication::processEvents();
        modMenu::RunCommand(ToolName::BrowseTest);
        break;
    case frmTestNetwork::Outcome::Browse:
        QCoreApplication::processEvents();
        WindowCalls::Current().BrowseTestWorstFirst();
        break;
    case frmTestNetwork::Outcome::Scatter:
        modMenu::RunCommand(ToolName::Scatter);
        break;
    case frmTestNetwork::Outcome::Series:
        modMenu::RunCommand(ToolName::Series);
        break;
    case frmTestNetwork::Outcome::Untested:
        return; // back to training: the project is no longer tested
    case frmTestNetwork::Outcome::None:
        break;
    }
    gNavigate().Navigate(navTested);
}

} // namespace

void TestDialogs::TestShow()
{
    modMenu::CloseBrowsers();
    if (const auto net = CurrentNetworkAs<CSFam>()) {
        IgnoreErrors([&] { ready(*net); });
        QPointer<frmSFTest> dialog = new frmSFTest(net, gVeltra().MainForm());
        dialog->Start();
        dialog->exec();
        delete dialog;
        gNavigate().Navigate(navTested);
    } else if (const auto net = CurrentNetworkAs<CBackProp>()) {
        IgnoreErrors([&] { ready(*net); });
        testBackProp(net);
    }
}
