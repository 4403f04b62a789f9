// A small main window for the shell-service tests: a command bar with a menu bar, the File band
// ending in Exit, a tool bar sharing tools with it, the Help band and the training bar.
#pragma once

#include "core/widgets/commandbar.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"

#include <QMainWindow>
#include <QMdiArea>

struct TestMainWindow {
    QMainWindow window;
    CCommandBar* bar = nullptr;
    CMStatusBar* status = nullptr;
    QMdiArea* mdi = nullptr;

    explicit TestMainWindow(bool install = true)
    {
        window.resize(800, 600);
        mdi = new QMdiArea(&window);
        window.setCentralWidget(mdi);
        bar = new CCommandBar(&window);
        status = new CMStatusBar(&window);
        window.setStatusBar(status);

        CBand& menu = bar->AddBand(BandName::MainMenu, BandName::MainMenu, BandKind::MenuBar);
        menu.AddTool(spec(ToolName::File, "&File", BandName::File));
        menu.AddTool(spec(ToolName::Help, "&Help", BandName::Help));

        CBand& file = bar->AddBand(BandName::File, QStringLiteral("File"), BandKind::Popup);
        ToolSpec open = spec(ToolName::Open, "&Open Project...");
        open.description = QStringLiteral("Open Project");
        open.shortcut = QKeySequence(Qt::CTRL | Qt::Key_O);
        file.AddTool(open);
        file.AddTool(spec(ToolName::Close, "&Close Project"));
        ToolSpec imp = spec(ToolName::Import, "Import...");
        imp.separatorBefore = true;
        file.AddTool(imp);
        ToolSpec exit = spec(ToolName::Exit, "E&xit");
        exit.description = QStringLiteral("Close all documents and exit");
        exit.separatorBefore = true;
        file.AddTool(exit);

        CBand& help = bar->AddBand(BandName::Help, QStringLiteral("Help"), BandKind::Popup);
        help.AddTool(spec(ToolName::HelpContents, "User &Manual"));
        help.AddTool(spec(ToolName::HelpAbout, "&About"));

        CBand& standard = bar->AddBand(BandName::Standard, QStringLiteral("Tool Bar"), BandKind::ToolBar);
        standard.AddTool(spec(ToolName::Open, "&Open"));
        standard.AddTool(spec(ToolName::Configure, "Configure This Project..."));

        CBand& train = bar->AddBand(BandName::TrainBPBar, QStringLiteral("Train"), BandKind::ToolBar);
        train.AddTool(spec(ToolName::TrainBPExit, "Finish"));
        train.AddTool(spec(ToolName::TrainBPTrain, "Train"));
        train.SetVisible(false);

        if (install)
            gVeltra().SetMainForm(&window);
    }
    ~TestMainWindow()
    {
        if (gVeltra().MainForm() == &window)
            gVeltra().SetMainForm(nullptr);
    }

    static ToolSpec spec(const QString& name, const char* caption, const QString& subBand = {})
    {
        ToolSpec s;
        s.name = name;
        s.caption = QString::fromUtf8(caption);
        s.subBand = subBand;
        return s;
    }

    // The names of one band's tools in order.
    QStringList names(const QString& band) const
    {
        QStringList out;
        const CBand& b = bar->Band(band);
        for (int i = 0; i < b.ToolCount(); ++i)
            out << b.ToolAt(i).Name();
        return out;
    }
};
