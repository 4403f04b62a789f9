// The advanced configuration grid's data: one row per field of the data definition with its
// name, type, user range and statistics, over a working copy of the user limits. Edits are
// checked cell by cell; the copy reaches the data definition only through ApplyTo.
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

    // Takes a copy of every field's values; clears the changed flag.
    void Load(const CDataDef& ddo);
    // Writes the user limits of the copy into `ddo` (same fields).
    void ApplyTo(CDataDef& ddo) const;
    // The user limits (min, max) of every row, and the same put back (rows beyond the list
    // keep theirs).
    QList<std::pair<double, double>> UserLimits() const;
    void SetUserLimits(const QList<std::pair<double, double>>& limits);
    bool Changed() const { return m_changed; }
    const Row& RowAt(int row) const { return m_rows.at(row); }

    // Digits after the point of a row's numbers: by the type (Boolean and Byte 0, Currency 2),
    // else by the range max - min.
    static int Decimals(int16_t type, double min, double max);
    // The type's name in the grid ("AutoIncr" for an auto-increment column).
    static QString TypeName(int16_t type);
    // The types whose user range may be edited.
    static bool LimitEditable(int16_t type);
    // The number pattern of that many digits after the point ("0", "0.0", ... "0.00000").
    static QString Pattern(int decimals);
    // A cell's text: numbers by the row's format, dates as dates (empty for "no limit").
    QString CellText(int row, int column) const;
    // Checks and stores an edited bound; an empty text is "no limit" for a date and the
    // gathered value for a number. False, with RefusalText() set, when refused.
    bool SetBound(int row, int column, const QString& text);
    QString RefusalText() const { return m_refusal; }

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
    QList<Row> m_rows;
    bool m_changed = false;
    QString m_refusal;
};
