#include "config/advancedconfiguration.h"

#include "browse/browsegrid.h"
#include "config/configureproject.h"
#include "core/errorbox.h"
#include "config/twipsrect.h"
#include "core/widgets/statusmsg.h"
#include "core/widgets/toolnames.h"
#include "core/widgets/veltra.h"
#include "core/widgets/winhelpers.h"
#include "data/datadef.h"
#include "network/backprop.h"
#include "shell/frmmain.h"
#include "shell/modmenu.h"
#include "shell/navigate.h"
#include "shell/networkopener.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>

namespace {

QPointer<frmConfigProj>& current()
{
    static QPointer<frmConfigProj> window;
    return window;
}

constexpr int kWidths[CFieldLimitsModel::colCount] = {2055, 1065, 1250, 1250, 1250, 1250, 1250, 1250};

QString NoInputsText()
{
    return QStringLiteral("No input fields are selected.");
}

} // namespace

frmConfigProj::frmConfigProj(frmConfPrj* owner, QWidget* parent) : CConfigWindow(parent), m_owner(owner)
{
    setObjectName(QStringLiteral("frmConfigProj"));
    setWindowTitle(QStringLiteral("Advanced Configuration"));
    setAttribute(Qt::WA_DeleteOnClose);

    // Two panes over one model: the names, types and user limits stay in sight while the
    // statistics scroll.
    tgSFamCfg = new CBrowseGrid(this);
    tgSFamCfg->setObjectName(QStringLiteral("tgSFamCfg"));
    tgSFamCfg->SetModel(&m_model);
    tgSFamCfg->SetFixedColumns(CFieldLimitsModel::colMin);
    // Every column can be widened: a long name or a number of many digits can be read whole.
    for (int c = 0; c < CFieldLimitsModel::colCount; ++c) {
        tgSFamCfg->SetColumnWidth(c, kWidths[c]);
        tgSFamCfg->SetColumnResizable(c, true);
    }
    connect(LeftPane()->horizontalHeader(), &QHeaderView::sectionResized, this, [this] { LayOut(); });
    for (QTableView* pane : {LeftPane(), RightPane()}) {
        pane->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                              | QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
        pane->setSelectionBehavior(QAbstractItemView::SelectItems);
        pane->setSelectionMode(QAbstractItemView::SingleSelection);
        // An editor left with Escape gives up its text: a refusal of that cell is no longer
        // waiting to be mended.
        connect(pane->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
                [this, pane](QWidget*, QAbstractItemDelegate::EndEditHint hint) {
                    const CFieldLimitsModel::Refusal& r = m_model.PendingRefusal();
                    if (hint == QAbstractItemDelegate::RevertModelCache && pane->currentIndex().row() == r.row
                        && pane->currentIndex().column() == r.column)
                        DropRefusal();
                });
        // An editor closed otherwise (Return, Tab, a click elsewhere) leaves the refusal
        // waiting: the grid's own Escape drops it.
        pane->installEventFilter(this);
    }
    connect(&m_model, &CFieldLimitsModel::refused, this, [this](const QString& text) { m_status.Show(text); });
    connect(&m_model, &QAbstractItemModel::dataChanged, this, [this] { m_status.End(); });

    lblNumNodes = new QLabel(QStringLiteral("Number of  Hidden Nodes:"), this);
    lblNumNodes->setObjectName(QStringLiteral("lblNumNodes"));
    lblNumNodes->setStyleSheet(QStringLiteral("color: white; font-weight: bold;"));
    txtNumNodes = new QSpinBox(this);
    txtNumNodes->setObjectName(QStringLiteral("txtNumNodes"));
    txtNumNodes->setRange(0, 999); // out-of-range counts are shown and refused, not clipped
    cmdSuggest = new QPushButton(QStringLiteral("Suggest"), this);
    cmdSuggest->setObjectName(QStringLiteral("cmdSuggest"));
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdSet = new QPushButton(QStringLiteral("Set"), this);
    cmdSet->setObjectName(QStringLiteral("cmdSet"));
    // Auto has no action of its own; Set enables it.
    cmdAuto = new QPushButton(QStringLiteral("Auto"), this);
    cmdAuto->setObjectName(QStringLiteral("cmdAuto"));
    cmdAuto->setEnabled(false);
    connect(cmdSet, &QPushButton::clicked, this, [this] { cmdSet_Click(); });
    connect(cmdSuggest, &QPushButton::clicked, this, [this] { cmdSuggest_Click(); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(txtNumNodes, &QSpinBox::valueChanged, this, [this] { txtNumNodes_Change(); });

    // Form_Initialize and Form_Load.
    Procedure(QStringLiteral("frmConfigProj::Form_Initialize"), [&] {
        CNetworkProject* net = CurrentNetwork();
        m_nnType = CurrentKind();
        if (!net)
            return;
        m_databaseFileName = net->State().DatabaseFileName();
        m_tableName = net->State().TableName();
        if (!m_tableName.isEmpty())
            m_ddo = net->State().DDO();
    });
    Procedure(QStringLiteral("frmConfigProj::Form_Load"), [&] {
        if (m_nnType == ntSFam) {
            // An SFAM network has no hidden-node count to set.
            lblNumNodes->hide();
            txtNumNodes->hide();
            cmdSuggest->hide();
            cmdSet->hide();
            cmdAuto->hide();
        }
        if (m_ddo) {
            m_model.Load(*m_ddo);
            // Limits handed over by an earlier OK and not yet committed are shown again.
            if (m_owner && !m_owner->PendingLimits().isEmpty()) {
                QSignalBlocker quiet(&m_model);
                m_model.SetUserLimits(m_owner->PendingLimits());
            }
            tgSFamCfg->setEnabled(true);
        } else {
            tgSFamCfg->setEnabled(false);
        }
    });
    Form_Activate();
    m_loading = false;
    current() = this;
}

QTableView* frmConfigProj::LeftPane() const
{
    return tgSFamCfg->FixedPane();
}

QTableView* frmConfigProj::RightPane() const
{
    return tgSFamCfg->DataPane();
}

frmConfigProj* frmConfigProj::Current()
{
    return current().data();
}

frmConfigProj* frmConfigProj::Open(frmConfPrj* owner)
{
    if (frmConfigProj* open = Current()) {
        Activate(open);
        return open;
    }
    auto* window = new frmConfigProj(owner);
    ShowAsChild(window, QSize(Twips::ToWholePixels(11800), Twips::ToWholePixels(5200)),
                QPoint(Twips::ToWholePixels(300), Twips::ToWholePixels(300)));
    return window;
}

void frmConfigProj::EnablePrint(bool on)
{
    IgnoreErrors([&] {
        if (on)
            gNavigate().Enable(ToolName::Print);
        else
            gNavigate().Disable(ToolName::Print);
    });
}

void frmConfigProj::Form_Activate()
{
    IgnoreErrors([&] {
        if (!m_ddo) {
            tgSFamCfg->setEnabled(false);
            return;
        }
        if (m_nnType == ntBackProp) {
            const int inputs = m_owner ? m_owner->InputCount() : 0;
            QSignalBlocker block(txtNumNodes);
            if (inputs == 0) {
                txtNumNodes->setValue(0);
                txtNumNodes->setEnabled(false);
                cmdSuggest->setEnabled(false);
                m_status.Show(NoInputsText());
            } else {
                txtNumNodes->setEnabled(true);
                const int16_t nodes = m_owner->Nodes();
                txtNumNodes->setValue(nodes);
                if (nodes < 2) {
                    block.unblock();
                    cmdSuggest_Click();
                    m_changed = true;
                }
            }
        }
        EnablePrint(true);
    });
}

void frmConfigProj::CommitEdit()
{
    // An open cell editor hands its text to the model (which checks it) before anything reads
    // the limits.
    for (QTableView* pane : {LeftPane(), RightPane()}) {
        // The grid has no persistent editors: a widget on the current cell is its open editor.
        QWidget* editor = pane->indexWidget(pane->currentIndex());
        if (!editor)
            continue;
        emit pane->itemDelegate()->commitData(editor);
        emit pane->itemDelegate()->closeEditor(editor, QAbstractItemDelegate::NoHint);
        return;
    }
}

void frmConfigProj::DropRefusal()
{
    m_model.ForgetRefusal();
    m_status.End();
}

bool frmConfigProj::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape
        && (watched == LeftPane() || watched == RightPane()) && m_model.PendingRefusal().row >= 0) {
        DropRefusal();
        return true;
    }
    return CConfigWindow::eventFilter(watched, event);
}

void frmConfigProj::keyPressEvent(QKeyEvent* event)
{
    // Escape in the window's other controls, which leave it to the window.
    if (event->key() == Qt::Key_Escape && m_model.PendingRefusal().row >= 0) {
        DropRefusal();
        return;
    }
    CConfigWindow::keyPressEvent(event);
}

bool frmConfigProj::ReturnToRefusal()
{
    const CFieldLimitsModel::Refusal refusal = m_model.PendingRefusal();
    if (refusal.row < 0)
        return false;
    // The user limits stand in the left pane.
    QTableView* pane = LeftPane();
    const QModelIndex cell = m_model.index(refusal.row, refusal.column);
    pane->setCurrentIndex(cell);
    pane->scrollTo(cell);
    pane->setFocus();
    pane->edit(cell);
    if (auto* editor = qobject_cast<QLineEdit*>(pane->indexWidget(cell))) {
        editor->setText(refusal.text);
        editor->selectAll();
        editor->setFocus();
    }
    m_status.Show(refusal.message);
    return true;
}

void frmConfigProj::cmdSuggest_Click()
{
    IgnoreErrors([&] {
        if (!m_ddo)
            return;
        CommitEdit();
        const int n = m_owner ? m_owner->InputCount() : 0;
        if (n > 0) {
            txtNumNodes->setValue(CRoleRules::DefaultNodes(n));
        } else {
            txtNumNodes->setValue(0);
            m_status.Show(NoInputsText());
        }
    });
}

void frmConfigProj::txtNumNodes_Change()
{
    const int v = txtNumNodes->value();
    if (v > MaxHiddenNodes || v < MinHiddenNodes)
        m_status.Show(QStringLiteral("Number of nodes must be between 2 and 64."));
    if (!m_loading)
        m_changed = true;
}

void frmConfigProj::cmdOK_Click()
{
    bool refused = false;
    const bool done = Procedure(QStringLiteral("frmConfigProj::cmdOK_Click"), [&] {
        CommitEdit();
        // A refused entry is never dropped in silence: the window stays on it.
        if (ReturnToRefusal()) {
            refused = true;
            return;
        }
        if (m_nnType == ntBackProp && txtNumNodes->isEnabled()) {
            const int v = txtNumNodes->value();
            if (v > MaxHiddenNodes || v < MinHiddenNodes)
                cmdSuggest_Click();
            if (m_owner)
                m_owner->SetNodes(int16_t(txtNumNodes->value()));
        }
        Utilities::StatusMessage(QString());
        if (ChangedFlag()) {
            if (m_owner) {
                m_owner->SetPendingLimits(m_model.UserLimits());
                m_owner->mMinMaxChanged = true;
                m_owner->DisableCancel();
            } else if (m_ddo) {
                m_model.ApplyTo(*m_ddo);
            }
        }
    });
    if (!done || refused)
        return;
    EnablePrint(false);
    CloseWindow();
}

void frmConfigProj::cmdSet_Click()
{
    IgnoreErrors([&] {
        m_setByHand = true;
        cmdAuto->setEnabled(true);
        lblNumNodes->setEnabled(true);
        txtNumNodes->setEnabled(true);
        cmdSuggest->setEnabled(true);
    });
}

void frmConfigProj::cmdCancel_Click()
{
    EnablePrint(false);
    CloseWindow();
}

void frmConfigProj::closeEvent(QCloseEvent* event)
{
    EnablePrint(false);
    m_status.End();
    CConfigWindow::closeEvent(event);
}

void frmConfigProj::resizeEvent(QResizeEvent* event)
{
    CConfigWindow::resizeEvent(event);
    LayOut();
}

void frmConfigProj::LayOut()
{
    IgnoreErrors([&] {
        const int w = Twips::FromPixels(width());
        const int h = Twips::FromPixels(height());
        if (isMinimized() || h <= 1250)
            return;
        int left = 120, gridWidth = w - 380;
        if (w > 11550) {
            left = (w - 11150) / 2;
            gridWidth = 11150;
        }
        // The node count's row stands beside Cancel and OK; under them when the window is too
        // narrow, and the grid then leaves room for both rows.
        lblNumNodes->adjustSize();
        const int nodesWidth = Twips::FromPixels(lblNumNodes->width()) + 120 + 1000 + 3 * 915;
        const bool nodesBelow = !lblNumNodes->isHidden() && nodesWidth > gridWidth - 2550 - 120;
        const int extra = nodesBelow ? 495 : 0;
        // The grid ends under its last fully visible row and stands in the middle.
        QTableView* pane = RightPane();
        const int chrome = pane->horizontalHeader()->sizeHint().height() + pane->horizontalScrollBar()->sizeHint().height()
                           + 2 * pane->frameWidth();
        const int gridHeight = GridHeightForWholeRows(Twips::ToWholePixels(h - 1300 - extra), chrome,
                                                      pane->verticalHeader()->defaultSectionSize(), m_model.rowCount());
        const int top = std::max(Twips::ToWholePixels(120), (height() - Twips::ToWholePixels(extra) - gridHeight
                                                             - Twips::ToWholePixels(600)) / 2
                                                                + Twips::ToWholePixels(350));
        tgSFamCfg->setGeometry(Twips::ToWholePixels(left), top, Twips::ToWholePixels(gridWidth), gridHeight);
        // The names' pane keeps its columns' width while a third of the grid is left for the
        // statistics; narrower, it scrolls on its own.
        QTableView* names = LeftPane();
        int natural = std::min(names->verticalHeader()->maximumWidth(), names->verticalHeader()->sizeHint().width())
                      + 2 * names->frameWidth();
        for (int c = 0; c < CFieldLimitsModel::colMin; ++c)
            natural += names->columnWidth(c);
        names->setFixedWidth(std::min(natural, tgSFamCfg->width() * 2 / 3));
        const int below = Twips::FromPixels(top + gridHeight) + 150;
        const int right = left + gridWidth;
        cmdOK->setGeometry(TwipsRect(right - 1215, below, 1215, 375));
        cmdCancel->setGeometry(TwipsRect(right - 2550, below, 1215, 375));
        const int nodesTop = nodesBelow ? below + 495 : below;
        lblNumNodes->move(TwipsRect(left, nodesTop + 60, 0, 0).topLeft());
        int x = Twips::FromPixels(lblNumNodes->x() + lblNumNodes->width()) + 120;
        txtNumNodes->setGeometry(TwipsRect(x, nodesTop, 900, 375));
        x += 1000;
        for (QPushButton* b : {cmdSuggest, cmdSet, cmdAuto}) {
            b->setGeometry(TwipsRect(x, nodesTop, 855, 375));
            x += 915;
        }
    });
}
