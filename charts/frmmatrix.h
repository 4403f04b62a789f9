// The confusion matrix of an SFAM test ("SFAM Confusion Matrix"): the counts in four grids
// that scroll together (the matrix, the class names left of it, the row totals and rates right
// of it, the column totals and rates under it), laid out for the window's size, and a double
// click that browses the rows behind a cell, a row, a column or a total.
#pragma once

#include "charts/matrixcount.h"
#include "charts/matrixlayout.h"

#include <QAbstractTableModel>
#include "charts/resultview.h"

#include <QWidget>
#include <memory>

class CSFam;
class QLabel;
class QScrollBar;
class QTableView;

// The cells of one of the four grids, computed on request from the count.
class MatrixModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Kind { Matrix, Classes, SumPredicted, SumActual };
    MatrixModel(Kind kind, const MatrixCount* count, QObject* parent);
    void Reset();
    // The class names as the grid shows them (MatrixLayout::ClassLabels); the whole name is the
    // tip. Until set, the names stand as they are.
    void SetLabels(std::vector<QString> labels);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString label(int index) const;

    Kind m_kind;
    const MatrixCount* m_count;
    std::vector<QString> m_labels;
};

class frmMatrix : public ResultView {
    Q_OBJECT
public:
    explicit frmMatrix(std::shared_ptr<CSFam> net, QWidget* parent = nullptr);
    ~frmMatrix() override;

    // Shows the window (a child of the main window).
    void Display();
    // Counts the tested rows and lays the window out; a failure shows the box
    // "frmMatrix::Start" and leaves the window as it was.
    void Start();
    // Lays out the grids for the window's size (also on every resize once counted).
    void ShowMatrix();

    const MatrixCount& Count() const { return m_count; }
    const MatrixLayout::Size& Sizes() const { return m_size; }
    QTableView* Grid = nullptr;
    QTableView* tdbClasses = nullptr;
    QTableView* tdbSumPredicted = nullptr;
    QTableView* tdbSumActual = nullptr;
    QScrollBar* vscRow = nullptr;
    QScrollBar* hscCol = nullptr;
    QLabel* lblFormTitle = nullptr;
    QLabel* lblSumTotal = nullptr;
    QLabel* lblSumPredErr = nullptr;
    QLabel* lblSumActErr = nullptr;

    // The drill-downs of a double click (the views' signals call these; tests do too). A
    // header is row -1. Each posts the window calls' BrowseOutlyers and answers whether it did.
    bool DrillGrid(int row, int column);
    bool DrillClasses(int row);
    bool DrillSumPredicted(int row);
    bool DrillSumActual(int column);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void activate();
    void browse(const QString& predicted, const QString& actual);
    // How many columns, counted from the last, the grid shows whole (at least 1).
    static int WholeColumnsAtEnd(const QTableView* grid);
    // Gives `view`'s model the labels of the class names for its columns `width` pixels wide.
    void labelClasses(QTableView* view, int width, int margin);
    QTableView* makeGrid(MatrixModel::Kind kind, bool header);
    void synchronise();

    std::shared_ptr<CSFam> m_net;
    MatrixCount m_count;
    MatrixLayout::Size m_size;
    std::vector<MatrixModel*> m_models;
    QLabel* lblTitleActual = nullptr;
    QLabel* lblTitlePredicted = nullptr;
    QLabel* lblTotalPred = nullptr;
    QLabel* lblErrorPred = nullptr;
    QLabel* lblTotalActual = nullptr;
    QLabel* lblErrorActual = nullptr;
    bool m_unloading = false;
    bool m_columnsBuilt = false;
};
