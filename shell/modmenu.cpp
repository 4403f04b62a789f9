#include "shell/modmenu.h"

#include "core/apppaths.h"
#include "core/commondialog.h"
#include "core/errorbox.h"
#include "core/pathutils.h"
#include "core/prompts.h"
#include "core/regsettings.h"
#include "core/widgets/about.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/helpwindow.h"
#include "core/widgets/hourglass.h"
#include "core/widgets/screenprint.h"
#include "core/widgets/splash.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "shell/frmmain.h"
#include "shell/navigate.h"
#include "shell/projectopener.h"
#include "shell/windowcalls.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

#include <vector>

namespace {

frmMain* mainForm()
{
    return qobject_cast<frmMain*>(gVeltra().MainForm());
}

// The windows that stay when the child windows go: the main window, the splash, help.
bool keptWindow(const QWidget* w)
{
    return w == gVeltra().MainForm() || qobject_cast<const frmSplash*>(w) || qobject_cast<const frmHelp*>(w);
}

// A window of the program as the user sees one: not a menu, tool tip or pop-up list.
bool isForm(const QWidget* w)
{
    const Qt::WindowType type = w->windowType();
    return w->isWindow() && (type == Qt::Window || type == Qt::Dialog || type == Qt::Tool);
}

int& commandUnloads()
{
    static int depth = 0;
    return depth;
}

void unload(QWidget* w)
{
    modMenu::CCommandUnload byCommand;
    QPointer<QWidget> guard(w);
    w->close();
    if (guard) {
        guard->hide();
        guard->deleteLater();
    }
}

} // namespace

QString modMenu::MainCaption(const QString& projectFile)
{
    const QString title = QStringLiteral("Korvan Pro");
    if (projectFile.isEmpty())
        return title;
    QString base = Utilities::GetBaseName(projectFile);
    if (base.size() > 12)
        base = base.left(9) + QStringLiteral("...");
    return title + QStringLiteral(" - ") + base;
}

void modMenu::FileOpen(const QString& requested)
{
    Procedure(QStringLiteral("modMenu::FileOpen"), [&] {
        QString path = requested;
        if (path.isEmpty()) {
            CCommonDialog dialog;
            dialog.SetFilter(QStringLiteral("Korvan Projects (*.kvp)|*.kvp"));
            dialog.SetDefaultExt(QStringLiteral("*.kvp"));
            dialog.SetInitDir(Utilities::GetSetting(QStringLiteral("Config"), QStringLiteral("LastProjectPath"),
                                                    AppPaths::ProgramFolder()));
            dialog.SetDialogTitle(QStringLiteral("Open Project"));
            dialog.SetFlags(dialog.Flags() + 4);
            dialog.SetFileName(QString());
            dialog.SethWnd(QApplication::activeWindow());
            dialog.ShowOpen();
            if (dialog.UserCancel())
                return;
            if (!dialog.FileName().toUpper().contains(QStringLiteral(".KVP"))) {
                Prompts::MsgBox(QStringLiteral("Unreconized file type.  Korvan projects require a .KVP file extention."),
                                MsgButtons::Ok, MsgIcon::Exclamation, QStringLiteral("Open Project"));
                return;
            }
            path = dialog.FileName();
        }
        FileClose();
        // One box that says why: a file that is there but cannot be read (no permission, a loop of
        // links, a folder) is not a missing one.
        const QString unreadable = Utilities::UnreadableReason(path);
        if (!unreadable.isEmpty()) {
            HideSplash();
            const QFileInfo info(path);
            const bool missing = !info.exists() && !info.isSymLink();
            Prompts::MsgBox(missing ? QStringLiteral("Cannot Find File: ") + QLatin1Char('\n') + path
                                    : QStringLiteral("Cannot Read File: ") + QLatin1Char('\n') + path
                                          + QLatin1Char('\n') + unreadable,
                            MsgButtons::Ok, MsgIcon::Exclamation, QStringLiteral("File Open Error"));
            return;
        }
        IProjectOpener* opener = ProjectOpener::Current();
        bool opened = false;
        try {
            opened = opener && opener->OpenProject(path);
        } catch (...) {
            // The error box must not open behind the splash window.
            HideSplash();
            throw;
        }
        if (!opened)
            return;
        QCoreApplication::processEvents();
        HideSplash();
    });
}

void modMenu::FileClose()
{
    // The windows and the project each save on closing: a failure they share is told once.
    const ErrorBox::COneBoxPerFailure oneBox;
    Procedure(QStringLiteral("modMenu::FileClose"), [&] {
        CHourglass hourglass(true);
        IgnoreErrors([&] {
            if (frmMain* form = mainForm())
                if (QMdiSubWindow* active = form->MdiArea()->activeSubWindow())
                    unload(active);
        });
        IgnoreErrors([&] { RemoveChildForms(); });
        IgnoreErrors([&] {
            CCommandBar* bar = MainToolBar();
            if (!bar)
                return;
            CBand& train = bar->Band(BandName::TrainBPBar);
            if (train.Visible()) {
                train.SetVisible(false);
                bar->Band(BandName::Standard).SetVisible(true);
            }
        });
        IgnoreErrors([&] {
            if (IProjectOpener* opener = ProjectOpener::Current())
                opener->CloseProject();
        });
        IgnoreErrors([&] { gNavigate().Navigate(navNoProject); });
        IgnoreErrors([&] {
            if (QWidget* form = gVeltra().MainForm())
                form->setWindowTitle(MainCaption());
        });
        IgnoreErrors([&] { Utilities::SetProjectPanel(QString()); });
        IgnoreErrors([&] {
            CStatusPanels* panels = gVeltra().StatusBar().StatusBar();
            if (!panels)
                return;
            panels->Panel(1).SetText(QString());
            panels->Panel(2).SetText(QString());
        });
        IgnoreErrors([&] { Utilities::SetNodesPanel(QString()); });
    });
}

void modMenu::RemoveChildForms()
{
    Procedure(QStringLiteral("modMenu::RemoveChildForms"), [&] {
        // Nothing may drive a window that is closing.
        WindowCalls::Current().ReleaseWindowState();
        std::vector<QPointer<QWidget>> forms;
        if (frmMain* form = mainForm())
            for (QMdiSubWindow* sub : form->MdiArea()->subWindowList())
                forms.emplace_back(sub);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (isForm(w) && !keptWindow(w) && !(w->isModal() && w->isVisible()))
                forms.emplace_back(w);
        for (const QPointer<QWidget>& w : forms)
            if (w)
                unload(w);
    });
}

modMenu::CCommandUnload::CCommandUnload()
{
    ++commandUnloads();
}

modMenu::CCommandUnload::~CCommandUnload()
{
    --commandUnloads();
}

bool modMenu::CCommandUnload::Active()
{
    return commandUnloads() > 0;
}

void modMenu::HideSplash()
{
    IgnoreErrors([&] {
        if (frmSplash* splash = frmSplash::Current())
            splash->hide();
    });
}

void modMenu::TrackPopup(const QString& band)
{
    CCommandBar* bar = MainToolBar();
    if (!bar)
        return;
    if (QMenu* menu = bar->Band(band).Menu())
        menu->popup(QCursor::pos());
}

void modMenu::ShowAbout()
{
    IgnoreErrors([&] {
        frmAbout about(gVeltra().MainForm());
        about.exec();
    });
}

QString modMenu::HelpContextText(bool childLoaded, bool hasActiveControl, int32_t controlContext,
                                 int32_t formContext)
{
    const QString contents = QStringLiteral(" 0001");
    if (!childLoaded)
        return contents;
    if (hasActiveControl)
        return QLatin1Char(' ') + QString::number(controlContext != 0 ? controlContext : formContext);
    return formContext != 0 ? QLatin1Char(' ') + QString::number(formContext) : contents;
}

int32_t modMenu::HelpContextOf(const QWidget* widget)
{
    if (!widget)
        return 0;
    bool ok = false;
    const int32_t context = widget->property("HelpContextID").toInt(&ok);
    return ok ? context : 0;
}

void modMenu::ShowHelpContents()
{
    IgnoreErrors([&] {
        // The window the user works in: the active child window of the main window, else the
        // last of the other windows.
        QWidget* form = nullptr;
        if (frmMain* main = mainForm())
            if (QMdiSubWindow* sub = main->MdiArea()->currentSubWindow())
                form = sub->widget() ? sub->widget() : sub;
        if (!form)
            for (QWidget* w : QApplication::topLevelWidgets())
                if (isForm(w) && !keptWindow(w) && w->isVisible())
                    form = w;
        QWidget* control = form ? form->focusWidget() : nullptr;
        const QString text = HelpContextText(form != nullptr, control != nullptr, HelpContextOf(control),
                                             HelpContextOf(form));
        QCoreApplication::processEvents();
        HelpRequest request;
        request.context = text.trimmed().toInt();
        request.owner = gVeltra().MainForm();
        Prompts::Current().showHelp(request);
    });
}

void modMenu::MENU_PrintForm()
{
    Procedure(QStringLiteral("modMenu::MENU_PrintForm"), [&] {
        CCommandBar* bar = MainToolBar();
        std::vector<bool> visible;
        CBand* standard = nullptr;
        // The tools and the tool bar come back on every path, an error's included.
        struct Restore {
            CCommandBar* bar;
            std::vector<bool>& visible;
            CBand*& standard;
            ~Restore()
            {
                if (!bar)
                    return;
                IgnoreErrors([&] {
                    for (int i = 0; i < int(visible.size()) && i < bar->ToolCount(); ++i)
                        bar->SetVisible(bar->ToolName(i), visible[size_t(i)]);
                    if (standard)
                        standard->SetDisplayed(true);
                    bar->RecalcLayout();
                    bar->Refresh();
                });
            }
        } restore{bar, visible, standard};
        if (bar) {
            for (int i = 0; i < bar->ToolCount(); ++i) {
                const QString name = bar->ToolName(i);
                visible.push_back(bar->Visible(name));
                bar->SetVisible(name, false);
            }
            for (int i = 0; i < bar->BandCount(); ++i)
                if (bar->BandAt(i).Name() == BandName::Standard) {
                    standard = &bar->BandAt(i);
                    standard->SetDisplayed(false);
                    break;
                }
            bar->RecalcLayout();
            bar->Refresh();
        }
        QCoreApplication::processEvents();
        const QPixmap picture = MScreenPrint::CaptureActiveWindow();
        if (picture.isNull())
            return;
        // Held from here on: the busy window would otherwise be captured greyed out.
        CHourglass hourglass(true);
        MScreenPrint::PrintOnDefaultPrinter(picture);
    });
}
