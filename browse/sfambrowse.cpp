#include "browse/sfambrowse.h"

#include "browse/browsegrid.h"
#include "browse/browsemodel.h"
#include "browse/frmbrowse.h"
#include "core/errorbox.h"
#include "core/widgets/winhelpers.h"
#include "data/datadef.h"
#include "network/classvalue.h"
#include "network/networkproject.h"
#include "network/backprop.h"
#include "network/sfam.h"
#include "shell/modmenu.h"
#include "shell/networkopener.h"

#include <QFont>
#include <QRegularExpression>
#include <QStringList>

namespace {

// The number at the start of a text, 0 when there is none.
double leadingNumber(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*[-+]?(\\d+\\.?\\d*|\\.\\d+)([eE][-+]?\\d+)?"));
    const QRegularExpressionMatch m = number.match(text);
    return m.hasMatch() ? m.captured(0).trimmed().toDouble() : 0.0;
}

} // namespace

// --- CRememberedColumnBrowse ------------------------------------------------------------

void CRememberedColumnBrowse::setHelpContext()
{
    IgnoreErrors([&] {
        if (frmBrowse* w = Window())
            w->setProperty("HelpContextID", HelpContextID());
    });
}

void CRememberedColumnBrowse::Bind(CBrowseGrid* tg)
{
    CBrowseBase::Bind(tg);
    setHelpContext();
}

void CRememberedColumnBrowse::sortRemembered(bool desc)
{
    if (mCol < 0 || !mTG)
        return;
    // The remembered column becomes the grid's current column, which the shared sort reads
    // (and keeps current afterwards).
    mTG->SetCurrent(std::max(0, mTG->CurrentRow()), mCol);
    BuildSort(desc);
    setHelpContext();
}

// --- CSFamBrowse ------------------------------------------------------------------------

BrowseLook::Grid CSFamBrowse::Layout() const
{
    BrowseLook::Grid g = CBrowseBase::Layout();
    // Class names keep their stored text; only Predicted is read through the marker rule.
    for (BrowseLook::Column& c : g.columns)
        c.formatted = false;
    return g;
}

bool CSFamBrowse::Misclassified(const kdb::Value& actual, const kdb::Value& predicted)
{
    if (actual.isNull() || predicted.isNull())
        return true;
    return ClassValueText(actual).toUpper() != predicted.toText().toUpper();
}

QString CSFamBrowse::PredictedText(const kdb::Value& value)
{
    if (value.isNull())
        return QStringLiteral("N/A");
    const QString text = value.isNumber() ? ClassValueText(value) : value.toText();
    if (IsNoPrediction(leadingNumber(text)))
        return QStringLiteral("N/A");
    return text;
}

QVariant CSFamBrowse::CellData(int64_t row, int column, const kdb::Value* value, int role) const
{
    if (role == Qt::DisplayRole && column == 2 && value)
        return PredictedText(*value);
    if ((role == Qt::ForegroundRole || role == Qt::FontRole) && column >= 0 && column < 3) {
        frmBrowse* w = Window();
        const BlockCache::Row* cells = w ? w->Model()->CachedRow(row) : nullptr;
        if (cells && cells->size() > 2 && Misclassified((*cells)[1], (*cells)[2])) {
            if (role == Qt::ForegroundRole)
                return Utilities::ColorFromBgr(MisclassifiedColor);
            QFont bold;
            bold.setBold(true);
            return bold;
        }
    }
    return CBrowseBase::CellData(row, column, value, role);
}

// --- CBrowseAll -------------------------------------------------------------------------

BrowseLook::Grid CBrowseAll::AllDataLayout(const BrowseQuery& query, const CDataDef& ddo)
{
    BrowseLook::Grid g;
    const int16_t p = query.predictColumn.fieldNumber;
    if (p > 0)
        g.numberFormat = BrowseLook::PredictionFormat(ddo.FieldType(p), ddo.UserMin(p), ddo.UserMax(p));
    g.fixedColumns = 1;
    g.firstUsedColumn = -1;
    g.leftColumn = -1; // the data pane keeps its scroll position
    QStringList inputs;
    for (int16_t i = 1; i <= ddo.NumFields(); ++i)
        if (ddo.UserMatchType(i) == roleInput)
            inputs << ddo.FieldName(i);
    for (int c = 0; c < query.columns.size(); ++c) {
        const BrowseColumn& bc = query.columns[c];
        BrowseLook::Column col;
        col.caption = bc.field;
        col.digits = BrowseLook::FieldDigits(ddo, bc.fieldNumber);
        col.widthTwips = BrowseLook::FieldWidth(ddo, bc.fieldNumber, BrowseLook::ResultWidth);
        if (c == 0) {
            col.fixedPane = true;
            col.heading = BrowseLook::FixedHeading;
            col.centred = true;
        } else if (inputs.contains(bc.field, Qt::CaseSensitive)) {
            col.heading = InputHeading;
        } else {
            col.heading = OtherField;
            col.text = OtherField;
        }
        col.underline = BrowseLook::IsSortKey(query.sortKeys, bc);
        g.columns.push_back(col);
    }
    return g;
}

BrowseLook::Grid CBrowseAll::Layout() const
{
    frmBrowse* w = Window();
    CNetworkProject* net = Network();
    if (!w || !net || !net->State().DDO())
        return {};
    return AllDataLayout(w->RecordSource(), *net->State().DDO());
}

QVariant CBrowseAll::CellData(int64_t row, int column, const kdb::Value* value, int role) const
{
    // Only the headings carry a tip: there is no mark to set.
    if (role == Qt::ToolTipRole)
        return {};
    return CBrowseBase::CellData(row, column, value, role);
}
