// The main window's menu and tool-bar control: named bands (the menu bar, pop-up menus, tool
// bars) holding named tools, built on QMenuBar, QMenu, QToolBar and QAction. A tool name may sit
// on several bands; its Enabled, Checked and Visible states are one per name and show on every
// band, while caption, description, identifier and tag belong to each placed copy.
#pragma once

#include <QIcon>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <vector>

#include <QToolBar>

class QAction;
class QWidget;
class CBand;
class CCommandBar;

enum class BandKind { MenuBar, Popup, ToolBar };
enum class ToolKind { Button, ComboBox };

// What a tool is when it is placed on a band. The state fields (enabled, visible, checked,
// checkable, shortcut, comboItems) only count when the name is new to the bar; a name that the
// bar already knows keeps its shared state.
struct ToolSpec {
    QString name;
    QString caption;       // "&" marks the access key; empty: the name's first caption
    QString description;   // the tool tip ("Open this file")
    int id = 0;            // numeric identifier
    int tag = 0;           // numeric tag (the recent-file tools keep their position here)
    bool separatorBefore = false; // the group-separator flag: a line before this tool
    ToolKind kind = ToolKind::Button;
    QString subBand;       // a pop-up band this tool opens (menu titles, drop-down buttons)
    bool enabled = true;
    bool visible = true;
    bool checkable = false;
    bool checked = false;
    QKeySequence shortcut;
    QStringList comboItems;
    int comboWidth = 0;    // pixels; 0 lets the combo size itself
};

// One placed copy of a tool on one band. Owned by its band; removing it from the band ends it.
class CBandTool {
public:
    const QString& Name() const { return m_name; }
    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption);
    QString Description() const { return m_description; }
    void SetDescription(const QString& description);
    int Id() const { return m_id; }
    void SetId(int id) { m_id = id; }
    int Tag() const { return m_tag; }
    void SetTag(int tag) { m_tag = tag; }
    bool SeparatorBefore() const { return m_separatorBefore; }
    void SetSeparatorBefore(bool on);
    const QString& SubBand() const { return m_subBand; }

    // The shared state of the tool's name (the same on every band).
    bool Enabled() const;
    void SetEnabled(bool on);
    bool Visible() const;
    void SetVisible(bool on);
    bool Checked() const;
    void SetChecked(bool on);

    CBand& Band() const { return *m_band; }
    // The action shown for this copy (its separator line is a second action before it).
    QAction* Action() const { return m_action; }

private:
    friend class CBand;
    friend class CCommandBar;
    CBandTool(CBand& band, const ToolSpec& spec);
    void refresh();

    CBand* m_band;
    QString m_name;
    QString m_caption;
    QString m_description;
    int m_id = 0;
    int m_tag = 0;
    bool m_separatorBefore = false;
    QString m_subBand;
    QAction* m_separator = nullptr;
    QAction* m_action = nullptr;
};

// A band: an ordered list of tools shown as a menu bar, a pop-up menu or a tool bar.
class CBand : public QObject {
    Q_OBJECT
public:
    ~CBand() override;

    const QString& Name() const { return m_name; }
    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption);
    BandKind Kind() const { return m_kind; }
    CCommandBar& Bar() const { return *m_bar; }

    // The band's tool list, by index from 0.
    int ToolCount() const { return int(m_tools.size()); }
    // Raises KvError 9 for an index outside the list.
    CBandTool& ToolAt(int index) const;
    // The first copy named `name` on this band, or -1.
    int IndexOf(const QString& name) const;
    // Places a tool at `index` (-1 or the count: at the end); a name new to the bar is added to
    // its tool collection with the ToolSpec's state. Answers the placed copy.
    CBandTool& InsertTool(int index, const ToolSpec& spec);
    CBandTool& AddTool(const ToolSpec& spec) { return InsertTool(-1, spec); }
    // Raises KvError 9 for an index outside the list.
    void RemoveTool(int index);

    // Band visibility (the tool bars and the menu bar; pop-ups show when opened).
    bool Visible() const { return m_visible; }
    void SetVisible(bool on);
    // A second display switch, independent of Visible (printing hides the tool bar with it).
    bool Displayed() const { return m_displayed; }
    void SetDisplayed(bool on);

    // The widget showing the band: exactly one of these is set, by kind.
    QMenuBar* MenuBarWidget() const { return m_menuBar; }
    QMenu* Menu() const { return m_menu; }
    QToolBar* ToolBarWidget() const { return m_toolBar; }
    QWidget* Widget() const;

private:
    friend class CCommandBar;
    friend class CBandTool;
    CBand(CCommandBar& bar, const QString& name, const QString& caption, BandKind kind, QWidget* host);
    void placeAction(int index);
    void applyVisibility();
    void applySeparators();

    CCommandBar* m_bar;
    QString m_name;
    QString m_caption;
    BandKind m_kind;
    bool m_visible = true;
    bool m_displayed = true;
    QPointer<QMenuBar> m_menuBar;
    QPointer<QMenu> m_menu;
    QPointer<QToolBar> m_toolBar;
    std::vector<std::unique_ptr<CBandTool>> m_tools;
};

class CCommandBar : public QObject {
    Q_OBJECT
public:
    // With a window, the menu-bar band becomes its menu bar and tool-bar bands dock on it, and
    // the tools' shortcuts work while that window is active. The bar is a child of the window.
    explicit CCommandBar(QMainWindow* window = nullptr);
    ~CCommandBar() override;

    QMainWindow* Window() const { return m_window; }

    // Bands, by name (exact case) or by index from 0 in creation order.
    CBand& AddBand(const QString& name, const QString& caption, BandKind kind);
    int BandCount() const { return int(m_bands.size()); }
    CBand& BandAt(int index) const;          // KvError 9 outside the list
    CBand& Band(const QString& name) const;  // KvError 3265 for an unknown name
    CBand* FindBand(const QString& name) const;

    // The tool collection: every name the bar knows, in the order it first came to the bar.
    // A name stays in the collection when its last copy leaves the bands.
    void DefineTool(const ToolSpec& spec); // adds a name without placing it on a band
    int ToolCount() const { return int(m_order.size()); }
    QString ToolName(int index) const;     // KvError 9 outside the collection
    QStringList ToolNames() const { return m_order; }
    bool HasTool(const QString& name) const;

    // Shared per-name state; an unknown name raises KvError 3265.
    bool Enabled(const QString& name) const;
    void SetEnabled(const QString& name, bool on);
    bool Visible(const QString& name) const;
    void SetVisible(const QString& name, bool on);
    // A click does not flip Checked: the command behind the tool decides.
    bool Checked(const QString& name) const;
    void SetChecked(const QString& name, bool on);
    // Sets the caption of every copy of the tool.
    void SetCaption(const QString& name, const QString& caption);
    // The tool's picture, shown by its copies on tool bars (a tool bar button with a picture
    // shows only the picture, its caption or tip as the tool tip); menus show the caption.
    void SetIcon(const QString& name, const QIcon& icon);
    QKeySequence Shortcut(const QString& name) const;
    void SetShortcut(const QString& name, const QKeySequence& shortcut);

    // Combo-box tools: the list, and the selected entry (-1 none). Setting it raises no
    // ComboSelChanged; only the user's choice does.
    QStringList ComboItems(const QString& name) const;
    void SetComboItems(const QString& name, const QStringList& items);
    int ComboIndex(const QString& name) const;
    void SetComboIndex(const QString& name, int index);

    // Every placed copy of a tool, over all bands.
    std::vector<CBandTool*> Copies(const QString& name) const;

    // After a batch of changes. Qt lays out and repaints by itself; kept so that callers read
    // as the commands are written.
    void RecalcLayout();
    void Refresh();

    // The band of the tool clicked last (empty before any click).
    QString ActiveBand() const { return m_activeBand; }

    // Key handling for other windows: a key with modifiers (Qt key code and
    // Qt::KeyboardModifiers as int) that is the shortcut of an enabled, visible tool clicks
    // that tool and answers true. KeyUp claims the same keys without clicking again.
    bool KeyDown(int key, int modifiers);
    bool KeyUp(int key, int modifiers) const;

    // The hourglass's busy mode: every tool and band is unusable while it is on; the tools'
    // own states come back when it ends.
    void SetBusy(bool busy);
    bool Busy() const { return m_busy; }

    // Emits ToolClicked as a click on that copy would (used by the key handling and tests).
    void Click(const CBandTool& tool);

signals:
    // A click on a tool: its band's name, the tool's name and the copy's numeric tag.
    void ToolClicked(const QString& band, const QString& tool, int tag);
    void BandOpened(const QString& band);
    void BandClosed(const QString& band);
    // The user chose entry `index` in the combo tool `tool`.
    void ComboSelChanged(const QString& tool, int index);

private:
    friend class CBand;
    friend class CBandTool;
    struct ToolState;
    ToolState& state(const QString& name) const;
    ToolState& defineState(const ToolSpec& spec);
    void applyState(const QString& name);
    void attachSubBands(CBand& band);
    void forgetCopy(CBandTool* copy);

    QPointer<QMainWindow> m_window;
    std::vector<std::unique_ptr<CBand>> m_bands;
    QStringList m_order;
    std::map<QString, std::unique_ptr<ToolState>> m_states;
    QString m_activeBand;
    bool m_busy = false;
};

// The main window's bar (a direct child of gVeltra's main form), or nullptr.
CCommandBar* MainToolBar();
