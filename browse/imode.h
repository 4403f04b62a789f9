// Interactive mode: a what-if row under the test-results grid. The row starts as a copy of the
// browse's current row; the user edits its input fields, each accepted edit is checked and the
// whole row goes to the network's single prediction, whose answer shows in the row's Predicted
// cell. The row has a model of its own and never reaches the database; moving to another
// results row reloads it. Its columns keep the widths and the scrolling of the results grid.
#pragma once

#include "browse/browselook.h"
#include "data/fieldtypes.h"

#include <QAbstractTableModel>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class CBrowseBase;
class CBrowseGrid;
class CDataDef;
class IDataBrowse;
class frmBrowse;

// The rules of the interactive row, free of widgets.
namespace IModeRules {

struct EditCheck {
    QString message;      // the status text ("" clears the status)
    bool warned = false;  // a message about the value stands
    bool cancel = false;  // the edit is refused and Predicted emptied
    bool predict = true;  // the row goes to the network
};
// A cell's text read as the training reads a source value (ColumnStats::ReadNumber): a number
// as itself (a whole number past 2^53 exactly), a date or a time of day (in any form
// kdb::DateSerial reads) as its serial day; nullopt for anything else.
std::optional<long double> CellValue(const QString& text);
// The check of one edited cell of source field `fieldName`. A Date/Time, Time Stamp or Time
// is read as the grid shows it (CellValue), any other field as a number with a decimal point;
// values outside the user range are reported, the limit in the field's form, and still used
// (the network holds inputs to the range).
EditCheck CheckEdit(const CDataDef& ddo, const QString& fieldName, const QString& text);
struct GatheredRow {
    // Element i (1..NumFields) is field i's cell through CellValue; element 0 is unused.
    std::vector<long double> values;
    // The first input field whose cell is empty: the row has no prediction, as in the test.
    QString missing;
};
// The values handed to Predict, each cell read through `cell` (the text of the row's column of
// that field name) and CellValue; an empty cell, one the network does not read and a field the
// row does not show give 0. Raises KvError for an input cell that is no number, date or time.
GatheredRow GatherRow(const CDataDef& ddo, const std::function<std::optional<QString>(const QString&)>& cell);
// The status text of a row without a prediction for want of the input `fieldName`.
QString MissingText(const QString& fieldName);
// The format of a back-propagation prediction: as the results grid, and "0" for a Byte or
// Boolean field.
QString NumberFormat(int16_t fieldType, double userMin, double userMax);
// A back-propagation answer as the Predicted cell shows it ("N/A" for the no-prediction
// marker): a date or a time in the grid's form, a number by `format`.
QString PredictionDisplay(double value, const QString& format,
                          dbUtilities::ValueForm form = dbUtilities::ValueForm::Number);

} // namespace IModeRules

// The one row's model: texts per column; the fixed columns cannot be edited; an edit of a data
// column is handed to the owner, which accepts or refuses it.
class IModeModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using EditHook = std::function<bool(int column, const QString& text)>;
    explicit IModeModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    void SetShape(int columns, int fixedColumns, std::vector<bool> editable);
    // The columns that hold numbers (CBrowseGrid::NumberRole).
    void SetNumberColumns(std::vector<bool> numbers) { m_numbers = std::move(numbers); }
    void SetRow(const QStringList& texts);
    QString Text(int column) const;
    void SetText(int column, const QString& text);
    void SetEditHook(EditHook hook) { m_hook = std::move(hook); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QStringList m_texts;
    std::vector<bool> m_editable;
    std::vector<bool> m_numbers;
    int m_fixed = 0;
    EditHook m_hook;
};

class CIMode : public QObject {
    Q_OBJECT
public:
    // What Predict answers, as the Predicted cell shows it. The default asks the open network
    // of the project's kind.
    using Predictor = std::function<QString(const std::vector<long double>& values)>;

    CIMode();
    ~CIMode() override;

    // Attaches to a browser's grid and lays out the interactive row; nullptr does nothing.
    void Bind(IDataBrowse* browse);
    // The interactive grid (tgIMode of the browse window).
    CBrowseGrid* Grid() const;
    IModeModel* Model() const { return m_model; }
    void SetPredictor(Predictor predictor) { m_predictor = std::move(predictor); }

    // The edit of one cell as the grid hands it over (what leaving an edited cell does):
    // checked, then predicted. Answers false when the edit is refused.
    bool EditCell(int column, const QString& text);
    // The row is read again from the results grid's current row.
    void LoadCurrentRow();
    // The column messages: the cursor enters `column` of the row / the row loses the focus.
    void ColumnEntered(int column);
    void FocusLeft();

    int PredictedColumn() const { return m_predictedColumn; }
    bool EditWarned() const { return mEditWarned; }
    bool UnusedWarned() const { return mUnusedWarned; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void TGInit();
    void hookSync();
    bool unusedColumn(int column) const;
    QString predict(const std::vector<long double>& values) const;

    QPointer<CBrowseGrid> mTGOld;
    QPointer<CBrowseGrid> mTGNew;
    QPointer<frmBrowse> m_window;
    QPointer<CBrowseBase> m_browser;
    IModeModel* m_model = nullptr;
    Predictor m_predictor;
    QString mNumFormat;
    dbUtilities::ValueForm m_predictionForm = dbUtilities::ValueForm::Number;
    int m_predictedColumn = -1;
    int m_fixed = 0;
    bool mEditWarned = false;
    bool mUnusedWarned = false;
    bool m_syncing = false;
    bool m_sfam = false;
};
