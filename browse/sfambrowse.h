// The browsers of SFAM test results (CSFamBrowse) and of the whole source table (CBrowseAll):
// twins of the test-results browser that differ in their fixed columns, their colours and
// cell texts, and in sorting by the column remembered last (a right click in a heading, the
// find dialog) instead of the grid's current column.
#pragma once

#include "browse/testbrowse.h"

// What the SFAM and whole-table browsers share: the remembered column (0 until a heading's
// right click or the find dialog sets it) is the sort key, and the window takes the browser's
// help context.
class CRememberedColumnBrowse : public CBrowseBase {
    Q_OBJECT
public:
    CRememberedColumnBrowse() { mCol = 0; }
    void Bind(CBrowseGrid* tg) override;
    void SortASC() override { sortRemembered(false); }
    void SortDESC() override { sortRemembered(true); }

protected:
    virtual int HelpContextID() const = 0;

private:
    void sortRemembered(bool desc);
    void setHelpContext();
};

// SFAM results: mark, actual class and predicted class fixed; a misclassified row in red bold;
// the no-prediction marker as "N/A"; class names as stored (no number format).
class CSFamBrowse : public CRememberedColumnBrowse {
    Q_OBJECT
public:
    static constexpr int HelpContext = 6400;
    static constexpr uint32_t MisclassifiedColor = 255; // red

    QVariant CellData(int64_t row, int column, const kdb::Value* value, int role) const override;

    // A row is misclassified when its actual and predicted class differ ignoring case (the
    // actual value read as class text), or when either is missing.
    static bool Misclassified(const kdb::Value& actual, const kdb::Value& predicted);
    // The Predicted cell: "N/A" for Null and for a text whose leading number is the
    // no-prediction marker; any other class name as stored.
    static QString PredictedText(const kdb::Value& value);

protected:
    QString Caption() const override { return QStringLiteral("Browse Test Results"); }
    BrowseLook::Grid Layout() const override;
    QString SortTitle() const override { return QStringLiteral("CSFamBrowse::BuildSort"); }
    QString FindTitle() const override { return QStringLiteral("CSFamBrowse::mFFind_FindNext"); }
    QString MarkTitle() const override { return QStringLiteral("CSFamBrowse::ToggleMark"); }
    int HelpContextID() const override { return HelpContext; }
};

// The whole source table: the prediction field alone in the fixed pane (yellow heading), input
// fields with cyan headings, every other field in grey text; no marks, no cell tips but the
// heading's; every column may be resized.
class CBrowseAll : public CRememberedColumnBrowse {
    Q_OBJECT
public:
    static constexpr int HelpContext = 5410;
    static constexpr uint32_t InputHeading = 0xFFFF00;  // cyan
    static constexpr uint32_t OtherField = 0x80000011;  // the system's grey-text colour

    QVariant CellData(int64_t row, int column, const kdb::Value* value, int role) const override;

    // The layout over the whole-table query: only fields whose role is exactly the input role
    // count as inputs (names compared exactly).
    static BrowseLook::Grid AllDataLayout(const BrowseQuery& query, const CDataDef& ddo);

protected:
    QString Caption() const override { return QStringLiteral("Browse All"); }
    BrowseLook::Grid Layout() const override;
    QString SortTitle() const override { return QStringLiteral("CBrowseAll::BuildSort"); }
    QString FindTitle() const override { return QStringLiteral("CBrowseAll::mFFind_FindNext"); }
    int HelpContextID() const override { return HelpContext; }
};
