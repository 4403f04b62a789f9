#include "core/widgets/toolstate.h"

#include "core/errorbox.h"
#include "core/kverror.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/toolnames.h"

#include <QComboBox>
#include <QListWidget>

#include <memory>

namespace {
const QString kHelpTool = ToolName::HelpContents;
const QString kTrainBand = BandName::TrainBPBar;

CCommandBar& mainBar()
{
    CCommandBar* bar = MainToolBar();
    if (!bar)
        throw KvError(KvErr::ObjectNotSet, QStringLiteral("frmMain:MainToolBar"));
    return *bar;
}

CToolStates& moduleStates()
{
    static CToolStates states;
    return states;
}
} // namespace

void CToolStates::SwitchOff(CCommandBar& bar)
{
    // A second switch-off would remember the tools as already off and lose the real states.
    const bool remember = !m_holding;
    if (remember)
        m_states.clear();
    for (const QString& name : bar.ToolNames()) {
        if (remember)
            m_states[name] = bar.Enabled(name);
        bar.SetEnabled(name, false);
    }
    m_holding = true;
    if (bar.HasTool(kHelpTool))
        bar.SetEnabled(kHelpTool, true);
    if (CBand* train = bar.FindBand(kTrainBand))
        for (int i = 0; i < train->ToolCount(); ++i)
            train->ToolAt(i).SetEnabled(true);
    bar.RecalcLayout();
    bar.Refresh();
}

void CToolStates::Restore(CCommandBar& bar)
{
    if (!m_holding)
        return;
    // Tools that came to the bar in between keep the state they were given.
    for (const auto& [name, enabled] : m_states)
        if (bar.HasTool(name))
            bar.SetEnabled(name, enabled);
    Clear();
    bar.RecalcLayout();
    bar.Refresh();
}

void CToolStates::Clear()
{
    m_states.clear();
    m_holding = false;
}

void Utilities::TmpDisableTools()
{
    Procedure(QStringLiteral("Utilities::TmpDisableTools"), [] { moduleStates().SwitchOff(mainBar()); });
}

void Utilities::TmpEnableTools()
{
    Procedure(QStringLiteral("Utilities::TmpEnableTools"), [] { moduleStates().Restore(mainBar()); });
}

// ---------------------------------------------------------------------------------------------
// Moving numbered entries between lists

namespace {

// The few list operations the move needs, over a list widget or a combo box.
class ListAccess {
public:
    virtual ~ListAccess() = default;
    virtual int count() const = 0;
    virtual QString text(int row) const = 0;
    virtual QVariant data(int row) const = 0;
    virtual void insert(int row, const QString& text, const QVariant& data) = 0;
    virtual void remove(int row) = 0;
    virtual bool selected(int row) const = 0;
    virtual bool multiSelect() const = 0;
    void append(const QString& t, const QVariant& d) { insert(count(), t, d); }
};

class ListWidgetAccess final : public ListAccess {
public:
    explicit ListWidgetAccess(QListWidget& list) : m_list(list) {}
    int count() const override { return m_list.count(); }
    QString text(int row) const override { return m_list.item(row)->text(); }
    QVariant data(int row) const override { return m_list.item(row)->data(Utilities::ItemDataRole); }
    void insert(int row, const QString& text, const QVariant& data) override
    {
        auto* item = new QListWidgetItem(text);
        item->setData(Utilities::ItemDataRole, data);
        m_list.insertItem(row, item);
    }
    void remove(int row) override { delete m_list.takeItem(row); }
    bool selected(int row) const override { return m_list.item(row)->isSelected(); }
    bool multiSelect() const override
    {
        const auto mode = m_list.selectionMode();
        return mode == QAbstractItemView::MultiSelection || mode == QAbstractItemView::ExtendedSelection;
    }

private:
    QListWidget& m_list;
};

class ComboAccess final : public ListAccess {
public:
    explicit ComboAccess(QComboBox& combo) : m_combo(combo) {}
    int count() const override { return m_combo.count(); }
    QString text(int row) const override { return m_combo.itemText(row); }
    QVariant data(int row) const override { return m_combo.itemData(row, Utilities::ItemDataRole); }
    void insert(int row, const QString& text, const QVariant& data) override
    {
        m_combo.insertItem(row, text, data);
    }
    void remove(int row) override { m_combo.removeItem(row); }
    bool selected(int row) const override { return m_combo.currentIndex() == row; }
    bool multiSelect() const override { return false; }

private:
    QComboBox& m_combo;
};

std::unique_ptr<ListAccess> access(QListWidget* list)
{
    if (!list)
        throw KvError(KvErr::ObjectNotSet, QStringLiteral("CopyListBoxItemsToCB"));
    return std::make_unique<ListWidgetAccess>(*list);
}

std::unique_ptr<ListAccess> access(QComboBox* combo)
{
    if (!combo)
        throw KvError(KvErr::ObjectNotSet, QStringLiteral("CopyListBoxItemsToCB"));
    return std::make_unique<ComboAccess>(*combo);
}

void moveEntries(ListAccess& source, ListAccess& target, bool selectedOnly)
{
    if (!selectedOnly) {
        for (int i = source.count() - 1; i >= 0; --i) {
            target.append(source.text(i), source.data(i));
            source.remove(i);
        }
        return;
    }
    if (source.multiSelect()) {
        for (int i = source.count() - 1; i >= 0; --i) {
            if (!source.selected(i))
                continue;
            const QVariant data = source.data(i);
            const qlonglong number = data.toLongLong();
            int at = target.count();
            for (int j = 0; j < target.count(); ++j)
                if (target.data(j).toLongLong() >= number) {
                    at = j;
                    break;
                }
            target.insert(at, source.text(i), data);
            source.remove(i);
        }
        return;
    }
    for (int i = 0; i < source.count(); ++i)
        if (source.selected(i)) {
            target.append(source.text(i), source.data(i));
            source.remove(i);
            return;
        }
}

template <class Source, class Target>
void copyItems(Source* source, Target* target, bool selectedOnly)
{
    PlainProcedure(QStringLiteral("CopyListBoxItemsToCB"), [&] {
        auto from = access(source);
        auto to = access(target);
        moveEntries(*from, *to, selectedOnly);
    });
}

} // namespace

void Utilities::CopyListBoxItemsToCB(QListWidget* source, QListWidget* target, bool selectedOnly)
{
    copyItems(source, target, selectedOnly);
}

void Utilities::CopyListBoxItemsToCB(QListWidget* source, QComboBox* target, bool selectedOnly)
{
    copyItems(source, target, selectedOnly);
}

void Utilities::CopyListBoxItemsToCB(QComboBox* source, QListWidget* target, bool selectedOnly)
{
    copyItems(source, target, selectedOnly);
}

void Utilities::CopyListBoxItemsToCB(QComboBox* source, QComboBox* target, bool selectedOnly)
{
    copyItems(source, target, selectedOnly);
}
