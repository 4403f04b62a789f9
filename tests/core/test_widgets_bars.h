// A small main window for the shell-service tests: a command bar with a menu bar, the File band
// ending in Exit, a tool bar sharing tools with it, the Help band and the training bar.
#pragma once

#include "core/widgets/commandbar.h"
#include "core/widgets/statusbar.h"
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

        CBand& menu = bar->AddBand(QStringLiteral("MainMenu"), QStringLiteral("MainMenu"), BandKind::MenuBar);
        menu.AddTool(spec("mnuFile", "&File", "mnuFile"));
        menu.AddTool(spec("mnuHelp", "&Help", "mnuHelp"));

        CBand& file = bar->AddBand(QStringLiteral("mnuFile"), QStringLiteral("File"), BandKind::Popup);
        ToolSpec open = spec("open", "&Open Project...");
        open.description = QStringLiteral("Open Project");
        open.shortcut = QKeySequence(Qt::CTRL | Qt::Key_O);
        file.AddTool(open);
        file.AddTool(spec("close", "&Close Project"));
        ToolSpec imp = spec("mnuImport", "Import...");
        imp.separatorBefore = true;
        file.AddTool(imp);
        ToolSpec exit = spec("exit", "E&xit");
        exit.description = QStringLiteral("Close all documents and exit");
        exit.separatorBefore = true;
        file.AddTool(exit);

        CBand& help = bar->AddBand(QStringLiteral("mnuHelp"), QStringLiteral("Help"), BandKind::Popup);
        help.AddTool(spec("miHContents", "User &Manual"));
        help.AddTool(spec("miHAbout", "&About"));

        CBand& standard = bar->AddBand(QStringLiteral("Standard"), QStringLiteral("Tool Bar"), BandKind::ToolBar);
        standard.AddTool(spec("open", "&Open"));
        standard.AddTool(spec("mnuConfigure", "Configure This Project..."));

        CBand& train = bar->AddBand(QStringLiteral("mnuTrainBPBar"), QStringLiteral("Train"), BandKind::ToolBar);
        train.AddTool(spec("mnuTrainBPExit", "Finish"));
        train.AddTool(spec("mnuTrainBPTrain", "Train"));
        train.SetVisible(false);

        if (install)
            gVeltra().SetMainForm(&window);
    }
    ~TestMainWindow()
    {
        if (gVeltra().MainForm() == &window)
            gVeltra().SetMainForm(nullptr);
    }

    static ToolSpec spec(const char* name, const char* caption, const char* subBand = nullptr)
    {
        ToolSpec s;
        s.name = QString::fromLatin1(name);
        s.caption = QString::fromUtf8(caption);
        if (subBand)
            s.subBand = QString::fromLatin1(subBand);
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
