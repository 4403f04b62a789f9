// frmDataSelect, "Split The Data": the modal dialog in which the user picks the training and the
// testing rows of the source table with two range selectors. The row-split command fills it
// with Init, runs it and reads Cancel and the four bounds after exec() returns.
#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>

class QLabel;
class QPushButton;
class userDataSelect;

namespace DataSelectRules {
// Every range selector limits a dragged span to this many rows.
constexpr int32_t MaxDataSelect = 32000;

struct Range {
    int32_t low = 0;
    int32_t high = 0;
};
// A stored range brought inside 1..maxRow with low <= high (a table that shrank, or the default
// 1000 never lowered). With no rows the range is left as it is.
Range ClampToRows(int32_t maxRow, Range range);
// Rows of a range, both ends included.
int64_t RowCount(int32_t low, int32_t high);
// Whether a training range of `rows` rows may be accepted.
bool EnoughTrainingRows(int64_t rows);
// The status text while the dialog is up.
QString SelectRowsText();
}

class frmDataSelect : public QDialog {
    Q_OBJECT
public:
    explicit frmDataSelect(QWidget* parent = nullptr);

    // Stores the table's row count and both ranges (clamped to the rows) and hands them to the
    // two selectors. Fewer than 1 row keeps what was stored before.
    void Init(int32_t MaxRows, int32_t aTrainHigh, int32_t aTrainLow, int32_t aTestHigh, int32_t aTestLow);

    int32_t TrainHigh() const { return mTrainHigh; }
    void SetTrainHigh(int32_t value) { mTrainHigh = value; }
    int32_t TrainLow() const { return mTrainLow; }
    void SetTrainLow(int32_t value) { mTrainLow = value; }
    int32_t TestHigh() const { return mTestHigh; }
    void SetTestHigh(int32_t value) { mTestHigh = value; }
    int32_t TestLow() const { return mTestLow; }
    void SetTestLow(int32_t value) { mTestLow = value; }
    int32_t MaxRow() const { return mMaxRow; }
    void SetMaxRow(int32_t value) { mMaxRow = value; }
    // True when the dialog was left by Cancel, Escape or the close box.
    bool Cancel() const { return mCancel; }

    userDataSelect* dsTrainSet = nullptr;
    userDataSelect* dsTestSet = nullptr;
    QLabel* lblTrainRows = nullptr;
    QLabel* lblTestRows = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    // The buttons' handlers.
    void cmdOK_Click();
    void cmdCancel_Click();

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // Puts the stored properties back into the two selectors, each time the dialog is shown.
    void activate();
    void dsTrainSet_Change();
    void dsTestSet_Change();

    int32_t mTrainHigh = 0;
    int32_t mTrainLow = 0;
    int32_t mTestHigh = 0;
    int32_t mTestLow = 0;
    int32_t mMaxRow = 0;
    bool mCancel = false;
};
