#include "browse/imode.h"

#include "browse/browsegrid.h"
#include "browse/browsemodel.h"
#include "browse/frmbrowse.h"
#include "browse/sfambrowse.h"
#include "browse/testbrowse.h"
#include "core/errorbox.h"
#include "core/kverror.h"
#include "core/widgets/statusmsg.h"
#include "data/columnstats.h"
#include "data/datadef.h"
#include "kdb/kdb.h"
#include "network/backprop.h"
#include "network/networkproject.h"
#include "network/sfam.h"
#include "shell/modmenu.h"
#include "shell/networkopener.h"

#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTableView>

namespace {

QString unusedText()
{
    return QStringLiteral("Unused Field.  Value Ignored.");
}

} // namespace

namespace IModeRules {

std::optional<long double> CellValue(const QString& text)
{
    // As the training reads a source value: a number as itself (a whole number past 2^53
    // exactly), a date or a time of day as its serial day.
    return ColumnStats::ReadNumber(kdb::Value(text));
}

EditCheck CheckEdit(const CDataDef& ddo, const QString& fieldName, const QString& text)
{
    EditCheck r;
    for (int16_t i = 1; i <= ddo.NumFields(); ++i) {
        if (ddo.FieldName(i) != fieldName)
            continue;
        const int16_t role = ddo.UserMatchType(i);
        if (role != roleInput && role != roleInputAlt) {
            r.message = unusedText();
            r.warned = true;
            r.predict = false;
            return r;
        }
        const dbUtilities::ValueForm form = dbUtilities::FieldValueForm(ddo.FieldType(i));
        std::optional<long double> v;
        if (form != dbUtilities::ValueForm::Number)
            v = CellValue(text);
        else if (const std::optional<double> d = kdb::Value(text).ToDouble())
            v = *d;
        if (!v) {
            r.message = form == dbUtilities::ValueForm::Date   ? QStringLiteral("Invalid date.")
                        : form == dbUtilities::ValueForm::Time ? QStringLiteral("Invalid time.")
                                                               : QStringLiteral("Invalid value.  Only numeric data allowed.");
            r.warned = r.cancel = true;
            r.predict = false;
            return r;
        }
        const QString name = QLatin1Char('[') + fieldName + QLatin1Char(']');
        if (*v < ddo.UserMin(i)) {
            r.message = name + QStringLiteral(" out of range value forced to Min: (") + FieldValueText(ddo, i, ddo.UserMin(i))
                + QLatin1Char(')');
            r.warned = true;
        } else if (*v > ddo.UserMax(i)) {
            r.message = name + QStringLiteral(" out of range value forced to Max: (") + FieldValueText(ddo, i, ddo.UserMax(i))
                + QLatin1Char(')');
            r.warned = true;
        } else {
            r.message.clear();
            r.warned = false;
        }
    }
    return r;
}

GatheredRow GatherRow(const CDataDef& ddo, const std::function<std::optional<QString>(const QString&)>& cell)
{
    const int16_t n = ddo.NumFields();
    GatheredRow row;
    row.values.assign(size_t(n) + 1, 0.0L);
    for (int16_t i = 1; i <= n; ++i) {
        const std::optional<QString> text = cell(ddo.FieldName(i));
        const bool input = ddo.UserMatchType(i) == roleInput;
        if (!text || text->trimmed().isEmpty()) {
            if (input && text && row.missing.isEmpty())
                row.missing = ddo.FieldName(i);
            continue;
        }
        if (const std::optional<long double> v = CellValue(*text))
            row.values[size_t(i)] = *v;
        else if (input)
            throw KvError(KvErr::TypeMismatch, {},
                          QLatin1Char('[') + ddo.FieldName(i) + QStringLiteral("] holds no number, date or time: ") + *text);
    }
    return row;
}

QString MissingText(const QString& fieldName)
{
    return QLatin1Char('[') + fieldName + QStringLiteral("] has no value.  No prediction.");
}

QString NumberFormat(int16_t fieldType, double userMin, double userMax)
{
    if (fieldType == kdb::dbByte || fieldType == kdb::dbBoolean)
        return QStringLiteral("0");
    return BrowseLook::PredictionFormat(fieldType, userMin, userMax);
}

QString PredictionDisplay(double value, const QString& format, dbUtilities::ValueForm form)
{
    return BrowseLook::PredictionText(kdb::Value(value), format, form);
}

} // namespace IModeRules

// --- IModeModel -------------------------------------------------------------------------

void IModeModel::SetShape(int columns, int fixedColumns, std::vector<bool> editable)
{
    beginResetModel();
    m_texts = QStringList();
    for (int c = 0; c < columns; ++c)
        m_texts << QString();
    m_fixed = fixedColumns;
    m_editable = std::move(editable);
    m_editable.resize(size_t(columns), false);
    endResetModel();
}

void IModeModel::SetRow(const QStringList& texts)
{
    for (int c = 0; c < m_texts.size(); ++c)
        m_texts[c] = c < texts.size() ? texts[c] : QString();
    if (!m_texts.isEmpty())
        emit dataChanged(index(0, 0), index(0, int(m_texts.size()) - 1));
}

QString IModeModel::Text(int column) const
{
    return column >= 0 && column < m_texts.size() ? m_texts[column] : QString();
}

void IModeModel::SetText(int column, const QString& text)
{
    if (column < 0 || column >= m_texts.size())
        return;
    m_texts[column] = text;
    emit dataChanged(index(0, column), index(0, column));
}

int IModeModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || m_texts.isEmpty() ? 0 : 1;
}

int IModeModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_texts.size());
}

QVariant IModeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const int c = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return Text(c);
    case Qt::ToolTipRole:
        if (c >= m_fixed)
            return QStringLiteral("Interactive mode. Experiment with field values.");
        return {};
    case CBrowseGrid::NumberRole:
        return c < int(m_numbers.size()) && m_numbers[size_t(c)];
    case Qt::TextAlignmentRole:
        return int(c < m_fixed ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::BackgroundRole:
        return QColor(255, 255, 225);
    default:
        return {};
    }
}

QVariant IModeModel::headerData(int, Qt::Orientation, int) const
{
    return {}; // the row's record selector stays blank, as the results grid's
}

bool IModeModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const QString text = value.toString();
    if (text == Text(index.column()))
        return false;
    if (m_hook && !m_hook(index.column(), text))
        return false;
    return true;
}

Qt::ItemFlags IModeModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    const int c = index.column();
    if (c >= m_fixed && c < int(m_editable.size()) && m_editable[size_t(c)])
        f |= Qt::ItemIsEditable;
    return f;
}

// --- CIMode -----------------------------------------------------------------------------

CIMode::CIMode() = default;

CIMode::~CIMode()
{
    // The strip goes with the object: the browse grid takes the window's height again.
    IgnoreErrors([&] {
        if (m_window) {
            m_window->picIMode->hide();
            m_window->Resize();
        }
    });
}

CBrowseGrid* CIMode::Grid() const
{
    return mTGNew.data();
}

void CIMode::Bind(IDataBrowse* browse)
{
    if (!browse)
        return;
    IgnoreErrors([&] {
        mTGOld = browse->Grid();
        m_browser = dynamic_cast<CBrowseBase*>(browse);
        m_window = mTGOld ? qobject_cast<frmBrowse*>(mTGOld->parentWidget()) : nullptr;
        if (m_window)
            mTGNew = m_window->tgIMode;
    });
    IgnoreErrors([&] {
        if (m_window)
            m_window->picIMode->show();
    });
    IgnoreErrors([&] {
        if (!mTGNew)
            return;
        mTGNew->hide();
        TGInit();
        mTGNew->show();
    });
}

void CIMode::TGInit()
{
    Procedure(QStringLiteral("CIMode::TGInit()"), [&] {
        CNetworkProject* net = CurrentNetwork();
        if (!net || !net->State().DDO() || !m_window || !m_browser || !mTGOld || !mTGNew)
            return;
        m_sfam = CurrentKind() == ntSFam;
        const CDataDef& ddo = *net->State().DDO();
        const int16_t p = net->PredictField();
        mNumFormat = p > 0 ? IModeRules::NumberFormat(ddo.FieldType(p), ddo.UserMin(p), ddo.UserMax(p))
                           : QStringLiteral("0.00000");
        m_predictionForm = p > 0 && !m_sfam ? dbUtilities::FieldValueForm(ddo.FieldType(p)) : dbUtilities::ValueForm::Number;
        const BrowseQuery& q = m_window->RecordSource();
        const BrowseLook::Grid& look = m_browser->Look();
        m_fixed = look.fixedColumns;
        m_predictedColumn = q.ColumnIndex({ProjectSchema::TestTable(), ProjectSchema::PredictedColumn(), 0});
        std::vector<bool> editable;
        for (int c = 0; c < q.columns.size(); ++c)
            editable.push_back(c >= m_fixed && !q.columns[c].IsTest());
        if (!m_model) {
            m_model = new IModeModel(this);
            m_model->SetEditHook([this](int column, const QString& text) { return EditCell(column, text); });
        }
        m_model->SetShape(int(q.columns.size()), m_fixed, editable);
        // Numbers: a back-propagation prediction and its difference, and the numeric fields.
        std::vector<bool> numbers;
        for (const BrowseColumn& column : q.columns) {
            if (column.IsTest())
                numbers.push_back(!m_sfam && (column.field == ProjectSchema::DifferenceColumn()
                                              || (column.field == ProjectSchema::PredictedColumn()
                                                  && m_predictionForm == dbUtilities::ValueForm::Number)));
            else
                numbers.push_back(column.fieldNumber > 0 && ddo.VeltraMatchType(column.fieldNumber) == fcNumeric
                                  && dbUtilities::FieldValueForm(ddo.FieldType(column.fieldNumber))
                                      == dbUtilities::ValueForm::Number);
        }
        m_model->SetNumberColumns(std::move(numbers));
        mTGNew->SetModel(m_model);
        mTGNew->SetFixedColumns(m_fixed);
        for (QTableView* pane : {mTGNew->FixedPane(), mTGNew->DataPane()}) {
            pane->horizontalHeader()->hide();
            pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            pane->setSelectionMode(QAbstractItemView::SingleSelection);
            pane->setSelectionBehavior(QAbstractItemView::SelectItems);
            pane->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                                  | QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
            pane->installEventFilter(this);
        }
        for (int c = 0; c < q.columns.size(); ++c) {
            const QTableView* from = c < m_fixed ? mTGOld->FixedPane() : mTGOld->DataPane();
            for (QTableView* to : {mTGNew->FixedPane(), mTGNew->DataPane()})
                to->setColumnWidth(c, from->columnWidth(c));
            mTGNew->SetColumnResizable(c, c < int(look.columns.size()) ? look.columns[size_t(c)].resizable : true);
        }
        // One row and the frames: the strip is as high as the row.
        const int rowHeight = mTGNew->DataPane()->verticalHeader()->defaultSectionSize();
        m_window->picIMode->resize(m_window->picIMode->width(), rowHeight + 2 * mTGNew->DataPane()->frameWidth());
        hookSync();
        LoadCurrentRow();
        mTGNew->DataPane()->horizontalScrollBar()->setValue(mTGOld->DataPane()->horizontalScrollBar()->value());
        m_window->Resize();
    });
}

void CIMode::hookSync()
{
    // Widths: a resized column takes the same width in the other grid.
    auto mirrorWidths = [this](CBrowseGrid* from, CBrowseGrid* to) {
        for (QTableView* pane : {from->FixedPane(), from->DataPane()}) {
            connect(pane->horizontalHeader(), &QHeaderView::sectionResized, this, [this, to](int c, int, int size) {
                if (m_syncing || !to)
                    return;
                m_syncing = true;
                for (QTableView* other : {to->FixedPane(), to->DataPane()})
                    other->setColumnWidth(c, size);
                m_syncing = false;
            });
        }
    };
    mirrorWidths(mTGOld, mTGNew);
    mirrorWidths(mTGNew, mTGOld);
    // The data panes scroll together; the fixed panes do not scroll sideways.
    auto mirrorScroll = [this](CBrowseGrid* from, CBrowseGrid* to) {
        connect(from->DataPane()->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this, to](int v) {
            if (m_syncing || !to)
                return;
            m_syncing = true;
            to->DataPane()->horizontalScrollBar()->setValue(v);
            m_syncing = false;
        });
    };
    mirrorScroll(mTGOld, mTGNew);
    mirrorScroll(mTGNew, mTGOld);
    mTGNew->FollowScrolling(*mTGOld);
    // Another results row: the interactive row starts again from it.
    connect(mTGOld->DataPane()->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { IgnoreErrors([&] { LoadCurrentRow(); }); });
    connect(mTGNew->DataPane()->selectionModel(), &QItemSelectionModel::currentColumnChanged, this,
            [this](const QModelIndex& now, const QModelIndex& before) {
                if (now.column() != before.column())
                    IgnoreErrors([&] { ColumnEntered(now.column()); });
            });
}

void CIMode::LoadCurrentRow()
{
    if (!m_window || !mTGOld || !m_model)
        return;
    const int row = mTGOld->CurrentRow() < 0 ? 0 : mTGOld->CurrentRow();
    const BrowseQuery& q = m_window->RecordSource();
    const BrowseLook::Grid* look = m_browser ? &m_browser->Look() : nullptr;
    QStringList texts;
    for (int c = 0; c < q.columns.size(); ++c)
        texts << QString();
    if (row < m_window->Data1().RowCount()) {
        BlockCache::Row cells;
        if (const BlockCache::Row* cached = m_window->Model()->CachedRow(row))
            cells = *cached;
        else if (auto read = m_window->Data1().Read(row, 1); !read.empty())
            cells = read.front();
        for (int c = 0; c < cells.size() && c < q.columns.size(); ++c) {
            if (c == m_predictedColumn)
                texts[c] = m_sfam ? CSFamBrowse::PredictedText(cells[c])
                                  : BrowseLook::PredictionText(cells[c], mNumFormat, m_predictionForm);
            else if (c >= m_fixed)
                texts[c] = BrowseLook::CellText(cells[c], look && c < int(look->columns.size())
                                                              ? look->columns[size_t(c)].digits
                                                              : 15);
        }
    }
    m_model->SetRow(texts);
}

QString CIMode::predict(const std::vector<long double>& values) const
{
    if (m_predictor)
        return m_predictor(values);
    if (m_sfam)
        return CSFamBrowse::PredictedText(kdb::Value(CurrentNetworkAs<CSFam>()->Predict(values)));
    return IModeRules::PredictionDisplay(CurrentNetworkAs<CBackProp>()->Predict(values), mNumFormat, m_predictionForm);
}

bool CIMode::EditCell(int column, const QString& text)
{
    if (!m_window || !m_model || column < m_fixed)
        return false;
    CNetworkProject* net = CurrentNetwork();
    if (!net || !net->State().DDO())
        return false;
    const BrowseQuery& q = m_window->RecordSource();
    if (column >= q.columns.size())
        return false;
    const CDataDef& ddo = *net->State().DDO();
    const IModeRules::EditCheck check = IModeRules::CheckEdit(ddo, q.columns[column].field, text);
    Utilities::StatusMessage(check.message);
    mEditWarned = check.warned;
    if (check.cancel) {
        m_model->SetText(m_predictedColumn, QString());
        return false;
    }
    m_model->SetText(column, text);
    if (!check.predict)
        return true;
    Procedure(QStringLiteral("CIMode::mTGNew_BeforeColUpdate"), [&] {
        const IModeRules::GatheredRow row = IModeRules::GatherRow(ddo, [&](const QString& name) -> std::optional<QString> {
            for (int c = m_fixed; c < q.columns.size(); ++c)
                if (!q.columns[c].IsTest() && q.columns[c].field == name)
                    return m_model->Text(c);
            return std::nullopt;
        });
        if (!row.missing.isEmpty()) {
            // The test gives such a row no prediction; neither does the what-if row.
            m_model->SetText(m_predictedColumn, QStringLiteral("N/A"));
            Utilities::StatusMessage(IModeRules::MissingText(row.missing));
            mEditWarned = true;
            return;
        }
        m_model->SetText(m_predictedColumn, predict(row.values));
    });
    return true;
}

bool CIMode::unusedColumn(int column) const
{
    if (!m_browser || column < m_fixed)
        return false;
    const BrowseLook::Grid& look = m_browser->Look();
    return column < int(look.columns.size()) && look.columns[size_t(column)].text == BrowseLook::UnusedField;
}

void CIMode::ColumnEntered(int column)
{
    if (unusedColumn(column)) {
        Utilities::StatusMessage(unusedText());
        mUnusedWarned = true;
    } else if (mUnusedWarned || mEditWarned) {
        Utilities::StatusMessage(QString());
        mUnusedWarned = mEditWarned = false;
    }
}

void CIMode::FocusLeft()
{
    Utilities::StatusMessage(QString());
    mUnusedWarned = mEditWarned = false;
}

bool CIMode::eventFilter(QObject* watched, QEvent* event)
{
    if (mTGNew && (watched == mTGNew->FixedPane() || watched == mTGNew->DataPane())) {
        if (event->type() == QEvent::FocusIn)
            IgnoreErrors([&] {
                const int c = mTGNew->CurrentColumn();
                if (unusedColumn(c)) {
                    Utilities::StatusMessage(unusedText());
                    mUnusedWarned = true;
                } else if (mUnusedWarned) {
                    Utilities::StatusMessage(QString());
                    mUnusedWarned = false;
                }
            });
        else if (event->type() == QEvent::FocusOut)
            IgnoreErrors([&] { FocusLeft(); });
    }
    return QObject::eventFilter(watched, event);
}
