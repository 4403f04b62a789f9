// The main window: the one multiple-document window of the program with its menu and tool
// bar, its status bar and the area of the child windows. It restores and saves its place and
// the user's preferences and turns every click on a tool into its command.
#pragma once

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

class CCommandBar;
class CCommandTable;
class CMStatusBar;
class QMdiArea;
class QMdiSubWindow;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // The window's designed place and size, which stand until settings are loaded.
    static constexpr QRect kDesignedGeometry{40, 30, 960, 680};

    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // Number of recent files to list (1 to 18): 6 from creation, then Config/NumRecents.
    int16_t mNumRecents = 6;
    // The splash window has been hidden: false until start-up or the first click sets it.
    bool mSplashUnloaded = false;

    CCommandBar* MainToolBar() const { return m_toolBar; }
    CMStatusBar* MainStatusBar() const { return m_statusBar; }
    QMdiArea* MdiArea() const { return m_mdiArea; }
    // Makes `view` a child window (deleted when it closes) with its normal size: the view's
    // designed size (what it was resized to before, or what it asks for) plus the frame, kept
    // within the child area. The caller shows it, normal or maximised; a child shown maximised
    // at once is restored to that size, never to the few pixels of a frame that was never
    // shown normal.
    QMdiSubWindow* AddChild(QWidget* view);
    // The outer size of a child whose view is `designed` inside a frame of `frame`, within
    // `area` (an area not laid out yet, of no size, bounds nothing).
    static QSize ChildNormalSize(QSize designed, QSize frame, QSize area);

    // Restores place and size (Window/MainLeft, MainTop, MainWidth, MainHeight, clamped to the
    // screen) and reads Config/NumRecents and Config/ShowIMode. Each step goes on when the one
    // before failed.
    void Load();
    bool Loaded() const { return m_loaded; }
    // The window has been unloaded (closed); it is deleted soon after.
    bool Unloaded() const { return m_unloaded; }

    // Hides the splash window (errors ignored) and sets mSplashUnloaded.
    void HideSplash();

    // The command of a clicked tool from the command table, its name compared upper-cased; a
    // name without a command does nothing, and the training bar runs only its own commands.
    // Errors show the box "frmMain::MainToolBar_Click".
    void MainToolBar_Click(const QString& band, const QString& tool, int tag);

    // The main window's own commands (files, windows, help, preferences) into the table.
    static void AddCommands(CCommandTable& table);

    // Whether the child area's report of `reported` as its active child (none when null) is a
    // change of the active child among `children` from `active`, the one active until now.
    static bool IsChildChange(const QMdiSubWindow* reported, const QMdiSubWindow* active,
                              const QList<QMdiSubWindow*>& children);
    // A stored truth value: a number is true when not 0, and the words True and False in any
    // case; anything else gives nothing.
    static std::optional<bool> SettingBool(const QString& text);
    // `wanted` moved and shrunk so that it lies on `available`.
    static QRect ClampToScreen(const QRect& wanted, const QRect& available);
    // The place written to the four window settings: a maximised window is stored as the
    // area it covers, the whole available area of its screen; otherwise its normal place.
    static QRect StoredPlace(const QRect& normal, bool maximised, const QRect& available);
    // A stored place that covers the whole available area brings the window back maximised
    // (a normal window's place is clamped inside that area, and its frame takes a part of it).
    static bool RestoresMaximised(const QRect& stored, const QRect& available);

signals:
    // Raised at the end of each handled resize with the window state (Qt::WindowStates).
    void Resize(int windowState);
    // The active child window changed: `now` (none once the last one has gone) after `before`.
    // This is what activating a child window means; the program losing and regaining the
    // user (another program, a box of its own) and a minimise, restore or maximise of the main
    // window or of a child change no active child.
    void ChildActivated(QMdiSubWindow* now, QMdiSubWindow* before);

protected:
    void resizeEvent(QResizeEvent* event) override;
    // The unload: closes the project, saves the settings when the window had loaded and been
    // shown, and closes every other window. A close while a command runs or the hourglass is
    // up waits until the work has ended.
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void MainToolBar_BandOpen(const QString& band);
    void MainToolBar_BandClose(const QString& band);
    void MainToolBar_ComboSelChange(const QString& tool, int index);
    void arrangeChildren(int code);
    void saveSettings();
    // A close that waited for a command or the hourglass, once neither holds the window.
    void closeIfPending();

    CCommandBar* m_toolBar = nullptr;
    CMStatusBar* m_statusBar = nullptr;
    QMdiArea* m_mdiArea = nullptr;
    QPointer<QMdiSubWindow> m_activeChild;
    bool m_loaded = false;
    bool m_shown = false;
    bool m_unloaded = false;
    bool m_resizing = false;
    // A close waits for the training run to end; the close after it goes through.
    bool m_closeAfterRun = false;
    // Commands of the bars now running, and a close that waits for them or the hourglass.
    int m_commandDepth = 0;
    bool m_closePending = false;
};
