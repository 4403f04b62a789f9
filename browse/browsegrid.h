// The browse grid (tgBrowse): two table views over one model and one selection model, a fixed
// left pane of the first k columns and a scrolling data pane, their vertical scrolling tied.
// It reports double clicks, the space bar and right clicks in the headings; the bound browser
// decides what they do.
#pragma once

#include <QPointer>
#include <QTableView>
#include <QWidget>

#include <cstdint>
#include <vector>

class QAbstractItemModel;
class QHeaderView;

class CBrowseGrid : public QWidget {
    Q_OBJECT
public:
    // A model answers true for a cell whose text is a number: one too wide for its column is
    // rounded or shown in the exponent form, never cut to its first digits.
    static constexpr int NumberRole = Qt::UserRole + 40;

    explicit CBrowseGrid(QWidget* parent = nullptr);

    void SetModel(QAbstractItemModel* model);
    QAbstractItemModel* Model() const { return m_model; }
    QTableView* FixedPane() const { return m_fixed; }
    QTableView* DataPane() const { return m_data; }

    // The first `count` columns stand in the fixed pane, the others in the data pane.
    void SetFixedColumns(int count);
    int FixedColumns() const { return m_fixedCount; }
    // Width of a column in twips; -1 gives the grid's default width.
    void SetColumnWidth(int column, int twips);
    void SetColumnResizable(int column, bool on);
    // The data pane's leftmost column becomes `column`.
    void ScrollDataTo(int column);
    // The data pane can scroll as far as the data pane of `leader`, which shows the same
    // columns: the two stand column under column, the end of the range included.
    void FollowScrolling(const CBrowseGrid& leader);

    int CurrentColumn() const;
    int CurrentRow() const;
    void SetCurrent(int row, int column);
    // The selected rows, in ascending order.
    std::vector<int64_t> SelectedRows() const;

    // 0: no cell tips; 2: tips floating at the mouse.
    void SetCellTips(int mode) { m_cellTips = mode; }
    int CellTips() const { return m_cellTips; }

signals:
    void CellDoubleClicked(int row, int column);
    void SpacePressed();
    // A right click in the headings: the column under the mouse, -1 when there is none.
    void HeadingRightClicked(int column);
    // A left click on a heading, which has made that column the current one.
    void HeadingClicked(int column);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitFixedPane();
    void headingMenu(QHeaderView* header, const QPoint& pos);
    // A press and release on one heading without a drag between (a drag resizes).
    void headingClick(QTableView* pane, QEvent* event);

    QAbstractItemModel* m_model = nullptr;
    QTableView* m_fixed = nullptr;
    QTableView* m_data = nullptr;
    int m_fixedCount = 0;
    int m_cellTips = 2;
    bool m_syncing = false;
    QPoint m_headingPress{-1, -1};
};
