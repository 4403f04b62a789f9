// The browsers of test results. CBrowseBase is what every browser shares: it binds to a browse
// window's grid, lays the grid out (fixed result columns, number format, grey unused fields,
// alternating rows, tips), toggles a row's mark on a double click or the space bar, pops up
// the heading band on a right click and sorts by up to three keys. The browsers of a kind
// (CTestBrowse here; the SFAM and whole-table browsers) change only what differs: caption,
// network object, layout and the texts of their boxes.
#pragma once

#include "browse/browselook.h"
#include "browse/browsemodel.h"
#include "browse/browsequery.h"
#include "browse/idatabrowse.h"

#include <QObject>
#include <QPixmap>
#include <QPointer>

class CBrowseGrid;
class CNetworkProject;
class frmBrowse;

class CBrowseBase : public QObject, public IDataBrowse, public IBrowseLook {
    Q_OBJECT
public:
    CBrowseBase();
    ~CBrowseBase() override;

    // IDataBrowse
    void Bind(CBrowseGrid* tg) override;
    void Refresh() override;
    void Destroy() override;
    CBrowseGrid* Grid() const override;
    // Remembers the grid's current column and shows the find dialog for this browser.
    void ShowFind() override;
    void SortASC() override { BuildSort(false); }
    void SortDESC() override { BuildSort(true); }

    // IBrowseLook
    QVariant CellData(int64_t row, int column, const kdb::Value* value, int role) const override;
    QVariant HeaderData(int column, int role) const override;

    // The host window of the bound grid, or nullptr.
    frmBrowse* Window() const;
    const BrowseLook::Grid& Look() const { return mLook; }
    // The column remembered for find and sort (-1: none).
    int RememberedColumn() const { return mCol; }

    // The mark of one row flips (0 <-> -1) and is written at once; a row not read yet is read
    // first; a view without marks is left alone. Raises KvError when the read or the write
    // fails (the mark is then unchanged).
    void ToggleMark(int64_t row);
    // The heading pop-up: the column becomes the remembered and current column and the band
    // "mnuBrowse" pops up at the mouse; -1 does nothing more.
    void HeadingMenu(int column);

    // The find dialog's events (browse/finddialog.cpp): the dialog takes the grid's current
    // column (never the mark column) and names it; Find Next moves to the next matching row.
    void FindActivate();
    void FindNext(const QString& text, bool matchCase, bool dirDown);
    // Makes `row` current (selected, in view) with `column` as the current column.
    void ShowRow(int64_t row, int column);

protected:
    // What a kind of browser changes.
    // Empty: the window keeps the caption its builder gave it.
    virtual QString Caption() const { return {}; }
    // The open network object.
    CNetworkProject* Network() const;
    virtual BrowseLook::Grid Layout() const;
    virtual QString SortTitle() const { return QStringLiteral("CBrowseBase::BuildSort"); }
    virtual QString FindTitle() const { return QStringLiteral("CBrowseBase::mFFind_FindNext"); }
    virtual QString MarkTitle() const { return QStringLiteral("CBrowseBase::ToggleMark"); }

    // Lays the grid out again from the network's data definition and the query.
    void FormatGrid();
    void BuildSort(bool desc);

    QPointer<CBrowseGrid> mTG;
    BrowseLook::Grid mLook;
    int mCol = -1;
    QPixmap mCheck; // the Mark picture (imgCheck)
};

// The browser of back-propagation test results (caption "Browse Test Results").
class CTestBrowse : public CBrowseBase {
    Q_OBJECT
protected:
    QString Caption() const override { return QStringLiteral("Browse Test Results"); }
    QString SortTitle() const override { return QStringLiteral("CTestBrowse::BuildSort"); }
    QString FindTitle() const override { return QStringLiteral("CTestBrowse::mFFind_FindNext"); }
    QString MarkTitle() const override { return QStringLiteral("CTestBrowse::ToggleMark"); }
};
