#include "charts/frmmatrix.h"

#include "charts/childwindow.h"
#include "core/errorbox.h"
#include "core/numformat.h"
#include "core/twips.h"
#include "core/widgets/winhelpers.h"
#include "data/datadef.h"
#include "network/sfam.h"
#include "shell/windowcalls.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>

namespace {

constexpr int kRowHeight = 300;       // twips
constexpr int kClassesWidth = 1215;
constexpr int kSumPredictedWidth = 2415;
constexpr int kSumColumn = 1200;
constexpr int kBar = 255;
constexpr uint32_t kBlue = 0xFF0000, kGreen = 0xFF00, kYellow = 0xFFFF, kLightGreen = 0xC0FFC0, kWhite = 0xFFFFFF;

QString css(uint32_t bgr)
{
    return Utilities::ColorFromBgr(bgr).name();
}

int px(int twips)
{
    return Twips::ToWholePixels(twips);
}

int twips(int pixels)
{
    return Twips::FromPixels(pixels);
}

} // namespace

MatrixModel::MatrixModel(Kind kind, const MatrixCount* count, QObject* parent)
    : QAbstractTableModel(parent), m_kind(kind), m_count(count)
{
}

void MatrixModel::Reset()
{
    beginResetModel();
    m_labels.clear();
    endResetModel();
}

void MatrixModel::SetLabels(std::vector<QString> labels)
{
    m_labels = std::move(labels);
}

QString MatrixModel::label(int index) const
{
    return size_t(index) < m_labels.size() ? m_labels[size_t(index)] : m_count->classes[size_t(index)];
}

int MatrixModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return m_kind == SumActual ? (m_count->Count() > 0 ? 2 : 0) : m_count->Count();
}

int MatrixModel::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    switch (m_kind) {
    case Matrix:
    case SumActual:
        return m_count->Count();
    case Classes:
        return m_count->Count() > 0 ? 1 : 0;
    case SumPredicted:
        return m_count->Count() > 0 ? 2 : 0;
    }
    return 0;
}

QVariant MatrixModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const int r = index.row(), c = index.column();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (m_kind == Matrix) {
        if (role == Qt::ToolTipRole)
            return QStringLiteral("Double click any cell for details");
        if (role == Qt::BackgroundRole)
            return Utilities::ColorFromBgr(r == c ? kYellow : (r % 2 == 0 ? kLightGreen : kWhite));
        if (role == Qt::ForegroundRole && r == c)
            return Utilities::ColorFromBgr(kBlue);
    }
    if (m_kind == Classes && role == Qt::ToolTipRole)
        return m_count->classes[size_t(r)];
    if (role != Qt::DisplayRole)
        return {};
    switch (m_kind) {
    case Matrix:
        return QString::number(m_count->At(r, c));
    case Classes:
        return label(r);
    case SumPredicted:
        return c == 0 ? QString::number(m_count->sumPredicted[size_t(r)]) : m_count->RowRate(r);
    case SumActual:
        return r == 0 ? QString::number(m_count->sumActual[size_t(c)]) : m_count->ColumnRate(c);
    }
    return {};
}

QVariant MatrixModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (m_kind == Matrix && orientation == Qt::Horizontal && section >= 0 && section < m_count->Count()) {
        if (role == Qt::DisplayRole)
            return label(section);
        if (role == Qt::ToolTipRole)
            return m_count->classes[size_t(section)];
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

frmMatrix::frmMatrix(std::shared_ptr<CSFam> net, QWidget* parent) : ResultView(parent), m_net(std::move(net))
{
    setWindowTitle(QStringLiteral("SFAM Confusion Matrix"));
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Utilities::ColorFromBgr(0xC0C0C0));
    setPalette(p);
    resize(px(9600), px(6600));

    auto label = [&](const QString& text, Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
        auto* l = new QLabel(text, this);
        l->setAlignment(align);
        return l;
    };
    lblFormTitle = label(QString(), Qt::AlignCenter);
    QFont heading = lblFormTitle->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.3);
    lblFormTitle->setFont(heading);
    lblTitleActual = label(QStringLiteral("A C T U A L"), Qt::AlignCenter);
    lblTitlePredicted = label(QStringLiteral("Prediction"), Qt::AlignCenter);
    lblTotalPred = label(QStringLiteral("Prediction Totals"), Qt::AlignCenter);
    lblErrorPred = label(QStringLiteral("Prediction Error%"), Qt::AlignCenter);
    lblTotalActual = label(QStringLiteral("Actual Totals "), Qt::AlignRight | Qt::AlignVCenter);
    lblErrorActual = label(QStringLiteral("Actual Error% "), Qt::AlignRight | Qt::AlignVCenter);
    for (QLabel* l : {lblTitleActual, lblTitlePredicted, lblTotalPred, lblErrorPred, lblTotalActual, lblErrorActual}) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    const QString corner = QStringLiteral("QLabel { background: %1; color: %2; font-weight: bold; border: 1px solid gray; }")
                               .arg(css(kBlue), css(kYellow));
    lblSumTotal = label(QString(), Qt::AlignCenter);
    lblSumPredErr = label(QString(), Qt::AlignCenter);
    lblSumActErr = label(QString(), Qt::AlignCenter);
    for (QLabel* l : {lblSumTotal, lblSumPredErr, lblSumActErr})
        l->setStyleSheet(corner);

    Grid = makeGrid(MatrixModel::Matrix, true);
    tdbClasses = makeGrid(MatrixModel::Classes, false);
    tdbSumPredicted = makeGrid(MatrixModel::SumPredicted, false);
    tdbSumActual = makeGrid(MatrixModel::SumActual, false);
    Grid->horizontalHeader()->setStyleSheet(
        QStringLiteral("QHeaderView::section { background: %1; color: %2; font-weight: bold; border: 1px solid gray; }")
            .arg(css(kBlue), css(kGreen)));
    const QString green = QStringLiteral("QTableView { background: %1; color: %2; font-weight: bold; }");
    tdbClasses->setStyleSheet(green.arg(css(kGreen), css(kBlue)));
    tdbSumPredicted->setStyleSheet(green.arg(css(kGreen), css(kBlue)));
    tdbSumActual->setStyleSheet(green.arg(css(kBlue), css(kGreen)));

    vscRow = new QScrollBar(Qt::Vertical, this);
    hscCol = new QScrollBar(Qt::Horizontal, this);
    synchronise();

    connect(Grid, &QTableView::doubleClicked, this, [this](const QModelIndex& i) { DrillGrid(i.row(), i.column()); });
    connect(Grid->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this, [this](int c) { DrillGrid(-1, c); });
    connect(tdbClasses, &QTableView::doubleClicked, this, [this](const QModelIndex& i) { DrillClasses(i.row()); });
    connect(tdbSumPredicted, &QTableView::doubleClicked, this,
            [this](const QModelIndex& i) { DrillSumPredicted(i.row()); });
    connect(tdbSumActual, &QTableView::doubleClicked, this, [this](const QModelIndex& i) { DrillSumActual(i.column()); });
}

frmMatrix::~frmMatrix() = default;

QTableView* frmMatrix::makeGrid(MatrixModel::Kind kind, bool header)
{
    auto* view = new QTableView(this);
    auto* model = new MatrixModel(kind, &m_count, view);
    m_models.push_back(model);
    view->setModel(model);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::NoSelection);
    view->setFocusPolicy(Qt::NoFocus);
    view->setTextElideMode(Qt::ElideNone);
    view->horizontalHeader()->setTextElideMode(Qt::ElideNone);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(px(kRowHeight));
    view->horizontalHeader()->setVisible(header);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->horizontalHeader()->setSectionsMovable(false);
    view->horizontalHeader()->setFixedHeight(px(kRowHeight));
    view->setCornerButtonEnabled(false);
    view->hide();
    return view;
}

void frmMatrix::synchronise()
{
    // Setting a first row or column to the one it has signals nothing, so each chain ends.
    QScrollBar* gridRows = Grid->verticalScrollBar();
    QScrollBar* gridCols = Grid->horizontalScrollBar();
    connect(gridRows, &QScrollBar::valueChanged, this, [this](int v) {
        if (v < 0)
            return;
        tdbSumPredicted->verticalScrollBar()->setValue(v);
        tdbClasses->verticalScrollBar()->setValue(v);
        vscRow->setValue(v);
    });
    connect(tdbClasses->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this](int v) { Grid->verticalScrollBar()->setValue(v); });
    connect(tdbSumPredicted->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
        Grid->verticalScrollBar()->setValue(v);
        tdbClasses->verticalScrollBar()->setValue(v);
    });
    connect(vscRow, &QScrollBar::valueChanged, this, [this](int v) {
        Grid->verticalScrollBar()->setValue(v);
        tdbSumPredicted->verticalScrollBar()->setValue(v);
        tdbClasses->verticalScrollBar()->setValue(v);
    });
    connect(gridCols, &QScrollBar::valueChanged, this, [this](int v) {
        if (v < 0)
            return;
        tdbSumActual->horizontalScrollBar()->setValue(v);
        hscCol->setValue(v);
    });
    connect(tdbSumActual->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
        if (v < 0)
            return;
        Grid->horizontalScrollBar()->setValue(v);
    });
    connect(hscCol, &QScrollBar::valueChanged, this, [this](int v) { Grid->horizontalScrollBar()->setValue(v); });
}

void frmMatrix::Display()
{
    ChildWindow::Show(this, true, [this] { activate(); });
}

void frmMatrix::activate()
{
    IgnoreErrors([&] {
        if (m_net)
            ChildWindow::SetRowsPanel(QString::number(int64_t(m_net->State().TestHigh()) - m_net->State().TestLow() + 1)
                                      + QStringLiteral(" Rows"));
    });
}

void frmMatrix::Start()
{
    Procedure(QStringLiteral("frmMatrix::Start"), [&] {
        if (!m_net || !m_net->State().DDO())
            throw KvError(KvErr::ObjectNotSet);
        activate();
        CDataDef& ddo = *m_net->State().DDO();
        const int16_t predict = m_net->PredictField();
        if (predict < 1)
            throw KvError(KvErr::InvalidCall);
        QString key;
        for (int16_t i = 1; i <= ddo.NumFields(); ++i)
            if (ddo.PrimaryKeyField(i))
                key = ddo.FieldName(i);
        MatrixCount count = MatrixCounting::Count(m_net->State().ProjectFileName(), ddo.FieldName(predict), key);
        m_count = std::move(count);
        for (MatrixModel* model : m_models)
            model->Reset();
        QCoreApplication::processEvents();
        ShowMatrix();
    });
}

void frmMatrix::ShowMatrix()
{
    if (m_count.Count() < 1 || m_unloading)
        return;
    for (QTableView* v : {Grid, tdbClasses, tdbSumPredicted, tdbSumActual})
        v->hide();
    IgnoreErrors([&] {
        if (lblFormTitle->text().isEmpty() && m_net && m_net->State().DDO())
            lblFormTitle->setText(QStringLiteral("SFAM Confusion Matrix\n[")
                                  + m_net->State().DDO()->FieldName(m_net->PredictField()) + QStringLiteral("]"));
    });
    lblFormTitle->adjustSize();
    lblTitleActual->adjustSize();
    lblTitlePredicted->adjustSize();

    const int W = twips(width()), H = twips(height());
    const int h = kRowHeight;
    const int sumActualHeight = 2 * h + 15;
    MatrixLayout::SizeInput in;
    in.windowWidth = W;
    in.windowHeight = H;
    in.vscWidth = kBar;
    in.classesWidth = kClassesWidth;
    in.sumPredictedWidth = kSumPredictedWidth;
    in.hscHeight = kBar;
    in.sumActualHeight = sumActualHeight;
    in.titleActualHeight = twips(lblTitleActual->height());
    in.formTitleHeight = twips(lblFormTitle->height());
    in.rowHeight = h;
    in.classes = m_count.Count();
    m_size = MatrixLayout::SizeGrids(in);
    const int n = m_count.Count();
    // The grid holds the columns the size rule counted, whole, inside its frame; the rule's
    // width (30 twips short of them) would cut the last one.
    m_size.gridWidth = std::max(m_size.gridWidth,
                                twips(m_size.visibleColumns * px(m_size.columnWidth) + 2 * Grid->frameWidth()));

    if (!m_columnsBuilt)
        m_columnsBuilt = true;
    for (int i = 0; i < n; ++i) {
        Grid->setColumnWidth(i, px(m_size.columnWidth));
        tdbSumActual->setColumnWidth(i, px(m_size.columnWidth));
    }
    tdbClasses->setColumnWidth(0, px(kSumColumn));
    tdbSumPredicted->setColumnWidth(0, px(kSumColumn));
    tdbSumPredicted->setColumnWidth(1, px(kSumColumn));
    labelClasses(Grid, px(m_size.columnWidth), 2 * (style()->pixelMetric(QStyle::PM_HeaderMargin) + 2));
    labelClasses(tdbClasses, px(kSumColumn), 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 2));

    const int classesLeft = (W - (kSumPredictedWidth + kClassesWidth + m_size.gridWidth)) / 2;
    const int gridLeft = classesLeft + kClassesWidth - 15;
    const int titleHeight = twips(lblFormTitle->height()), actualHeight = twips(lblTitleActual->height());
    const int formTop = std::max(45, (H - 600 - titleHeight - actualHeight - m_size.gridHeight - sumActualHeight - kBar) / 2);
    lblFormTitle->move(px(gridLeft + (m_size.gridWidth - twips(lblFormTitle->width())) / 2), px(formTop));
    const int actualTop = formTop + titleHeight;
    const int gridTop = actualTop + actualHeight;
    lblTitleActual->setGeometry(px(gridLeft), px(actualTop), px(m_size.gridWidth), lblTitleActual->height());
    Grid->setGeometry(px(gridLeft), px(gridTop), px(m_size.gridWidth), px(m_size.gridHeight));

    const int sumActualTop = gridTop + m_size.gridHeight - 15;
    tdbSumActual->setGeometry(px(gridLeft), px(sumActualTop), px(m_size.gridWidth), px(sumActualHeight));
    const int sumPredLeft = gridLeft + m_size.gridWidth - 15;
    const int sideHeight = m_size.gridHeight - h;
    // Their rows line up with the matrix rows under its header.
    const int rowsTop = gridTop + h;
    tdbSumPredicted->setGeometry(px(sumPredLeft), px(rowsTop), px(kSumPredictedWidth), px(sideHeight));
    tdbClasses->setGeometry(px(classesLeft), px(rowsTop), px(kClassesWidth), px(sideHeight));
    lblTitlePredicted->setGeometry(px(classesLeft), px(rowsTop) - lblTitlePredicted->height(), px(kClassesWidth),
                                   lblTitlePredicted->height());

    for (QTableView* v : {Grid, tdbClasses, tdbSumPredicted, tdbSumActual}) {
        v->reset();
        v->show();
    }

    hscCol->setGeometry(px(gridLeft), px(sumActualTop + sumActualHeight), px(m_size.gridWidth), px(kBar));
    // The bar reaches the first column at which the last one shows whole: the grid's frame
    // and the space left of it take part of the last column the size rule counted.
    hscCol->setRange(0, std::max(0, n - WholeColumnsAtEnd(Grid)));
    hscCol->setPageStep(std::max(1, m_size.visibleColumns));
    hscCol->setSingleStep(1);
    hscCol->setEnabled(hscCol->maximum() != 0);
    vscRow->setGeometry(px(sumPredLeft + kSumPredictedWidth), px(rowsTop), px(kBar), px(sideHeight));
    vscRow->setRange(0, std::max(0, n - m_size.visibleRows));
    vscRow->setPageStep(std::max(1, m_size.visibleRows));
    vscRow->setSingleStep(1);
    vscRow->setEnabled(vscRow->maximum() != 0);

    const int labelHeight = twips(lblTotalPred->sizeHint().height()) * 2;
    lblTotalPred->setWordWrap(true);
    lblErrorPred->setWordWrap(true);
    lblTotalPred->setGeometry(px(sumPredLeft), px(rowsTop - labelHeight - 15), px(kSumColumn), px(labelHeight));
    lblErrorPred->setGeometry(px(sumPredLeft + kSumColumn), px(rowsTop - labelHeight - 15), px(kSumColumn),
                              px(labelHeight));
    lblTotalActual->adjustSize();
    lblErrorActual->adjustSize();
    lblTotalActual->move(px(gridLeft) - lblTotalActual->width(), px(sumActualTop + 30));
    lblErrorActual->move(px(gridLeft) - lblErrorActual->width(), lblTotalActual->geometry().bottom() + 1);

    lblSumTotal->setGeometry(px(sumPredLeft), px(sumActualTop), px(kSumColumn + 15), px(h + 15));
    lblSumPredErr->setGeometry(px(sumPredLeft + kSumColumn), px(sumActualTop), px(kSumColumn + 15), px(h + 15));
    lblSumActErr->setGeometry(px(sumPredLeft), px(sumActualTop + h), px(kSumColumn + 15), px(h + 15));
    lblSumPredErr->setText(NumFormat::FormatSingle(m_count.predErr, QStringLiteral("0.00%")));
    lblSumTotal->setText(QString::number(m_count.total));
    lblSumActErr->setText(NumFormat::FormatSingle(m_count.actErr, QStringLiteral("0.00%")));

    Grid->horizontalScrollBar()->setValue(0);
    Grid->verticalScrollBar()->setValue(0);
    tdbSumPredicted->verticalScrollBar()->setValue(0);
    hscCol->setValue(0);
    vscRow->setValue(0);
}

void frmMatrix::labelClasses(QTableView* view, int width, int margin)
{
    // The grids' texts are bold; the cut is made here, where names that would read alike are
    // told apart, never again by the view.
    QFont bold = view->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    static_cast<MatrixModel*>(view->model())
        ->SetLabels(MatrixLayout::ClassLabels(m_count.classes, width - margin,
                                              [&](const QString& text) { return metrics.horizontalAdvance(text); }));
}

int frmMatrix::WholeColumnsAtEnd(const QTableView* grid)
{
    const int n = grid->model() ? grid->model()->columnCount() : 0;
    // No scroll bars and no row headings: the cells have the grid less its frame.
    const int room = grid->contentsRect().width();
    int used = 0, whole = 0;
    for (int c = n - 1; c >= 0; --c) {
        used += grid->columnWidth(c);
        if (used > room)
            break;
        ++whole;
    }
    return std::max(1, whole);
}

void frmMatrix::browse(const QString& predicted, const QString& actual)
{
    // The browse closes every child window, this one included: run it after this handler.
    QTimer::singleShot(0, qApp, [predicted, actual] { WindowCalls::Current().BrowseOutlyers(predicted, actual); });
}

bool frmMatrix::DrillGrid(int row, int column)
{
    const int n = m_count.Count();
    if (column < 0 || column >= n)
        return false;
    if (row < 0) {
        browse(QString(), m_count.classes[size_t(column)]);
        return true;
    }
    if (row >= n || m_count.At(row, column) < 1)
        return false;
    browse(m_count.classes[size_t(row)], m_count.classes[size_t(column)]);
    return true;
}

bool frmMatrix::DrillClasses(int row)
{
    if (row < 0 || row >= m_count.Count())
        return false;
    browse(m_count.classes[size_t(row)], QString());
    return true;
}

bool frmMatrix::DrillSumPredicted(int row)
{
    return DrillClasses(row);
}

bool frmMatrix::DrillSumActual(int column)
{
    if (column < 0 || column >= m_count.Count())
        return false;
    browse(QString(), m_count.classes[size_t(column)]);
    return true;
}

void frmMatrix::resizeEvent(QResizeEvent* event)
{
    ResultView::resizeEvent(event);
    if (isMinimized())
        return;
    ShowMatrix();
}

void frmMatrix::closeEvent(QCloseEvent* event)
{
    m_unloading = true;
    ResultView::closeEvent(event);
}
