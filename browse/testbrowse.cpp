#include "browse/testbrowse.h"

#include "browse/browsegrid.h"
#include "browse/finddialog.h"
#include "browse/frmbrowse.h"
#include "browse/rowsource.h"
#include "core/errorbox.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/winhelpers.h"
#include "data/datadef.h"
#include "network/backprop.h"
#include "shell/modmenu.h"
#include "shell/networkopener.h"

#include <QFont>
#include <QPainter>
#include <QPen>

namespace {

QPixmap checkPicture()
{
    QPixmap pm(14, 14);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 0, 0), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(2.5, 7.5), QPointF(5.5, 10.5), QPointF(11.5, 3.5)}));
    return pm;
}

} // namespace

CBrowseBase::CBrowseBase() : mCheck(checkPicture()) {}

CBrowseBase::~CBrowseBase()
{
    if (mTG)
        if (BrowseModel* model = qobject_cast<BrowseModel*>(mTG->Model()))
            model->SetLook(nullptr);
}

CNetworkProject* CBrowseBase::Network() const
{
    return CurrentNetwork();
}

frmBrowse* CBrowseBase::Window() const
{
    return mTG ? qobject_cast<frmBrowse*>(mTG->parentWidget()) : nullptr;
}

CBrowseGrid* CBrowseBase::Grid() const
{
    return mTG.data();
}

void CBrowseBase::Bind(CBrowseGrid* tg)
{
    if (!tg)
        return;
    mTG = tg;
    IgnoreErrors([&] {
        frmBrowse* w = Window();
        if (w && !Caption().isEmpty())
            w->setWindowTitle(Caption());
    });
    // A mark that could not be written says so, as the mark commands do: it is the user's
    // change, and the grid keeps showing the mark the file holds.
    connect(tg, &CBrowseGrid::CellDoubleClicked, this,
            [this](int row, int) { Procedure(MarkTitle(), [&] { ToggleMark(row); }); });
    connect(tg, &CBrowseGrid::SpacePressed, this, [this] {
        Procedure(MarkTitle(), [&] {
            if (mTG)
                ToggleMark(mTG->CurrentRow());
        });
    });
    connect(tg, &CBrowseGrid::HeadingRightClicked, this, [this](int column) { IgnoreErrors([&] { HeadingMenu(column); }); });
    // A heading clicked is a column chosen, as one right-clicked is: the browsers that sort by
    // the remembered column sort by it too.
    connect(tg, &CBrowseGrid::HeadingClicked, this, [this](int column) { mCol = column; });
    tg->setUpdatesEnabled(false);
    IgnoreErrors([&] { FormatGrid(); });
    tg->setUpdatesEnabled(true);
}

void CBrowseBase::Refresh()
{
    frmBrowse* w = Window();
    if (!w)
        return;
    BrowseQuery q = w->RecordSource();
    q.sortKeys = {};
    w->SetRecordSource(q);
    FormatGrid();
}

void CBrowseBase::Destroy()
{
    if (frmBrowse* w = Window()) {
        if (QWidget* sub = w->parentWidget())
            sub->close();
        w->close();
    }
    mTG = nullptr;
}

void CBrowseBase::ShowFind()
{
    IgnoreErrors([&] {
        if (mTG)
            mCol = mTG->CurrentColumn();
    });
    frmFind::ShowFor(this);
}

BrowseLook::Grid CBrowseBase::Layout() const
{
    frmBrowse* w = Window();
    CNetworkProject* net = Network();
    if (!w || !net || !net->State().DDO())
        return {};
    return BrowseLook::TestResults(w->RecordSource(), *net->State().DDO());
}

void CBrowseBase::FormatGrid()
{
    frmBrowse* w = Window();
    if (!mTG || !w)
        return;
    mLook = Layout();
    BrowseModel* model = w->Model();
    model->SetLook(this);
    mTG->SetModel(model);
    mTG->SetFixedColumns(mLook.fixedColumns);
    for (int c = 0; c < int(mLook.columns.size()); ++c) {
        const BrowseLook::Column& col = mLook.columns[size_t(c)];
        mTG->SetColumnWidth(c, col.widthTwips);
        mTG->SetColumnResizable(c, col.resizable);
    }
    mTG->SetCellTips(2);
    w->setProperty("HelpContextID", BrowseLook::HelpContext);
    mTG->ScrollDataTo(mLook.leftColumn);
}

void CBrowseBase::BuildSort(bool desc)
{
    Procedure(SortTitle(), [&] {
        frmBrowse* w = Window();
        if (!mTG || !w)
            return;
        mCol = mTG->CurrentColumn();
        if (mCol < 0 || mCol >= w->RecordSource().columns.size())
            return;
        BrowseQuery q = w->RecordSource();
        PushSortKey(q.sortKeys, q.columns[mCol], desc);
        const int row = mTG->CurrentRow();
        mTG->setUpdatesEnabled(false);
        struct Show {
            QPointer<CBrowseGrid> grid;
            ~Show()
            {
                if (grid)
                    grid->setUpdatesEnabled(true);
            }
        } show{mTG};
        w->SetRecordSource(q);
        FormatGrid();
        mTG->SetCurrent(row < 0 ? 0 : std::min(row, int(w->Data1().RowCount()) - 1), mCol);
        Utilities::StatusMessage(SortStatusText(q.sortKeys));
    });
}

void CBrowseBase::ToggleMark(int64_t row)
{
    frmBrowse* w = Window();
    if (!w || row < 0)
        return;
    const BrowseQuery& q = w->RecordSource();
    const int markColumn = q.ColumnIndex({ProjectSchema::TestTable(), ProjectSchema::MarkColumn(), 0});
    if (!q.HasMarks() || markColumn < 0)
        return;
    BrowseModel* model = w->Model();
    const BlockCache::Row* cached = model->ReadRow(row);
    if (!cached || markColumn >= cached->size())
        return;
    const kdb::Value current = (*cached)[markColumn];
    const int value = current.toInt(0) != 0 ? 0 : -1;
    w->Data1().WriteMark(row, value);
    model->SetCachedValue(row, markColumn, kdb::Value(value));
}

void CBrowseBase::HeadingMenu(int column)
{
    mCol = column;
    if (column < 0 || !mTG)
        return;
    mTG->SetCurrent(std::max(0, mTG->CurrentRow()), column);
    if (column < mLook.fixedColumns)
        mTG->FixedPane()->setFocus();
    else
        mTG->DataPane()->setFocus();
    modMenu::TrackPopup(BandName::Browse);
}

QVariant CBrowseBase::CellData(int64_t row, int column, const kdb::Value* value, int role) const
{
    const BrowseLook::Column* col =
        column >= 0 && column < int(mLook.columns.size()) ? &mLook.columns[size_t(column)] : nullptr;
    switch (role) {
    case Qt::DisplayRole:
        if (!value || !col)
            return value ? QVariant(BrowseLook::CellText(*value, 15)) : QVariant();
        if (col->markPicture)
            return QString();
        if (col->formatted)
            return BrowseLook::PredictionText(*value, mLook.numberFormat, col->form);
        return BrowseLook::CellText(*value, col->digits);
    case Qt::DecorationRole:
        if (col && col->markPicture && value && value->toInt(0) != 0)
            return mCheck;
        return {};
    case Qt::BackgroundRole:
        if (col && col->background)
            return Utilities::ColorFromBgr(*col->background);
        return Utilities::ColorFromBgr(row % 2 == 0 ? BrowseLook::RowEven : BrowseLook::RowOdd);
    case Qt::ForegroundRole:
        if (col && col->text)
            return Utilities::ColorFromBgr(*col->text);
        return {};
    case Qt::TextAlignmentRole:
        if (col && (col->centred || col->markPicture))
            return int(Qt::AlignCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ToolTipRole:
        return BrowseLook::CellTip();
    default:
        return {};
    }
}

QVariant CBrowseBase::HeaderData(int column, int role) const
{
    const BrowseLook::Column* col =
        column >= 0 && column < int(mLook.columns.size()) ? &mLook.columns[size_t(column)] : nullptr;
    if (!col)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return col->caption;
    case Qt::BackgroundRole:
        if (col->heading)
            return Utilities::ColorFromBgr(*col->heading);
        return {};
    case Qt::ToolTipRole:
        return BrowseLook::HeadingTip();
    case Qt::FontRole:
        if (col->underline) {
            QFont f;
            f.setUnderline(true);
            return f;
        }
        return {};
    default:
        return {};
    }
}
