#include "shell/frmmain.h"

#include "core/errorbox.h"
#include "core/regsettings.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/veltra.h"
#include "shell/mainbands.h"
#include "network/process.h"
#include "shell/modmenu.h"
#include "shell/viewprocs.h"
#include "core/widgets/statusmsg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>

#include <vector>

namespace {
const QString kWindow = QStringLiteral("Window");
const QString kConfig = QStringLiteral("Config");
// The least height of the window (2000 twips).
constexpr int kMinimumHeight = StatusGeometry::Px(2000);

// A window the program opened, not a menu, tool tip or pop-up list.
bool isWindowOfOurs(const QWidget* w)
{
    const Qt::WindowType type = w->windowType();
    return w->isWindow() && (type == Qt::Window || type == Qt::Dialog || type == Qt::Tool || type == Qt::SplashScreen);
}

QString boolText(bool on)
{
    return on ? QStringLiteral("True") : QStringLiteral("False");
}
} // namespace

frmMain::frmMain(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(modMenu::MainCaption());
    setGeometry(kDesignedGeometry);
    setMinimumHeight(kMinimumHeight);

    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setObjectName(QStringLiteral("mdiArea"));
    m_mdiArea->setBackground(QColor(0x80, 0x80, 0x80));
    m_mdiArea->viewport()->installEventFilter(this);
    m_mdiArea->installEventFilter(this);
    setCentralWidget(m_mdiArea);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* sub) {
        // The child area reports "none active" when the program loses the user, and the same
        // child again when it comes back: neither is a change among the children.
        if (!sub && QApplication::activeWindow() != this)
            return;
        if (sub == m_activeChild)
            return;
        QMdiSubWindow* before = m_activeChild;
        m_activeChild = sub;
        emit ChildActivated(sub, before);
    });

    m_toolBar = new CCommandBar(this);
    m_toolBar->setObjectName(QStringLiteral("MainToolBar"));
    MainBands::Build(*m_toolBar);
    m_toolBar->SetShortcut(QStringLiteral("miHContents"), QKeySequence(Qt::Key_F1));
    connect(m_toolBar, &CCommandBar::ToolClicked, this, &frmMain::MainToolBar_Click);
    connect(m_toolBar, &CCommandBar::BandOpened, this, &frmMain::MainToolBar_BandOpen);
    connect(m_toolBar, &CCommandBar::BandClosed, this, &frmMain::MainToolBar_BandClose);
    connect(m_toolBar, &CCommandBar::ComboSelChanged, this, &frmMain::MainToolBar_ComboSelChange);

    m_statusBar = new CMStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("MainStatusBar"));
    setStatusBar(m_statusBar);
    connect(m_statusBar, &CMStatusBar::Click, this, [this] {
        if (!mSplashUnloaded)
            HideSplash();
    });
}

frmMain::~frmMain() = default;

std::optional<bool> frmMain::SettingBool(const QString& text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool numeric = false;
    const double value = t.toDouble(&numeric);
    if (numeric)
        return value != 0;
    return std::nullopt;
}

QRect frmMain::ClampToScreen(const QRect& wanted, const QRect& available)
{
    if (!available.isValid())
        return wanted;
    QRect r = wanted;
    r.setWidth(qBound(1, r.width(), available.width()));
    r.setHeight(qBound(1, r.height(), available.height()));
    r.moveLeft(qBound(available.left(), r.left(), available.right() - r.width() + 1));
    r.moveTop(qBound(available.top(), r.top(), available.bottom() - r.height() + 1));
    return r;
}

void frmMain::Load()
{
    IgnoreErrors([&] {
        const QRect current = geometry();
        auto read = [&](const char* key, int fallback) {
            const QString text = Utilities::GetSetting(kWindow, QString::fromLatin1(key), QString::number(fallback));
            bool ok = false;
            const double value = text.toDouble(&ok);
            return ok && qAbs(value) < 1e6 ? int(value) : fallback;
        };
        QRect wanted(read("MainLeft", current.x()), read("MainTop", current.y()), read("MainWidth", current.width()),
                     read("MainHeight", current.height()));
        QScreen* screen = QGuiApplication::screenAt(wanted.center());
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        const QRect available = screen ? screen->availableGeometry() : QRect();
        if (RestoresMaximised(wanted, available)) {
            // Stored maximised: the normal place is the designed one.
            setGeometry(ClampToScreen(kDesignedGeometry, available));
            setWindowState(windowState() | Qt::WindowMaximized);
            return;
        }
        setGeometry(ClampToScreen(wanted, available));
    });
    IgnoreErrors([&] {
        QStringList entries;
        for (int n = 1; n <= 18; ++n)
            entries << QString::number(n);
        m_toolBar->SetComboItems(QStringLiteral("mnuNumRec"), entries);
    });
    IgnoreErrors([&] {
        bool ok = false;
        const int n = Utilities::GetSetting(kConfig, QStringLiteral("NumRecents"), QStringLiteral("6")).trimmed().toInt(&ok);
        if (ok && n >= 1 && n <= 18)
            mNumRecents = int16_t(n);
    });
    IgnoreErrors([&] { m_toolBar->SetComboIndex(QStringLiteral("mnuNumRec"), mNumRecents - 1); });
    IgnoreErrors([&] {
        const auto on = SettingBool(Utilities::GetSetting(kConfig, QStringLiteral("ShowIMode"), QStringLiteral("True")));
        m_toolBar->SetChecked(QStringLiteral("mnuShowIMode"), on.value_or(true));
    });
    m_loaded = true;
}

void frmMain::HideSplash()
{
    modMenu::HideSplash();
    mSplashUnloaded = true;
}

void frmMain::showEvent(QShowEvent* event)
{
    m_shown = true;
    QMainWindow::showEvent(event);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_mdiArea && event->type() == QEvent::EnabledChange && m_mdiArea->isEnabled())
        takeChildShownWhileBusy();
    if (watched == m_mdiArea->viewport() && !mSplashUnloaded
        && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick))
        HideSplash();
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::takeChildShownWhileBusy()
{
    // A disabled child area (a command under the hourglass) activates none of the windows
    // shown meanwhile; the command activated its window itself. The one on top becomes the
    // active child now, as no change: otherwise the user's next return from another program
    // would be taken for an activation of it.
    if (m_mdiArea->activeSubWindow())
        return;
    const QList<QMdiSubWindow*> stack = m_mdiArea->subWindowList(QMdiArea::StackingOrder);
    for (auto it = stack.crbegin(); it != stack.crend(); ++it) {
        if (!(*it)->isVisible())
            continue;
        m_activeChild = *it;
        m_mdiArea->setActiveSubWindow(*it);
        return;
    }
}

void frmMain::MainToolBar_Click(const QString& band, const QString& tool, int tag)
{
    if (!mSplashUnloaded)
        HideSplash();
    Procedure(QStringLiteral("frmMain::MainToolBar_Click"), [&] {
        // While the training bar is the active band, its dispatcher takes every click.
        if (band.toUpper() == QLatin1String("MNUTRAINBPBAR")) {
            modMenu::TrainBar(tool);
            return;
        }
        const QString name = tool.toUpper();
        for (const DispatchRow& row : DispatchTable())
            if (name == QLatin1String(row.name)) {
                row.action(*this, tool, tag);
                return;
            }
    });
}

const std::vector<frmMain::DispatchRow>& frmMain::DispatchTable()
{
    using W = frmMain;
    using S = const QString&;
    const auto call = [](void (*procedure)()) {
        return [procedure](W&, S, int) { procedure(); };
    };
    const auto toggle = [](W& w, S tool) {
        CCommandBar* bar = w.MainToolBar();
        bar->SetChecked(tool, !bar->Checked(tool));
        return bar->Checked(tool);
    };
    static const std::vector<DispatchRow> table = {
        {"NEW",
         [](W& w, S, int) {
             // Opens the File menu, where the new-project commands are.
             CBand& menu = w.MainToolBar()->Band(QStringLiteral("MainMenu"));
             const int at = menu.IndexOf(QStringLiteral("mnuFile"));
             if (at >= 0 && w.menuBar())
                 w.menuBar()->setActiveAction(menu.ToolAt(at).Action());
         }},
        {"OPEN", [](W&, S, int) { modMenu::FileOpen(QString()); }},
        {"MNUNEWSFAM", call(modMenu::NewSFam)},
        {"MNUNEWBP", call(modMenu::NewBP)},
        {"CLOSE", call(modMenu::FileClose)},
        {"MNUSAVESNAP", call(modMenu::SaveSnapshot)},
        {"MNUREVERTSNAP", call(modMenu::RevertSnapshot)},
        {"MNUIMPORT", call(modMenu::Import)},
        {"MNUEXPORT", call(modMenu::ExportMarkedRows)},
        {"MNUPRINT", call(modMenu::MENU_PrintForm)},
        {"EXIT", [](W& w, S, int) { w.close(); }},
        {"MIMRULIST", [](W&, S, int tag) { modMenu::FileOpen(gVeltra().MRUList().Item(tag)); }},
        {"MNUMARKALL", [](W&, S, int) { modMenu::MarkAllCurrent(-1); }},
        {"MNUUNMARKALL", [](W&, S, int) { modMenu::MarkAllCurrent(0); }},
        {"MNUTOGGLEMARKS", [](W&, S, int) { modMenu::MarkAllCurrent(1); }},
        {"MNUMARKSELECTED", call(modMenu::MarkSelected)},
        {"MIWCASCADE", [](W& w, S, int) { w.arrangeChildren(0); }},
        {"MIWTILEH", [](W& w, S, int) { w.arrangeChildren(1); }},
        {"MIWTILEV", [](W& w, S, int) { w.arrangeChildren(2); }},
        {"MIWARRANGEICONS", [](W& w, S, int) { w.arrangeChildren(3); }},
        {"MIHABOUT", call(modMenu::ShowAbout)},
        {"MIHCONTENTS", call(modMenu::ShowHelpContents)},
        {"MNUCONFIGURE", [](W&, S, int) { modMenu::EditConfigure(); }},
        {"MNUTRAINBP", call(modMenu::MenuBProp)},
        {"MNUSPLIT", call(modMenu::SetLimits)},
        {"MNUTESTBP", call(modMenu::TestShow)},
        {"MNUSFBROWSETEST", call(modMenu::BrowseTest)},
        {"MNUBPBROWSETEST", call(modMenu::BrowseTest)},
        {"MNUBROWSETEST", call(modMenu::BrowseTest)},
        {"MNUMATRIX",
         [](W&, S, int) {
             modMenu::ShowCMatrix();
             Utilities::StatusMessage(QStringLiteral("SFAM Confusion Matrix - Double click any cell for details"));
         }},
        {"MNUSCATTER", call(modMenu::ShowScatter)},
        {"MNUSERIES", call(modMenu::ShowSeries)},
        {"MNUSFSHOWALL", call(modMenu::ShowDefBrowser)},
        {"MNUBPSHOWALL", call(modMenu::ShowDefBrowser)},
        {"MNUSHOWALL", call(modMenu::ShowDefBrowser)},
        {"MNUSFSHOWERRORS", call(modMenu::MENU_SFShowErrors)},
        {"MNUSFSHOWCORRECT", call(modMenu::MENU_SFShowCorrect)},
        {"MNUSFFINDERROR", call(modMenu::MENU_SFFindError)},
        {"MNUSORTASC", call(modMenu::SortASC)},
        {"MNUSORTDESC", call(modMenu::SortDESC)},
        {"MNUFIND", call(modMenu::MenuFind)},
        {"MNUAUTOLOAD", [toggle](W& w, S tool, int) { toggle(w, tool); }},
        {"MNUSHOWIMODE",
         [toggle](W& w, S tool, int) {
             toggle(w, tool);
             // The results browser is rebuilt with or without the interactive mode.
             if (gProcess().IsTested())
                 modMenu::BrowseTest();
         }},
        // Tools that no band carries, named by the commands that use them.
        {"MIDATE",
         [toggle](W& w, S tool, int) { gVeltra().StatusBar().SetDatePanelVisible(toggle(w, tool)); }},
        {"ZOOM", [](W&, S, int) {}},
        {"MNUSHOWGRAPH", [toggle](W& w, S tool, int) { modMenu::ShowGraph(toggle(w, tool)); }},
    };
    return table;
}

void frmMain::MainToolBar_BandOpen(const QString& band)
{
    if (!mSplashUnloaded)
        HideSplash();
    Procedure(QStringLiteral("frmMain::MainToolBar_BandOpen"), [&] {
        if (band == QLatin1String("mnuBrowse")) {
            modMenu::BrowseMenuOpen();
            return;
        }
        if (band == QLatin1String("mnuView")) {
            MainBands::ShowViewEntriesOfKind(*m_toolBar, gProjectType);
            return;
        }
        if (band != QLatin1String("mnuNetwork"))
            return;
        CBand& network = m_toolBar->Band(band);
        const int at = network.IndexOf(QStringLiteral("mnuTrainBP"));
        if (at < 0)
            return;
        CBandTool& train = network.ToolAt(at);
        if (gProjectType == ntSFam) {
            train.SetCaption(QStringLiteral("SFAM Training..."));
            m_toolBar->Band(QStringLiteral("mnuTesting")).SetCaption(QStringLiteral("SFAM Testing..."));
        } else if (gProjectType == ntBackProp) {
            train.SetCaption(QStringLiteral("BackProp Training..."));
            m_toolBar->Band(QStringLiteral("mnuTesting")).SetCaption(QStringLiteral("BackProp Testing..."));
        } else {
            train.SetEnabled(false);
        }
        m_toolBar->RecalcLayout();
        m_toolBar->Refresh();
    });
}

void frmMain::MainToolBar_BandClose(const QString& band)
{
    IgnoreErrors([&] {
        if (band == QLatin1String("mnuBrowse"))
            modMenu::BrowseMenuClose();
    });
}

void frmMain::MainToolBar_ComboSelChange(const QString& tool, int index)
{
    IgnoreErrors([&] {
        if (tool != QLatin1String("mnuNumRec"))
            return;
        const int n = index + 1;
        if (n == mNumRecents || n < 1 || n > 18)
            return;
        mNumRecents = int16_t(n);
        gVeltra().MRUList().SetMaxItems(n);
    });
}

void frmMain::arrangeChildren(int code)
{
    switch (code) {
    case 0:
        m_mdiArea->cascadeSubWindows();
        break;
    case 1:
    case 2: {
        // One row (vertical tiling) or one column (horizontal tiling) of equal windows.
        std::vector<QMdiSubWindow*> children;
        for (QMdiSubWindow* sub : m_mdiArea->subWindowList())
            if (sub->isVisible() && !sub->isMinimized())
                children.push_back(sub);
        if (children.empty())
            return;
        const QRect area = m_mdiArea->viewport()->rect();
        const int n = int(children.size());
        for (int i = 0; i < n; ++i) {
            if (children[size_t(i)]->isMaximized())
                children[size_t(i)]->showNormal();
            if (code == 1)
                children[size_t(i)]->setGeometry(0, area.height() * i / n, area.width(),
                                                 area.height() * (i + 1) / n - area.height() * i / n);
            else
                children[size_t(i)]->setGeometry(area.width() * i / n, 0,
                                                 area.width() * (i + 1) / n - area.width() * i / n, area.height());
        }
        break;
    }
    default:
        // Minimised child windows line up along the bottom by themselves.
        break;
    }
}

QRect frmMain::StoredPlace(const QRect& normal, bool maximised, const QRect& available)
{
    return maximised && available.isValid() ? available : normal;
}

bool frmMain::RestoresMaximised(const QRect& stored, const QRect& available)
{
    return available.isValid() && stored.contains(available);
}

void frmMain::saveSettings()
{
    const QRect normal = isMaximized() || isMinimized() || isFullScreen() ? normalGeometry() : geometry();
    QRect available;
    if (QScreen* s = screen())
        available = s->availableGeometry();
    const QRect r = StoredPlace(normal, isMaximized(), available);
    IgnoreErrors([&] {
        Utilities::SaveSetting(kWindow, QStringLiteral("MainLeft"), QString::number(r.x()));
        Utilities::SaveSetting(kWindow, QStringLiteral("MainTop"), QString::number(r.y()));
        Utilities::SaveSetting(kWindow, QStringLiteral("MainWidth"), QString::number(r.width()));
        Utilities::SaveSetting(kWindow, QStringLiteral("MainHeight"), QString::number(r.height()));
    });
    IgnoreErrors([&] {
        Utilities::SaveSetting(kConfig, QStringLiteral("Autoload"), boolText(m_toolBar->Checked(QStringLiteral("mnuAutoload"))));
    });
    IgnoreErrors([&] {
        Utilities::SaveSetting(kConfig, QStringLiteral("ShowIMode"), boolText(m_toolBar->Checked(QStringLiteral("mnuShowIMode"))));
    });
    IgnoreErrors([&] { Utilities::SaveSetting(kConfig, QStringLiteral("NumRecents"), QString::number(mNumRecents)); });
}

void frmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    IgnoreErrors([&] {
        if (m_resizing || isMinimized())
            return;
        m_resizing = true;
        struct Clear {
            bool& flag;
            ~Clear() { flag = false; }
        } clear{m_resizing};
        if (height() < kMinimumHeight)
            resize(width(), kMinimumHeight);
        emit Resize(int(windowState()));
        m_statusBar->raise();
    });
}

void frmMain::closeEvent(QCloseEvent* event)
{
    if (m_unloaded) {
        event->accept();
        return;
    }
    // A training run ends first; the window closes once it has.
    if (!m_closeAfterRun && modMenu::Views().StopActiveRun) {
        QPointer<frmMain> self(this);
        bool stopping = false;
        IgnoreErrors([&] {
            stopping = modMenu::Views().StopActiveRun([self] {
                if (!self)
                    return;
                self->m_closeAfterRun = true;
                // Never from inside the run's own last step or this close event.
                QMetaObject::invokeMethod(self.data(), &QWidget::close, Qt::QueuedConnection);
            });
        });
        if (stopping) {
            event->ignore();
            return;
        }
    }
    m_unloaded = true;
    IgnoreErrors([&] { modMenu::FileClose(); });
    // A window that never finished loading or never showed would write its half-set state
    // over the user's settings.
    if (m_loaded && m_shown)
        saveSettings();
    IgnoreErrors([&] {
        std::vector<QPointer<QWidget>> others;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != this && isWindowOfOurs(w))
                others.emplace_back(w);
        for (const QPointer<QWidget>& w : others)
            if (w) {
                w->close();
                if (w) {
                    w->hide();
                    w->deleteLater();
                }
            }
    });
    event->accept();
    QMainWindow::closeEvent(event);
}
