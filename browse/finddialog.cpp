#include "browse/finddialog.h"

#include "browse/browsegrid.h"
#include "browse/currentbrowse.h"
#include "browse/frmbrowse.h"
#include "browse/likepattern.h"
#include "browse/recordsearch.h"
#include "browse/testbrowse.h"
#include "core/errorbox.h"
#include "core/kverror.h"
#include "core/prompts.h"
#include "core/widgets/veltra.h"
#include "core/widgets/winhelpers.h"
#include "data/datadef.h"
#include "network/networkproject.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

namespace {

struct FindState {
    FindHistory history;
    QString text;
    bool matchCase = false;
    bool dirDown = true;
};

FindState& state()
{
    static FindState s;
    return s;
}

QPointer<frmFind>& instance()
{
    static QPointer<frmFind> dialog;
    return dialog;
}

} // namespace

void FindHistory::Add(const QString& text)
{
    if (text.isEmpty())
        return;
    int p = Size - 1;
    for (int i = 0; i < Size; ++i)
        if (m_entries[size_t(i)].compare(text, Qt::CaseInsensitive) == 0) {
            p = i;
            break;
        }
    for (int i = p; i > 0; --i)
        m_entries[size_t(i)] = m_entries[size_t(i - 1)];
    m_entries[0] = text;
}

QStringList FindHistory::Entries() const
{
    QStringList list;
    for (const QString& e : m_entries) {
        if (e.isEmpty())
            break;
        list << e;
    }
    return list;
}

FindHistory& frmFind::History()
{
    return state().history;
}

frmFind::frmFind(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmFind"));
    setWindowTitle(QStringLiteral("Find"));
    setModal(false);
    auto* label = new QLabel(QStringLiteral("Find:"), this);
    label->setObjectName(QStringLiteral("Label1"));
    cmbFind = new QComboBox(this);
    cmbFind->setObjectName(QStringLiteral("cmbFind"));
    cmbFind->setEditable(true);
    cmbFind->setInsertPolicy(QComboBox::NoInsert);
    // The box searches what the user typed: an editable box would complete it from the history
    // as one types ("1" becoming "12.675", "alpha" becoming "alpha*"). The list keeps the history.
    cmbFind->setCompleter(nullptr);
    cmbFind->setMinimumWidth(220);
    chkMatchCase = new QCheckBox(QStringLiteral("Match Case"), this);
    chkMatchCase->setObjectName(QStringLiteral("chkMatchCase"));
    auto* frame = new QGroupBox(QStringLiteral("Direction"), this);
    optUp = new QRadioButton(QStringLiteral("Up"), frame);
    optDown = new QRadioButton(QStringLiteral("Down"), frame);
    auto* dirs = new QHBoxLayout(frame);
    dirs->addWidget(optUp);
    dirs->addWidget(optDown);
    cmdFindNext = new QPushButton(QStringLiteral("Find &Next"), this);
    cmdFindNext->setObjectName(QStringLiteral("cmdFindNext"));
    cmdFindNext->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Close"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(cmbFind, 0, 1, 1, 2);
    grid->addWidget(cmdFindNext, 0, 3);
    grid->addWidget(chkMatchCase, 1, 1);
    grid->addWidget(frame, 1, 2);
    grid->addWidget(cmdCancel, 1, 3, Qt::AlignTop);

    // The switches and the text as the last dialog of the run left them.
    const FindState& s = state();
    m_dirDown = s.dirDown;
    (s.dirDown ? optDown : optUp)->setChecked(true);
    chkMatchCase->setChecked(s.matchCase);
    cmbFind->addItems(s.history.Entries());
    cmbFind->setEditText(s.text);
    textChanged(s.text);

    connect(cmbFind, &QComboBox::editTextChanged, this, [this](const QString& t) { IgnoreErrors([&] { textChanged(t); }); });
    connect(cmdFindNext, &QPushButton::clicked, this, [this] { FindNext(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { hide(); });
    connect(optUp, &QRadioButton::toggled, this, [this] { m_dirDown = optDown->isChecked(); saveSwitches(); });
    connect(chkMatchCase, &QCheckBox::toggled, this, [this] { saveSwitches(); });
    cmbFind->installEventFilter(this);
    adjustSize();
    // Centred over the main window.
    if (parent) {
        const QRect r = parent->frameGeometry();
        move(r.x() + (r.width() - width()) / 2, r.y() + (r.height() - height()) / 2);
    }
    // F3 and Alt+N in a browse window repeat the last search.
    frmBrowse::FindNextHook() = [] {
        if (frmFind* f = Existing())
            f->FindNext();
    };
    // The main window minimised hides the dialog.
    if (parent)
        parent->installEventFilter(this);
}

frmFind& frmFind::Instance()
{
    QPointer<frmFind>& d = instance();
    if (!d)
        d = new frmFind(gVeltra().MainForm());
    return *d;
}

frmFind* frmFind::Existing()
{
    return instance().data();
}

void frmFind::ShowFor(CBrowseBase* browser)
{
    frmFind& f = Instance();
    f.m_target = browser;
    f.show();
    f.raise();
    f.activateWindow();
    f.activate();
}

void frmFind::saveSwitches()
{
    state().dirDown = m_dirDown;
    state().matchCase = chkMatchCase->isChecked();
}

void frmFind::textChanged(const QString& text)
{
    state().text = text;
    cmdFindNext->setEnabled(!text.isEmpty());
    // Pattern characters: the search is a Like match, which ignores case anyway.
    chkMatchCase->setEnabled(!LikePattern::HasPatternChar(text));
}

void frmFind::activate()
{
    IgnoreErrors([&] {
        const QString typed = cmbFind->currentText();
        const QStringList entries = History().Entries();
        QSignalBlocker block(cmbFind);
        cmbFind->clear();
        cmbFind->addItems(entries);
        if (!entries.isEmpty())
            cmbFind->setCurrentIndex(0);
        else
            cmbFind->setEditText(typed);
        block.unblock();
        textChanged(cmbFind->currentText());
        m_dirDown = optDown->isChecked();
        if (isVisible() && !isMinimized())
            focusText();
    });
    if (m_target)
        m_target->FindActivate();
}

void frmFind::focusText()
{
    // With its text selected, so that what the user types next replaces the last search
    // instead of running on after it.
    cmbFind->setFocus();
    if (QLineEdit* edit = cmbFind->lineEdit())
        edit->selectAll();
}

void frmFind::FindNext()
{
    if (!cmdFindNext->isEnabled())
        return;
    const QString text = cmbFind->currentText();
    History().Add(text);
    activate();
    cmbFind->setEditText(text);
    if (isVisible() && !isMinimized())
        focusText();
    const bool matchCase = chkMatchCase->isChecked();
    // The browser that showed the dialog is gone (another view): the current one searches.
    if (!m_target)
        m_target = dynamic_cast<CBrowseBase*>(gDataBrowse().get());
    if (m_target)
        m_target->FindNext(text, matchCase, m_dirDown);
}

bool frmFind::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate && m_target)
        activate();
    return QDialog::event(e);
}

bool frmFind::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == parent() && e->type() == QEvent::WindowStateChange) {
        if (auto* w = qobject_cast<QWidget*>(watched); w && w->isMinimized())
            hide();
    }
    return QDialog::eventFilter(watched, e);
}

void frmFind::keyPressEvent(QKeyEvent* e)
{
    if (Utilities::ToolBarKeyDown(e))
        return;
    if (e->key() == Qt::Key_F3) {
        FindNext();
        return;
    }
    if (e->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QDialog::keyPressEvent(e);
}

void frmFind::keyReleaseEvent(QKeyEvent* e)
{
    if (Utilities::ToolBarKeyUp(e))
        return;
    QDialog::keyReleaseEvent(e);
}

// --- The browser's side of the dialog -----------------------------------------------------

void CBrowseBase::FindActivate()
{
    frmFind* f = frmFind::Existing();
    IgnoreErrors([&] {
        if (!mTG)
            return;
        mCol = std::max(0, mTG->CurrentColumn());
        frmBrowse* w = Window();
        // The mark column is never searched.
        if (w && mCol >= 0 && mCol < w->RecordSource().columns.size()
            && w->RecordSource().columns[mCol]
                   == BrowseColumn{ProjectSchema::TestTable(), ProjectSchema::MarkColumn(), 0}) {
            mCol = 1;
            mTG->SetCurrent(std::max(0, mTG->CurrentRow()), 1);
        }
        if (f && mCol >= 0 && mCol < int(mLook.columns.size()))
            f->setWindowTitle(QStringLiteral("Find in [") + mLook.columns[size_t(mCol)].caption + QStringLiteral("]"));
    });
}

void CBrowseBase::FindNext(const QString& text, bool matchCase, bool dirDown)
{
    frmFind* f = frmFind::Existing();
    Procedure(FindTitle(), [&] {
        frmBrowse* w = Window();
        if (!mTG || !w || mCol < 0 || mCol >= w->RecordSource().columns.size())
            return;
        const BrowseQuery& q = w->RecordSource();
        const BrowseColumn& column = q.columns[mCol];
        int16_t type = 0;
        if (!column.IsTest())
            if (CNetworkProject* net = Network(); net && net->State().DDO() && column.fieldNumber > 0)
                type = net->State().DDO()->FieldType(column.fieldNumber);
        // The search compares what the grid shows in the column, through the grid's own texts.
        const int searched = mCol;
        const RecordSearch::ShownText shown = [this, searched](const kdb::Value& v) {
            return CellData(-1, searched, &v, Qt::DisplayRole).toString();
        };
        const int digits = mCol < int(mLook.columns.size()) ? mLook.columns[size_t(mCol)].digits : 15;
        const RecordSearch::Criteria c =
            RecordSearch::Make(text, matchCase, RecordSearch::KindOfColumn(q, column, type), shown, digits);
        const QString quoted = QStringLiteral("Find - '") + text;
        if (c.outcome == RecordSearch::Criteria::Outcome::InvalidDate) {
            Prompts::MsgBox(QStringLiteral("Invalid Date."), MsgButtons::Ok, MsgIcon::Exclamation, QStringLiteral("Find"));
            return;
        }
        int64_t row = -1;
        if (c.outcome == RecordSearch::Criteria::Outcome::Search)
            row = RecordSearch::FindNext(w->Data1(), column, c, mTG->CurrentRow(), dirDown);
        if (row < 0) {
            if (f)
                f->setWindowTitle(quoted + QStringLiteral("' Not Found"));
            QApplication::beep();
            return;
        }
        ShowRow(row, mCol);
        if (f)
            f->setWindowTitle(quoted + QStringLiteral("' Found"));
    });
}

void CBrowseBase::ShowRow(int64_t row, int column)
{
    if (!mTG || !mTG->Model())
        return;
    mTG->SetCurrent(int(row), column);
    QTableView* pane = column < mTG->FixedColumns() ? mTG->FixedPane() : mTG->DataPane();
    pane->selectionModel()->select(mTG->Model()->index(int(row), column),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    // Up and down the row comes to the middle; sideways the pane moves only as far as the
    // cell needs, so that the columns on the left (the key) stay in view where they can.
    const QModelIndex cell = mTG->Model()->index(int(row), column);
    QScrollBar* across = pane->horizontalScrollBar();
    const int before = across->value();
    pane->scrollTo(cell, QAbstractItemView::PositionAtCenter);
    across->setValue(before);
    pane->scrollTo(cell, QAbstractItemView::EnsureVisible);
    if (column < mTG->FixedColumns())
        mTG->DataPane()->verticalScrollBar()->setValue(mTG->FixedPane()->verticalScrollBar()->value());
}
