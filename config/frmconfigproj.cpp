#include "config/frmconfigproj.h"

#include "config/frmconfprj.h"
#include "core/errorbox.h"
#include "config/twipsrect.h"
#include "core/widgets/statusmsg.h"
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
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPushButton>
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

    tgSFamCfg = new QTableView(this);
    tgSFamCfg->setObjectName(QStringLiteral("tgSFamCfg"));
    tgSFamCfg->setModel(&m_model);
    tgSFamCfg->verticalHeader()->hide();
    tgSFamCfg->verticalHeader()->setDefaultSectionSize(tgSFamCfg->fontMetrics().height() + 8);
    tgSFamCfg->setWordWrap(false);
    tgSFamCfg->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                               | QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    tgSFamCfg->setSelectionMode(QAbstractItemView::SingleSelection);
    for (int c = 0; c < CFieldLimitsModel::colCount; ++c)
        tgSFamCfg->setColumnWidth(c, Twips::ToWholePixels(kWidths[c]));
    connect(&m_model, &CFieldLimitsModel::refused, this, [](const QString& text) { Utilities::StatusMessage(text); });
    connect(&m_model, &QAbstractItemModel::dataChanged, this, [this] {
        m_changed = true;
        Utilities::StatusMessage(QString());
    });

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
    connect(cmdSuggest, &QPushButton::clicked, this, [this] { cmdSuggest_Click(); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(txtNumNodes, &QSpinBox::valueChanged, this, [this] { txtNumNodes_Change(); });

    // Form_Initialize and Form_Load.
    Procedure(QStringLiteral("frmConfigProj::Form_Initialize"), [&] {
        CNetworkProject* net = CurrentNetwork();
        m_nnType = NetworkKind();
        if (!net)
            return;
        m_databaseFileName = net->DatabaseFileName();
        m_tableName = net->TableName();
        if (!m_tableName.isEmpty())
            m_ddo = net->DDO();
    });
    Procedure(QStringLiteral("frmConfigProj::Form_Load"), [&] {
        if (m_nnType == ntSFam) {
            lblNumNodes->hide();
            txtNumNodes->hide();
            cmdSuggest->hide();
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
            gNavigate().Enable(QStringLiteral("mnuPrint"));
        else
            gNavigate().Disable(QStringLiteral("mnuPrint"));
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
                Utilities::StatusMessage(NoInputsText());
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
    QWidget* editor = QApplication::focusWidget();
    if (!editor || editor == tgSFamCfg || !tgSFamCfg->viewport()->isAncestorOf(editor))
        return;
    emit tgSFamCfg->itemDelegate()->commitData(editor);
    emit tgSFamCfg->itemDelegate()->closeEditor(editor, QAbstractItemDelegate::NoHint);
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
            Utilities::StatusMessage(NoInputsText());
        }
    });
}

void frmConfigProj::txtNumNodes_Change()
{
    const int v = txtNumNodes->value();
    if (v > MaxHiddenNodes || v < MinHiddenNodes)
        Utilities::StatusMessage(QStringLiteral("Number of nodes must be between 2 and 64."));
    if (!m_loading)
        m_changed = true;
}

void frmConfigProj::cmdOK_Click()
{
    const bool done = Procedure(QStringLiteral("frmConfigProj::cmdOK_Click"), [&] {
        CommitEdit();
        if (m_nnType == ntBackProp && txtNumNodes->isEnabled()) {
            const int v = txtNumNodes->value();
            if (v > MaxHiddenNodes || v < MinHiddenNodes)
                cmdSuggest_Click();
            if (m_owner)
                m_owner->SetNodes(int16_t(txtNumNodes->value()));
        }
        Utilities::StatusMessage(QString());
        if (m_changed) {
            if (m_owner) {
                m_owner->SetPendingLimits(m_model.UserLimits());
                m_owner->mMinMaxChanged = true;
                m_owner->DisableCancel();
            } else if (m_ddo) {
                m_model.ApplyTo(*m_ddo);
            }
        }
    });
    if (!done)
        return;
    EnablePrint(false);
    CloseWindow();
}

void frmConfigProj::cmdCancel_Click()
{
    EnablePrint(false);
    CloseWindow();
}

void frmConfigProj::closeEvent(QCloseEvent* event)
{
    EnablePrint(false);
    CConfigWindow::closeEvent(event);
}

void frmConfigProj::resizeEvent(QResizeEvent* event)
{
    CConfigWindow::resizeEvent(event);
    IgnoreErrors([&] {
        const int w = Twips::FromPixels(width());
        const int h = Twips::FromPixels(height());
        if (h <= 1250)
            return;
        int left = 120, gridWidth = w - 380;
        if (w > 11550) {
            left = (w - 11150) / 2;
            gridWidth = 11150;
        }
        const int gridHeight = h - 1300;
        tgSFamCfg->setGeometry(TwipsRect(left, 600, gridWidth, gridHeight));
        const int below = 600 + gridHeight + 150;
        const int right = left + gridWidth;
        cmdOK->setGeometry(TwipsRect(right - 1215, below, 1215, 375));
        cmdCancel->setGeometry(TwipsRect(right - 2550, below, 1215, 375));
        lblNumNodes->adjustSize();
        lblNumNodes->move(TwipsRect(left, below + 60, 0, 0).topLeft());
        const int after = Twips::FromPixels(lblNumNodes->x() + lblNumNodes->width()) + 120;
        txtNumNodes->setGeometry(TwipsRect(after, below, 900, 375));
        cmdSuggest->setGeometry(TwipsRect(after + 1000, below, 1215, 375));
    });
}

