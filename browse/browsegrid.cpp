#include "browse/browsegrid.h"

#include "core/numformat.h"
#include "core/twips.h"
#include "core/widgets/winhelpers.h"

#include <QApplication>
#include <QEvent>
#include <QHelpEvent>
#include <QToolTip>
#include <QMouseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QStyleFactory>
#include <algorithm>
#include <set>
#include <utility>

namespace {
constexpr int kRowHeight = 20;        // pixels
constexpr int kRecordSelector = 14;   // pixels

// A pane that moves sideways by whole columns, whatever moves it (a click on a half-shown
// column, the keys, the scroll bar, the wheel, a find, a sort): its leftmost column always
// starts at the pane's left edge. A column cut at the left edge would leave its heading over
// cells whose text is scrolled out of sight.
class ColumnPane : public QTableView {
public:
    using QTableView::QTableView;

    // The pane takes the sideways range of `leader`, a pane of the same columns that may be
    // narrower (it has a vertical scroll bar), so that it can stand wherever the leader stands.
    void Follow(QTableView* leader)
    {
        m_leader = leader;
        connect(leader->horizontalScrollBar(), &QScrollBar::rangeChanged, this, [this] { updateGeometries(); });
        updateGeometries();
    }

protected:
    void scrollContentsBy(int dx, int dy) override
    {
        QTableView::scrollContentsBy(dx, dy);
        alignLeftColumn();
    }
    void updateGeometries() override
    {
        QTableView::updateGeometries();
        if (m_leader)
            horizontalScrollBar()->setRange(0, m_leader->horizontalScrollBar()->maximum());
        alignLeftColumn();
    }

private:
    // At the end of its range a view that scrolls by columns puts the last column against the
    // right edge, which cuts the leftmost one; here the leftmost column starts at the left edge
    // and the space after the last column stays empty.
    void alignLeftColumn()
    {
        const QScrollBar* bar = horizontalScrollBar();
        if (horizontalScrollMode() != ScrollPerItem || bar->maximum() <= 0 || bar->value() != bar->maximum())
            return;
        QHeaderView* header = horizontalHeader();
        const int before = header->offset();
        header->setOffsetToSectionPosition(bar->value());
        if (header->offset() != before)
            viewport()->update();
    }

    QPointer<QTableView> m_leader;
};

// Cells as the style draws them, but a number wider than its cell is shortened as a number.
class NumberCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (option->text.isEmpty() || !index.data(CBrowseGrid::NumberRole).toBool())
            return;
        const QWidget* widget = option->widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        // The text's room as the style lays the cell out (margins, a picture beside it).
        const QRect room = style->subElementRect(QStyle::SE_ItemViewItemText, option, widget);
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        const int width = room.width() - 2 * margin;
        const QFontMetrics metrics(option->font);
        option->text = NumFormat::FitNumber(option->text, [&](const QString& t) {
            return metrics.horizontalAdvance(t) <= width;
        });
    }

    // A number shortened to fit its cell reads like its neighbours ("9.007199E+15" for every
    // Big Integer past 2^53): its tip shows the whole value, above the cell's own tip.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override
    {
        if (event && view && event->type() == QEvent::ToolTip && index.isValid()
            && index.data(CBrowseGrid::NumberRole).toBool()) {
            QStyleOptionViewItem shown = option;
            initStyleOption(&shown, index);
            const QString whole = index.data(Qt::DisplayRole).toString();
            if (shown.text != whole) {
                const QString own = index.data(Qt::ToolTipRole).toString();
                QToolTip::showText(event->globalPos(), own.isEmpty() ? whole : whole + QLatin1Char('\n') + own, view,
                                   option.rect);
                return true;
            }
        }
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
};

// Headings as the style draws them, but a caption wider than its column keeps its start and
// loses its end, marked: a centred caption would be cut at both ends.
class HeadingView : public QHeaderView {
public:
    using QHeaderView::QHeaderView;

protected:
    void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override
    {
        QHeaderView::initStyleOptionForIndex(option, logicalIndex);
        const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, option, this);
        const int room = sectionSize(logicalIndex) - 2 * margin;
        if (option->text.isEmpty() || option->fontMetrics.horizontalAdvance(option->text) <= room)
            return;
        option->text = option->fontMetrics.elidedText(option->text, Qt::ElideRight, std::max(room, 0));
        option->textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    }
};

void preparePane(QTableView* view, QStyle* headerStyle)
{
    view->setHorizontalHeader(new HeadingView(Qt::Horizontal, view));
    view->setItemDelegate(new NumberCellDelegate(view));
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    view->setWordWrap(false);
    view->setCornerButtonEnabled(false);
    QHeaderView* rows = view->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(kRowHeight);
    rows->setMinimumSectionSize(kRowHeight);
    QHeaderView* heads = view->horizontalHeader();
    heads->setSectionsClickable(false);
    heads->setHighlightSections(false);
    heads->setContextMenuPolicy(Qt::CustomContextMenu);
    // Heading colours show only with a style that paints header backgrounds from the model.
    heads->setStyle(headerStyle);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}
} // namespace

CBrowseGrid::CBrowseGrid(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("tgBrowse"));
    QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"));
    if (fusion)
        fusion->setParent(this);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_fixed = new ColumnPane(this);
    m_data = new ColumnPane(this);
    m_fixed->setObjectName(QStringLiteral("FixedPane"));
    m_data->setObjectName(QStringLiteral("DataPane"));
    preparePane(m_fixed, fusion);
    preparePane(m_data, fusion);
    m_fixed->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_fixed->verticalHeader()->setFixedWidth(kRecordSelector);
    // The fixed pane is exactly as wide as its columns, so its last column has nothing to fill.
    m_data->verticalHeader()->hide(); // the data pane has no record selectors
    layout->addWidget(m_fixed);
    layout->addWidget(m_data, 1);

    for (QTableView* view : {m_fixed, m_data}) {
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
        view->horizontalHeader()->viewport()->installEventFilter(this);
        connect(view, &QAbstractItemView::doubleClicked, this,
                [this](const QModelIndex& index) { emit CellDoubleClicked(index.row(), index.column()); });
        QHeaderView* header = view->horizontalHeader();
        connect(header, &QWidget::customContextMenuRequested, this,
                [this, header](const QPoint& pos) { headingMenu(header, pos); });
        connect(header, &QHeaderView::sectionResized, this, [this] { fitFixedPane(); });
    }
    // The record selector is part of its row: a double click on it is one on the row.
    connect(m_fixed->verticalHeader(), &QHeaderView::sectionDoubleClicked, this,
            [this](int row) { emit CellDoubleClicked(row, std::max(0, CurrentColumn())); });
    connect(m_data->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
        if (!m_syncing) {
            m_syncing = true;
            m_fixed->verticalScrollBar()->setValue(v);
            m_syncing = false;
        }
    });
    connect(m_fixed->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
        if (!m_syncing) {
            m_syncing = true;
            m_data->verticalScrollBar()->setValue(v);
            m_syncing = false;
        }
    });
}

void CBrowseGrid::SetModel(QAbstractItemModel* model)
{
    m_model = model;
    QItemSelectionModel* old = m_data->selectionModel();
    m_fixed->setModel(model);
    m_data->setModel(model);
    QItemSelectionModel* own = m_data->selectionModel();
    m_data->setSelectionModel(m_fixed->selectionModel());
    if (own && own != m_fixed->selectionModel())
        own->deleteLater();
    if (old && old != own)
        old->deleteLater();
    SetFixedColumns(m_fixedCount);
}

void CBrowseGrid::SetFixedColumns(int count)
{
    m_fixedCount = count;
    const int columns = m_model ? m_model->columnCount() : 0;
    for (int c = 0; c < columns; ++c) {
        m_fixed->setColumnHidden(c, c >= count);
        m_data->setColumnHidden(c, c < count);
    }
    m_fixed->setVisible(count > 0);
    fitFixedPane();
}

void CBrowseGrid::SetColumnWidth(int column, int twips)
{
    for (QTableView* view : {m_fixed, m_data}) {
        QHeaderView* header = view->horizontalHeader();
        view->setColumnWidth(column, twips < 0 ? header->defaultSectionSize() : Twips::ToWholePixels(twips));
    }
    fitFixedPane();
}

void CBrowseGrid::SetColumnResizable(int column, bool on)
{
    if (!m_model || column < 0 || column >= m_model->columnCount())
        return;
    for (QTableView* view : {m_fixed, m_data})
        view->horizontalHeader()->setSectionResizeMode(column, on ? QHeaderView::Interactive : QHeaderView::Fixed);
}

void CBrowseGrid::ScrollDataTo(int column)
{
    if (!m_model || column < 0 || column >= m_model->columnCount())
        return;
    // The pane's scroll position counts its shown columns.
    const QHeaderView* header = m_data->horizontalHeader();
    int shownBefore = 0;
    for (int c = 0; c < column; ++c)
        if (!header->isSectionHidden(c))
            ++shownBefore;
    m_data->horizontalScrollBar()->setValue(shownBefore);
}

void CBrowseGrid::FollowScrolling(const CBrowseGrid& leader)
{
    static_cast<ColumnPane*>(m_data)->Follow(leader.m_data);
}

int CBrowseGrid::CurrentColumn() const
{
    return m_data->currentIndex().isValid() ? m_data->currentIndex().column() : -1;
}

int CBrowseGrid::CurrentRow() const
{
    return m_data->currentIndex().isValid() ? m_data->currentIndex().row() : -1;
}

void CBrowseGrid::SetCurrent(int row, int column)
{
    if (!m_model || row < 0 || column < 0 || row >= m_model->rowCount() || column >= m_model->columnCount())
        return;
    m_data->selectionModel()->setCurrentIndex(m_model->index(row, column), QItemSelectionModel::NoUpdate);
}

std::vector<int64_t> CBrowseGrid::SelectedRows() const
{
    std::set<int64_t> rows;
    if (QItemSelectionModel* sel = m_data->selectionModel())
        for (const QItemSelectionRange& range : sel->selection())
            for (int r = range.top(); r <= range.bottom(); ++r)
                rows.insert(r);
    return {rows.begin(), rows.end()};
}

bool CBrowseGrid::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ToolTip:
        if (m_cellTips == 0)
            return true;
        break;
    case QEvent::KeyPress:
        if (watched == m_fixed || watched == m_data) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (Utilities::ToolBarKeyDown(key))
                return true;
            if (key->key() == Qt::Key_Space) {
                emit SpacePressed();
                return true;
            }
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        for (QTableView* pane : {m_fixed, m_data})
            if (watched == pane->horizontalHeader()->viewport())
                headingClick(pane, event);
        break;
    case QEvent::KeyRelease:
        if (watched == m_fixed || watched == m_data)
            if (Utilities::ToolBarKeyUp(static_cast<QKeyEvent*>(event)))
                return true;
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void CBrowseGrid::fitFixedPane()
{
    if (!m_model)
        return;
    int width = m_fixed->verticalHeader()->width() + 2 * m_fixed->frameWidth();
    for (int c = 0; c < m_fixedCount && c < m_model->columnCount(); ++c)
        width += m_fixed->columnWidth(c);
    m_fixed->setFixedWidth(width);
}

void CBrowseGrid::headingClick(QTableView* pane, QEvent* event)
{
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton)
        return;
    const QPoint at = mouse->position().toPoint();
    if (event->type() == QEvent::MouseButtonPress) {
        m_headingPress = at;
        return;
    }
    const QPoint press = std::exchange(m_headingPress, QPoint(-1, -1));
    QHeaderView* header = pane->horizontalHeader();
    const int column = header->logicalIndexAt(at);
    if (column < 0 || press.x() < 0 || header->logicalIndexAt(press) != column
        || (at - press).manhattanLength() >= QApplication::startDragDistance())
        return;
    // The sort and the find work on the current column: a heading clicked is the column chosen.
    SetCurrent(std::max(0, CurrentRow()), column);
    pane->setFocus();
    emit HeadingClicked(column);
}

void CBrowseGrid::headingMenu(QHeaderView* header, const QPoint& pos)
{
    const int column = header->logicalIndexAt(pos);
    emit HeadingRightClicked(column);
}
