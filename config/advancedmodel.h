// The advanced configuration grid's data: one row per field of the data definition with its
// name, type, user range and statistics, over a working copy of the user limits. Edits are
// checked cell by cell; the copy reaches the data definition only through ApplyTo. An edit
// that ends with the value the cell already held changes nothing.
#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <cstdint>
#include <utility>

class CDataDef;

class CFieldLimitsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { colName, colType, colUserMin, colUserMax, colMin, colMax, colAvg, colStdDev, colCount };

    struct Row {
        QString name;
        int16_t type = 0;
        int32_t fieldClass = 0; // FieldClass of the type
        double userMin = 0, userMax = 0, min = 0, max = 0, avg = 0, stdDev = 0;
    };

    explicit CFieldLimitsModel(QObject* parent = nullptr);

    // Takes a copy of every field's values; these limits are what Changed() compares with.
    void Load(const CDataDef& ddo);
    // Writes the user limits of the copy into `ddo` (same fields).
    void ApplyTo(CDataDef& ddo) const;
    // The user limits (min, max) of every row, and the same put back (rows beyond the list
    // keep theirs). SetUserLimits also makes them the limits Changed() compares with.
    QList<std::pair<double, double>> UserLimits() const;
    void SetUserLimits(const QList<std::pair<double, double>>& limits);
    // Some user limit differs from the loaded one.
    bool Changed() const { return UserLimits() != m_loaded; }
    const Row& RowAt(int row) const { return m_rows.at(row); }

    // The type's name in the grid ("AutoIncr" for an auto-increment column).
    static QString TypeName(int16_t type);
    // The types whose user range may be edited.
    static bool LimitEditable(int16_t type);
    // A cell's text: numbers by the row's format, dates as dates (empty for "no limit"), times
    // of day as times.
    QString CellText(int row, int column) const;
    // The text an editor of the cell starts from: the whole stored number, not its rounded
    // display form, so that leaving the editor unchanged stores the same value.
    QString EditText(int row, int column) const;
    // Checks and stores an edited bound; an empty text is the gathered value (a date's first
    // or last, a number's mean less or plus two deviations). False, with RefusalText() set,
    // when refused. A refused cell stays pending (PendingRefusal) until an accepted edit of it
    // or ForgetRefusal.
    bool SetBound(int row, int column, const QString& text);
    QString RefusalText() const { return m_refusal; }

    // The last refused edit that no later edit of its cell has mended: its cell, its text
    // and the message that refused it. row -1: none.
    struct Refusal {
        int row = -1;
        int column = -1;
        QString text;
        QString message;
    };
    const Refusal& PendingRefusal() const { return m_pending; }
    void ForgetRefusal() { m_pending = {}; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    // A refused edit, with the status text that says why.
    void refused(const QString& text);

private:
    bool Refuse(int row, int column, const QString& text, const QString& message);

    QList<Row> m_rows;
    QList<std::pair<double, double>> m_loaded;
    QString m_refusal;
    Refusal m_pending;
};

// The advanced grid's height in a place `available` pixels high: its headings, frame and
// scroll bar (`chrome`) and as many whole rows of `rowHeight` as fit, at least one and no more
// than the `rows` it has, so that no row shows cut at the bottom.
int GridHeightForWholeRows(int available, int chrome, int rowHeight, int rows);
