#include "core/widgets/commandbar.h"

#include "core/kverror.h"
#include "core/widgets/veltra.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>

#include <algorithm>

struct CCommandBar::ToolState {
    QString name;
    QString caption;
    QString description;
    ToolKind kind = ToolKind::Button;
    bool enabled = true;
    bool visible = true;
    bool checkable = false;
    bool checked = false;
    QKeySequence shortcut;
    QStringList comboItems;
    int comboIndex = -1;
    int comboWidth = 0;
    QIcon icon;
    std::vector<CBandTool*> copies;
    // Carries the shortcut on the window, so that one key reaches one tool however many bands
    // show it (several actions with one shortcut would cancel each other out).
    QPointer<QAction> shortcutAction;
};

namespace {

constexpr Qt::KeyboardModifiers kKeyModifiers =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

[[noreturn]] void raiseOutOfRange(const char* source)
{
    throw KvError(KvErr::SubscriptOutOfRange, QString::fromLatin1(source));
}

QComboBox* comboOf(QAction* action)
{
    auto* widgetAction = qobject_cast<QWidgetAction*>(action);
    if (!widgetAction || !widgetAction->defaultWidget())
        return nullptr;
    return widgetAction->defaultWidget()->findChild<QComboBox*>();
}

} // namespace

// ---------------------------------------------------------------------------------------------
// CBandTool

CBandTool::CBandTool(CBand& band, const ToolSpec& spec)
    : m_band(&band),
      m_name(spec.name),
      m_caption(spec.caption),
      m_description(spec.description),
      m_id(spec.id),
      m_tag(spec.tag),
      m_separatorBefore(spec.separatorBefore),
      m_subBand(spec.subBand)
{
    CCommandBar& bar = band.Bar();
    CCommandBar::ToolState& st = bar.state(m_name);
    if (m_caption.isEmpty())
        m_caption = st.caption;
    if (m_description.isEmpty())
        m_description = st.description;

    m_separator = new QAction(&band);
    m_separator->setSeparator(true);

    if (st.kind == ToolKind::ComboBox) {
        auto* widgetAction = new QWidgetAction(&band);
        auto* host = new QWidget;
        auto* layout = new QHBoxLayout(host);
        layout->setContentsMargins(4, 1, 4, 1);
        auto* label = new QLabel(host);
        label->setObjectName(QStringLiteral("caption"));
        auto* combo = new QComboBox(host);
        combo->setObjectName(m_name);
        if (st.comboWidth > 0)
            combo->setMinimumWidth(st.comboWidth);
        layout->addWidget(label);
        layout->addWidget(combo, 1);
        widgetAction->setDefaultWidget(host);
        m_action = widgetAction;
        const QString name = m_name;
        QObject::connect(combo, &QComboBox::activated, &bar, [&bar, name](int index) {
            bar.state(name).comboIndex = index;
            bar.applyState(name);
            emit bar.ComboSelChanged(name, index);
        });
    } else {
        m_action = new QAction(&band);
        QObject::connect(m_action, &QAction::triggered, &bar, [this] {
            CCommandBar& owner = m_band->Bar();
            // Qt flips a checkable action by itself; Checked belongs to the command behind the
            // tool, so the shared state is put back before the click is reported.
            owner.applyState(m_name);
            owner.Click(*this);
        });
    }
    m_action->setObjectName(m_name);
    if (!m_subBand.isEmpty())
        if (CBand* sub = bar.FindBand(m_subBand); sub && sub->Menu())
            m_action->setMenu(sub->Menu());
}

void CBandTool::SetCaption(const QString& caption)
{
    m_caption = caption;
    refresh();
}

void CBandTool::SetDescription(const QString& description)
{
    m_description = description;
    refresh();
}

void CBandTool::SetSeparatorBefore(bool on)
{
    m_separatorBefore = on;
    refresh();
}

bool CBandTool::Enabled() const
{
    return m_band->Bar().Enabled(m_name);
}

void CBandTool::SetEnabled(bool on)
{
    m_band->Bar().SetEnabled(m_name, on);
}

bool CBandTool::Visible() const
{
    return m_band->Bar().Visible(m_name);
}

void CBandTool::SetVisible(bool on)
{
    m_band->Bar().SetVisible(m_name, on);
}

bool CBandTool::Checked() const
{
    return m_band->Bar().Checked(m_name);
}

void CBandTool::SetChecked(bool on)
{
    m_band->Bar().SetChecked(m_name, on);
}

void CBandTool::refresh()
{
    const CCommandBar& bar = m_band->Bar();
    const CCommandBar::ToolState& st = bar.state(m_name);
    QString text = m_caption;
    if (m_band->Kind() == BandKind::Popup && !st.shortcut.isEmpty())
        text += QLatin1Char('\t') + st.shortcut.toString(QKeySequence::NativeText);
    m_action->setText(text);
    // Tool bars show the picture, menus the caption.
    if (m_band->Kind() == BandKind::ToolBar)
        m_action->setIcon(st.icon);
    m_action->setToolTip(m_description.isEmpty() ? QString(m_caption).remove(QLatin1Char('&'))
                                                 : m_description);
    m_action->setCheckable(st.checkable || st.checked);
    m_action->setChecked(st.checked);
    m_action->setEnabled(st.enabled && !bar.Busy());
    m_action->setVisible(st.visible);
    m_band->applySeparators();
    if (QComboBox* combo = comboOf(m_action)) {
        const QSignalBlocker block(combo);
        QStringList current;
        for (int i = 0; i < combo->count(); ++i)
            current << combo->itemText(i);
        if (current != st.comboItems) {
            combo->clear();
            combo->addItems(st.comboItems);
        }
        combo->setCurrentIndex(st.comboIndex);
        combo->setEnabled(st.enabled && !bar.Busy());
        if (auto* label = combo->parentWidget()->findChild<QLabel*>(QStringLiteral("caption"))) {
            label->setText(m_caption);
            label->setVisible(!m_caption.isEmpty());
        }
    }
}

// ---------------------------------------------------------------------------------------------
// CBand

CBand::CBand(CCommandBar& bar, const QString& name, const QString& caption, BandKind kind, QWidget* host)
    : m_bar(&bar), m_name(name), m_caption(caption), m_kind(kind)
{
    setObjectName(name);
    QMainWindow* window = bar.Window();
    switch (kind) {
    case BandKind::MenuBar:
        m_menuBar = new QMenuBar(host);
        m_menuBar->setObjectName(name);
        // The user never customises the bands: no menu of bars on a right click.
        m_menuBar->setContextMenuPolicy(Qt::PreventContextMenu);
        if (window)
            window->setMenuBar(m_menuBar);
        break;
    case BandKind::ToolBar:
        m_toolBar = new QToolBar(caption, host);
        m_toolBar->setObjectName(name);
        // The bands stay where they are and as they are: never moved, floated, or shown and
        // hidden by the user through the window's menu of bars.
        m_toolBar->setMovable(false);
        m_toolBar->setFloatable(false);
        m_toolBar->setAllowedAreas(Qt::TopToolBarArea);
        m_toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
        m_toolBar->toggleViewAction()->setVisible(false);
        if (window)
            window->addToolBar(m_toolBar);
        break;
    case BandKind::Popup:
        m_menu = new QMenu(caption, host);
        m_menu->setObjectName(name);
        connect(m_menu, &QMenu::aboutToShow, &bar, [&bar, name] { emit bar.BandOpened(name); });
        connect(m_menu, &QMenu::aboutToHide, &bar, [&bar, name] { emit bar.BandClosed(name); });
        break;
    }
}

CBand::~CBand()
{
    m_tools.clear();
    // Widgets without a window to own them are the band's.
    QWidget* widget = Widget();
    if (widget && !widget->parent())
        delete widget;
}

QWidget* CBand::Widget() const
{
    if (m_menuBar)
        return m_menuBar.data();
    if (m_menu)
        return m_menu.data();
    return m_toolBar.data();
}

void CBand::SetCaption(const QString& caption)
{
    m_caption = caption;
    if (m_menu)
        m_menu->setTitle(caption);
    if (m_toolBar)
        m_toolBar->setWindowTitle(caption);
    // The entries that open this band show its caption; Qt writes the title into the action
    // that opens the menu, and that entry's own caption must say the same or the next refresh
    // of its state would put the old one back.
    for (const auto& band : m_bar->m_bands)
        for (const auto& tool : band->m_tools)
            if (tool->SubBand() == m_name && tool->Caption() != caption)
                tool->SetCaption(caption);
}

CBandTool& CBand::ToolAt(int index) const
{
    if (index < 0 || index >= ToolCount())
        raiseOutOfRange("CBand:Tools");
    return *m_tools[size_t(index)];
}

int CBand::IndexOf(const QString& name) const
{
    for (int i = 0; i < ToolCount(); ++i)
        if (m_tools[size_t(i)]->Name() == name)
            return i;
    return -1;
}

CBandTool& CBand::InsertTool(int index, const ToolSpec& spec)
{
    if (spec.name.isEmpty())
        throw KvError(KvErr::InvalidCall, QStringLiteral("CBand:Tools.Insert"));
    if (index < 0 || index > ToolCount())
        index = ToolCount();
    m_bar->defineState(spec);
    auto tool = std::unique_ptr<CBandTool>(new CBandTool(*this, spec));
    CBandTool* copy = tool.get();
    m_tools.insert(m_tools.begin() + index, std::move(tool));
    m_bar->state(spec.name).copies.push_back(copy);
    placeAction(index);
    copy->refresh();
    return *copy;
}

void CBand::placeAction(int index)
{
    QWidget* widget = Widget();
    if (!widget)
        return;
    CBandTool& tool = *m_tools[size_t(index)];
    QAction* before = index + 1 < ToolCount() ? m_tools[size_t(index) + 1]->m_separator : nullptr;
    widget->insertAction(before, tool.m_separator);
    widget->insertAction(before, tool.m_action);
    if (m_toolBar && tool.m_action->menu())
        if (auto* button = qobject_cast<QToolButton*>(m_toolBar->widgetForAction(tool.m_action)))
            button->setPopupMode(QToolButton::MenuButtonPopup);
}

void CBand::RemoveTool(int index)
{
    if (index < 0 || index >= ToolCount())
        raiseOutOfRange("CBand:Tools.Remove");
    std::unique_ptr<CBandTool> tool = std::move(m_tools[size_t(index)]);
    m_tools.erase(m_tools.begin() + index);
    m_bar->forgetCopy(tool.get());
    if (QWidget* widget = Widget()) {
        widget->removeAction(tool->m_separator);
        widget->removeAction(tool->m_action);
    }
    // The tool may be the one whose click is being handled right now (a recent file that is
    // opened rebuilds the list): its actions go when control is back in the event loop.
    tool->m_action->disconnect();
    if (QComboBox* combo = comboOf(tool->m_action))
        combo->disconnect();
    tool->m_action->deleteLater();
    tool->m_separator->deleteLater();
    applySeparators();
}

void CBand::applySeparators()
{
    // A group's line stands before its first shown tool, also when the tool that carries the
    // line is hidden.
    bool pending = false;
    for (const auto& tool : m_tools) {
        pending = pending || tool->m_separatorBefore;
        const bool shown = m_bar->state(tool->m_name).visible;
        tool->m_separator->setVisible(shown && pending);
        if (shown)
            pending = false;
    }
}

void CBand::SetVisible(bool on)
{
    m_visible = on;
    applyVisibility();
}

void CBand::SetDisplayed(bool on)
{
    m_displayed = on;
    applyVisibility();
}

void CBand::applyVisibility()
{
    const bool shown = m_visible && m_displayed;
    if (m_toolBar)
        m_toolBar->setVisible(shown);
    if (m_menuBar)
        m_menuBar->setVisible(shown);
}

// ---------------------------------------------------------------------------------------------
// CCommandBar

CCommandBar::CCommandBar(QMainWindow* window) : QObject(window), m_window(window)
{
    setObjectName(QStringLiteral("MainToolBar"));
    // A right click anywhere on the window's frame of bars would offer the menu that hides
    // and shows them.
    if (window)
        window->setContextMenuPolicy(Qt::PreventContextMenu);
}

CCommandBar::~CCommandBar()
{
    m_bands.clear();
    for (auto& [name, st] : m_states)
        delete st->shortcutAction.data();
}

CBand& CCommandBar::AddBand(const QString& name, const QString& caption, BandKind kind)
{
    if (name.isEmpty() || FindBand(name))
        throw KvError(KvErr::KeyAlreadyUsed, QStringLiteral("CCommandBar:Bands.Add"));
    if (kind == BandKind::MenuBar)
        for (const auto& band : m_bands)
            if (band->Kind() == BandKind::MenuBar)
                throw KvError(KvErr::InvalidCall, QStringLiteral("CCommandBar:Bands.Add"));
    m_bands.push_back(std::unique_ptr<CBand>(new CBand(*this, name, caption, kind, m_window.data())));
    CBand& band = *m_bands.back();
    attachSubBands(band);
    return band;
}

void CCommandBar::attachSubBands(CBand& band)
{
    if (!band.Menu())
        return;
    for (const auto& other : m_bands)
        for (int i = 0; i < other->ToolCount(); ++i) {
            CBandTool& tool = *other->m_tools[size_t(i)];
            if (tool.SubBand() == band.Name()) {
                tool.m_action->setMenu(band.Menu());
                other->placeAction(i);
            }
        }
}

CBand& CCommandBar::BandAt(int index) const
{
    if (index < 0 || index >= BandCount())
        raiseOutOfRange("CCommandBar:Bands");
    return *m_bands[size_t(index)];
}

CBand& CCommandBar::Band(const QString& name) const
{
    if (CBand* band = FindBand(name))
        return *band;
    throw KvError(KvErr::ItemNotFound, QStringLiteral("CCommandBar:Bands"));
}

CBand* CCommandBar::FindBand(const QString& name) const
{
    for (const auto& band : m_bands)
        if (band->Name() == name)
            return band.get();
    return nullptr;
}

void CCommandBar::DefineTool(const ToolSpec& spec)
{
    if (spec.name.isEmpty())
        throw KvError(KvErr::InvalidCall, QStringLiteral("CCommandBar:Tools.Add"));
    defineState(spec);
}

CCommandBar::ToolState& CCommandBar::defineState(const ToolSpec& spec)
{
    if (auto it = m_states.find(spec.name); it != m_states.end())
        return *it->second;
    auto st = std::make_unique<ToolState>();
    st->name = spec.name;
    st->caption = spec.caption;
    st->description = spec.description;
    st->kind = spec.kind;
    st->enabled = spec.enabled;
    st->visible = spec.visible;
    st->checkable = spec.checkable;
    st->checked = spec.checked;
    st->comboItems = spec.comboItems;
    st->comboWidth = spec.comboWidth;
    ToolState& ref = *st;
    m_states.emplace(spec.name, std::move(st));
    m_order << spec.name;
    if (!spec.shortcut.isEmpty())
        SetShortcut(spec.name, spec.shortcut);
    return ref;
}

CCommandBar::ToolState& CCommandBar::state(const QString& name) const
{
    auto it = m_states.find(name);
    if (it == m_states.end())
        throw KvError(KvErr::ItemNotFound, QStringLiteral("CCommandBar:Tools"));
    return *it->second;
}

QString CCommandBar::ToolName(int index) const
{
    if (index < 0 || index >= ToolCount())
        raiseOutOfRange("CCommandBar:Tools");
    return m_order[index];
}

bool CCommandBar::HasTool(const QString& name) const
{
    return m_states.count(name) > 0;
}

void CCommandBar::applyState(const QString& name)
{
    ToolState& st = state(name);
    for (CBandTool* copy : st.copies)
        copy->refresh();
    if (st.shortcutAction)
        st.shortcutAction->setEnabled(st.enabled && st.visible && !m_busy);
}

bool CCommandBar::Enabled(const QString& name) const
{
    return state(name).enabled;
}

void CCommandBar::SetEnabled(const QString& name, bool on)
{
    state(name).enabled = on;
    applyState(name);
}

bool CCommandBar::Visible(const QString& name) const
{
    return state(name).visible;
}

void CCommandBar::SetVisible(const QString& name, bool on)
{
    state(name).visible = on;
    applyState(name);
}

bool CCommandBar::Checked(const QString& name) const
{
    return state(name).checked;
}

void CCommandBar::SetChecked(const QString& name, bool on)
{
    state(name).checked = on;
    applyState(name);
}

void CCommandBar::SetCaption(const QString& name, const QString& caption)
{
    ToolState& st = state(name);
    st.caption = caption;
    for (CBandTool* copy : st.copies)
        copy->SetCaption(caption);
}

void CCommandBar::SetIcon(const QString& name, const QIcon& icon)
{
    state(name).icon = icon;
    applyState(name);
}

QKeySequence CCommandBar::Shortcut(const QString& name) const
{
    return state(name).shortcut;
}

void CCommandBar::SetShortcut(const QString& name, const QKeySequence& shortcut)
{
    ToolState& st = state(name);
    st.shortcut = shortcut;
    if (m_window && !shortcut.isEmpty() && !st.shortcutAction) {
        auto* action = new QAction(m_window.data());
        action->setObjectName(name + QStringLiteral("Shortcut"));
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, name] {
            const ToolState& s = state(name);
            if (!s.copies.empty())
                Click(*s.copies.front());
            else {
                m_activeBand.clear();
                emit ToolClicked(QString(), name, 0);
            }
        });
        m_window->addAction(action);
        st.shortcutAction = action;
    }
    if (st.shortcutAction)
        st.shortcutAction->setShortcut(shortcut);
    applyState(name);
}

QStringList CCommandBar::ComboItems(const QString& name) const
{
    return state(name).comboItems;
}

void CCommandBar::SetComboItems(const QString& name, const QStringList& items)
{
    ToolState& st = state(name);
    st.comboItems = items;
    if (st.comboIndex >= items.size())
        st.comboIndex = -1;
    applyState(name);
}

int CCommandBar::ComboIndex(const QString& name) const
{
    return state(name).comboIndex;
}

void CCommandBar::SetComboIndex(const QString& name, int index)
{
    ToolState& st = state(name);
    if (index < -1 || index >= st.comboItems.size())
        throw KvError(KvErr::InvalidPropertyValue, QStringLiteral("CCommandBar:ListIndex"));
    st.comboIndex = index;
    applyState(name);
}

std::vector<CBandTool*> CCommandBar::Copies(const QString& name) const
{
    return state(name).copies;
}

void CCommandBar::forgetCopy(CBandTool* copy)
{
    auto& copies = state(copy->Name()).copies;
    copies.erase(std::remove(copies.begin(), copies.end(), copy), copies.end());
}

void CCommandBar::RecalcLayout()
{
    for (const auto& band : m_bands)
        if (QWidget* widget = band->Widget())
            widget->updateGeometry();
}

void CCommandBar::Refresh()
{
    for (const auto& band : m_bands)
        if (QWidget* widget = band->Widget())
            widget->update();
}

namespace {
bool matches(const QKeySequence& shortcut, int key, int modifiers)
{
    if (shortcut.count() != 1)
        return false;
    const QKeyCombination pressed(Qt::KeyboardModifiers(modifiers) & kKeyModifiers, Qt::Key(key));
    const QKeyCombination wanted = shortcut[0];
    return wanted.key() == pressed.key() && (wanted.keyboardModifiers() & kKeyModifiers) == pressed.keyboardModifiers();
}
} // namespace

bool CCommandBar::KeyDown(int key, int modifiers)
{
    for (const QString& name : std::as_const(m_order)) {
        const ToolState& st = state(name);
        if (!matches(st.shortcut, key, modifiers) || !st.enabled || !st.visible || m_busy)
            continue;
        if (!st.copies.empty())
            Click(*st.copies.front());
        else {
            m_activeBand.clear();
            emit ToolClicked(QString(), name, 0);
        }
        return true;
    }
    return false;
}

bool CCommandBar::KeyUp(int key, int modifiers) const
{
    for (const QString& name : m_order) {
        const ToolState& st = state(name);
        if (matches(st.shortcut, key, modifiers) && st.enabled && st.visible && !m_busy)
            return true;
    }
    return false;
}

void CCommandBar::SetBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    for (const QString& name : std::as_const(m_order))
        applyState(name);
}

void CCommandBar::Click(const CBandTool& tool)
{
    // Copied first: the command may remove the clicked tool from its band.
    const QString band = tool.Band().Name();
    const QString name = tool.Name();
    const int tag = tool.Tag();
    m_activeBand = band;
    emit ToolClicked(band, name, tag);
}

CCommandBar* MainToolBar()
{
    QWidget* form = gVeltra().MainForm();
    if (!form)
        return nullptr;
    return form->findChild<CCommandBar*>(QString(), Qt::FindDirectChildrenOnly);
}
