// Shared ground of the training-window tests: a main window bound as start-up binds it, small
// generated projects of both kinds with scripted engine answers where a code must be forced,
// the training procedures installed, recording fakes for the result views, and the run driven
// step by step.
#pragma once

#include "core/serviceslot.h"
#include "core/status.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/veltra.h"
#include "network/workflowflags.h"
#include "shell/frmmain.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"
#include "shell/commandtable.h"
#include "shell/windowcalls.h"
#include "tests/network/netscript.h"
#include "training/frmtrainbp.h"
#include "training/frmtrainsf.h"
#include "training/led.h"
#include "core/numformat.h"
#include "training/trainlayout.h"
#include "training/trainingviews.h"
#include "training/varedodozpro.h"

#include <QApplication>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPointer>

class TrainingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestEnv::ClearSettings();
        folder = TestEnv::NewFolder("training");
        main = new frmMain();
        main->resize(1000, 700);
        gVeltra().SetMainForm(main);
        gVeltra().StatusBar().Initialize(main->MainStatusBar()->StatusBar());
        gNavigate().Bind(main->MainToolBar());
        gNavigate().Navigate(navNoProject);
        rows = gCommands().Rows();
        TrainingViews::Install();
        Record(ToolName::Scatter, "ShowScatter");
        Record(ToolName::Matrix, "ShowCMatrix");
        Record(ToolName::ShowAll, "ShowDefBrowser");
        gProcess() = CProcess();
        main->show();
    }

    void TearDown() override
    {
        if (main)
            main->close();
        Flush();
        SetCurrentNetwork(nullptr);
        gCommands().SetRows(rows);
        gProcess() = CProcess();
    }

    static void Flush()
    {
        for (int i = 0; i < 4; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    // 60 rows: Y follows X1 and X2; C is "low" below X1 = 5 and "high" above (separable).
    QString Source()
    {
        std::vector<QList<kdb::Value>> rows;
        for (int i = 1; i <= 60; ++i) {
            const double x1 = double(i % 10), x2 = double((i * 7) % 13);
            rows.push_back({i, x1, x2, x1 * 2.0 + x2 * 0.5 + 1.0, x1 < 5 ? "low" : "high"});
        }
        return NetTest::MakeSource(folder, "Data", "X1 REAL, X2 REAL, Y REAL, C TEXT", rows);
    }

    ScriptedBackProp& OpenBackProp()
    {
        auto bp = std::make_shared<ScriptedBackProp>();
        bp->Initialize(folder + "/bp.kvp");
        bp->Attach(Source(), "Data");
        NetTest::Configure(*bp, {{"X1", roleInput, 0, 10}, {"X2", roleInput, 0, 13}, {"Y", roleBPPredict, 0, 30}});
        bp->State().SetTrainHigh(50);
        bp->State().SetTestLow(51);
        bp->State().SetTestHigh(60);
        bp->SaveConfig();
        SetCurrentNetwork(bp);
        gProcess().SetIsConfigured(true);
        gProcess().SetIsSplit(true);
        gProcess().SetOfOpenProject(true);
        return *bp;
    }

    ScriptedSFam& OpenSFam()
    {
        auto sf = std::make_shared<ScriptedSFam>();
        sf->Initialize(folder + "/sf.kvp");
        sf->Attach(Source(), "Data");
        NetTest::Configure(*sf, {{"X1", roleInput, 0, 10}, {"X2", roleInput, 0, 13}, {"C", roleSFamPredict}});
        sf->BuildClassList();
        sf->State().SetTrainHigh(50);
        sf->State().SetTestLow(51);
        sf->State().SetTestHigh(60);
        sf->SaveConfig();
        SetCurrentNetwork(sf);
        gProcess().SetIsConfigured(true);
        gProcess().SetIsSplit(true);
        gProcess().SetOfOpenProject(true);
        return *sf;
    }

    // The training view, with the run driven by RunPendingStep.
    template <class W>
    W* OpenView()
    {
        TrainingViews::MenuBProp();
        Flush();
        auto* w = qobject_cast<W*>(TrainingViews::Window());
        if (w)
            w->SetManualSteps(true);
        return w;
    }

    // Steps until the run ends (bounded).
    static int RunToEnd(CTrainWindow* w, int limit = 1000)
    {
        int steps = 0;
        while (w->RunActive() && steps < limit) {
            w->RunPendingStep();
            ++steps;
        }
        return steps;
    }

    // The number the window's counter shows.
    static int CounterValue(const CTrainWindow* w)
    {
        int value = 0;
        const auto& digits = w->CounterDigits();
        for (int i = int(digits.size()) - 1; i >= 0; --i)
            value = value * 10 + digits[size_t(i)]->Value();
        return value;
    }

    bool Tool(const QString& name) const { return main->MainToolBar()->Enabled(name); }
    QString StatusText() const { return gVeltra().StatusBar().StatusBar()->Panel(1).Text().trimmed(); }

    FakePrompter prompts;
    // The status bar as the program installs it: what code without widgets reports reaches it.
    ScopedService<IStatusSink*> status{&Status::Install, &gVeltra().StatusBar()};
    QPointer<frmMain> main;
    QString folder;
    QStringList views;
    // The run-aware stop the main window asks for before it closes, as the program installs it.
    struct TrainingCalls : IWindowCalls {
        bool StopActiveRun(std::function<void()> then) override { return TrainingViews::StopActiveRun(std::move(then)); }
    } trainingCalls;
    ScopedService<IWindowCalls*> windowCalls{&WindowCalls::Install, &trainingCalls};
    // The command table as it was before the test.
    std::vector<CommandRow> rows;
    // The main bar's command of `tool` records `name` in views.
    void Record(QLatin1StringView tool, const char* name)
    {
        gCommands().Add(tool, [this, name](const CommandClick&) { views << QString::fromLatin1(name); });
    }
};
