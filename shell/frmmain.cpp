#include "shell/frmmain.h"

#include "core/errorbox.h"
#include "core/regsettings.h"
#include "core/status.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/hourglass.h"
#include "core/widgets/statusbar.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "shell/commandtable.h"
#include "shell/mainbands.h"
#include "network/workflowflags.h"
#include "shell/modmenu.h"
#include "shell/networkopener.h"
#include "shell/windowcalls.h"
#include "core/widgets/statusmsg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QStyle>

#include <algorithm>
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
        if (!IsChildChange(sub, m_activeChild, m_mdiArea->subWindowList()))
            return;
        QMdiSubWindow* before = m_activeChild;
        m_activeChild = sub;
        emit ChildActivated(sub, before);
    });

    m_toolBar = new CCommandBar(this);
    m_toolBar->setObjectName(QStringLiteral("MainToolBar"));
    MainBands::Build(*m_toolBar);
    m_toolBar->SetShortcut(ToolName::HelpContents, QKeySequence(Qt::Key_F1));
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

frmMain::~frmMain()
{
    // QWidget's destructor deletes the child area only after this one has run, and the area
    // reports its children leaving as it goes: nothing of it may reach this window by then.
    disconnect(m_mdiArea, nullptr, this, nullptr);
    m_mdiArea->removeEventFilter(this);
    m_mdiArea->viewport()->removeEventFilter(this);
}

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

bool frmMain::IsChildChange(const QMdiSubWindow* reported, const QMdiSubWindow* active,
                            const QList<QMdiSubWindow*>& children)
{
    if (reported)
        return reported != active;
    // "None active" comes with every minimise and restore, of the main window or of a child,
    // and whenever the program loses the user; the same child is reported again afterwards.
    // Only a child that has left the area (closed, hidden, destroyed) leaves none active.
    return active && (active->isHidden() || !children.contains(active));
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
        m_toolBar->SetComboItems(ToolName::NumRec, entries);
    });
    IgnoreErrors([&] {
        bool ok = false;
        const int n = Utilities::GetSetting(kConfig, QStringLiteral("NumRecents"), QStringLiteral("6")).trimmed().toInt(&ok);
        if (ok && n >= 1 && n <= 18)
            mNumRecents = int16_t(n);
    });
    IgnoreErrors([&] { m_toolBar->SetComboIndex(ToolName::NumRec, mNumRecents - 1); });
    IgnoreErrors([&] {
        const auto on = SettingBool(Utilities::GetSetting(kConfig, QStringLiteral("ShowIMode"), QStringLiteral("True")));
        m_toolBar->SetChecked(ToolName::ShowIMode, on.value_or(true));
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
    if (watched == m_mdiArea->viewport() && !mSplashUnloaded
        && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick))
        HideSplash();
    // While the hourglass keeps the user out of the child area, its children are disabled and
    // Qt drops every request to activate one: a child opened then (the configuration window,
    // a browser, the advanced grid over the configuration window) would stay inactive until
    // the user came back to the main window from elsewhere or clicked it. When the user is let
    // in again, the child on top, the one opened last, is the active one.
    if (watched == m_mdiArea && event->type() == QEvent::EnabledChange && m_mdiArea->isEnabled()) {
        closeIfPending();
        const QList<QMdiSubWindow*> stacked = m_mdiArea->subWindowList(QMdiArea::StackingOrder);
        for (auto it = stacked.crbegin(); it != stacked.crend(); ++it)
            if ((*it)->isVisible()) {
                if (*it != m_mdiArea->activeSubWindow())
                    m_mdiArea->setActiveSubWindow(*it);
                break;
            }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::closeIfPending()
{
    if (!m_closePending || m_unloaded || m_commandDepth > 0 || CHourglass::Busy())
        return;
    m_closePending = false;
    // From the event loop, after the command or the work has returned.
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void frmMain::MainToolBar_Click(const QString& band, const QString& tool, int tag)
{
    if (!mSplashUnloaded)
        HideSplash();
    ++m_commandDepth;
    struct Done {
        frmMain& window;
        ~Done()
        {
            --window.m_commandDepth;
            window.closeIfPending();
        }
    } done{*this};
    Procedure(QStringLiteral("frmMain::MainToolBar_Click"), [&] {
        // While the training bar is the active band, only its commands take the clicks.
        if (band.toUpper() == QString(BandName::TrainBPBar).toUpper()) {
            modMenu::TrainBar(tool);
            return;
        }
        gCommands().Run(CommandBar::Main, {this, tool, tag});
    });
}

void frmMain::AddCommands(CCommandTable& table)
{
    using C = const CommandClick&;
    table.Add(ToolName::New, [](C click) {
        // Opens the File menu, where the new-project commands are.
        CBand& menu = click.window->MainToolBar()->Band(BandName::MainMenu);
        const int at = menu.IndexOf(ToolName::File);
        if (at >= 0 && click.window->menuBar())
            click.window->menuBar()->setActiveAction(menu.ToolAt(at).Action());
    });
    table.Add(ToolName::Open, [](C) { modMenu::FileOpen(QString()); });
    table.Add(ToolName::NewSFAM, modMenu::NewSFam);
    table.Add(ToolName::NewBP, modMenu::NewBP);
    table.Add(ToolName::Close, modMenu::FileClose);
    table.Add(ToolName::SaveSnap, modMenu::SaveSnapshot);
    table.Add(ToolName::RevertSnap, modMenu::RevertSnapshot);
    table.Add(ToolName::Import, modMenu::Import);
    table.Add(ToolName::Export, modMenu::ExportMarkedRows);
    table.Add(ToolName::Print, modMenu::MENU_PrintForm);
    table.Add(ToolName::Exit, [](C click) { click.window->close(); });
    table.Add(ToolName::MRUList, [](C click) { modMenu::FileOpen(gVeltra().MRUList().Item(click.tag)); });
    table.Add(ToolName::Cascade, [](C click) { click.window->arrangeChildren(0); });
    table.Add(ToolName::TileH, [](C click) { click.window->arrangeChildren(1); });
    table.Add(ToolName::TileV, [](C click) { click.window->arrangeChildren(2); });
    table.Add(ToolName::ArrangeIcons, [](C click) { click.window->arrangeChildren(3); });
    table.Add(ToolName::HelpAbout, modMenu::ShowAbout);
    table.Add(ToolName::HelpContents, modMenu::ShowHelpContents);
    table.Add(ToolName::Configure, [](C) { modMenu::EditConfigure(); });
    table.Add(ToolName::Autoload, [](C click) { ToggleClicked(click); });
    table.Add(ToolName::ShowIMode, [](C click) {
        ToggleClicked(click);
        // The results browser is rebuilt with or without the interactive mode.
        if (gProcess().IsTested())
            modMenu::RunCommand(ToolName::BrowseTest);
    });
    // Tools that no band carries, named by the commands that use them.
    table.Add(ToolName::Date, [](C click) { gVeltra().StatusBar().SetDatePanelVisible(ToggleClicked(click)); });
    table.Add(ToolName::Zoom, [](C) {});
    // The training library's row passes the new state to its window.
    table.Add(ToolName::ShowGraph, [](C click) {
        ToggleClicked(click);
        Status::Message(modMenu::NotAvailableText());
    });
}

void frmMain::MainToolBar_BandOpen(const QString& band)
{
    if (!mSplashUnloaded)
        HideSplash();
    Procedure(QStringLiteral("frmMain::MainToolBar_BandOpen"), [&] {
        if (band == BandName::Browse) {
            WindowCalls::Current().BrowseBand(true);
            return;
        }
        if (band == BandName::View) {
            MainBands::ShowViewEntriesOfKind(*m_toolBar, CurrentKind());
            return;
        }
        if (band != BandName::Network)
            return;
        CBand& network = m_toolBar->Band(band);
        const int at = network.IndexOf(ToolName::TrainBP);
        if (at < 0)
            return;
        CBandTool& train = network.ToolAt(at);
        if (CurrentKind() == ntSFam) {
            train.SetCaption(QStringLiteral("SFAM Training..."));
            m_toolBar->Band(BandName::Testing).SetCaption(QStringLiteral("SFAM Testing..."));
        } else if (CurrentKind() == ntBackProp) {
            train.SetCaption(QStringLiteral("BackProp Training..."));
            m_toolBar->Band(BandName::Testing).SetCaption(QStringLiteral("BackProp Testing..."));
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
        if (band == BandName::Browse)
            WindowCalls::Current().BrowseBand(false);
    });
}

void frmMain::MainToolBar_ComboSelChange(const QString& tool, int index)
{
    IgnoreErrors([&] {
        if (tool != ToolName::NumRec)
            return;
        const int n = index + 1;
        if (n == mNumRecents || n < 1 || n > 18)
            return;
        mNumRecents = int16_t(n);
        gVeltra().MRUList().SetMaxItems(n);
    });
}

QMdiSubWindow* frmMain::AddChild(QWidget* view)
{
    const QSize designed = view->testAttribute(Qt::WA_Resized) ? view->size() : view->sizeHint();
    QMdiSubWindow* sub = m_mdiArea->addSubWindow(view);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    // The frame as the style draws it: the title bar above, the border round the rest.
    const QStyle* style = sub->style();
    const int border = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, sub);
    const int title = style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, sub);
    const QSize frame(2 * border, title + border);
    sub->resize(ChildNormalSize(designed, frame, m_mdiArea->viewport()->size()));
    return sub;
}

QSize frmMain::ChildNormalSize(QSize designed, QSize frame, QSize area)
{
    QSize size = designed.expandedTo(QSize(0, 0)) + frame;
    if (area.width() > 0)
        size.setWidth(std::min(size.width(), area.width()));
    if (area.height() > 0)
        size.setHeight(std::min(size.height(), area.height()));
    return size;
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
        Utilities::SaveSetting(kConfig, QStringLiteral("Autoload"), boolText(m_toolBar->Checked(ToolName::Autoload)));
    });
    IgnoreErrors([&] {
        Utilities::SaveSetting(kConfig, QStringLiteral("ShowIMode"), boolText(m_toolBar->Checked(ToolName::ShowIMode)));
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
    // Closing the project under a command that is still working on it would pull it from under
    // the command: a close that comes while a command runs or the hourglass is up (the close
    // box, a logout, the command's own Exit) waits, and the window closes once the work ends.
    if (CHourglass::Busy() || m_commandDepth > 0) {
        m_closePending = true;
        event->ignore();
        return;
    }
    // A training run ends first; the window closes once it has.
    if (!m_closeAfterRun) {
        QPointer<frmMain> self(this);
        bool stopping = false;
        IgnoreErrors([&] {
            stopping = WindowCalls::Current().StopActiveRun([self] {
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
