#include "browse/frmbrowse.h"

#include "browse/browsegrid.h"
#include "browse/browselayout.h"
#include "browse/browsemodel.h"
#include "browse/currentbrowse.h"
#include "core/errorbox.h"
#include "core/twips.h"
#include "core/widgets/veltra.h"
#include "core/widgets/winhelpers.h"
#include "shell/frmmain.h"
#include "shell/navigate.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableView>

#include <algorithm>

frmBrowse::frmBrowse(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmBrowse"));
    setWindowTitle(QStringLiteral("Browse"));
    setAttribute(Qt::WA_DeleteOnClose);
    tgBrowse = new CBrowseGrid(this);
    m_model = new BrowseModel(m_data, this);
    m_data.SetLoadedHandler(m_model, [this] { rowsLoaded(); });
    tgBrowse->SetModel(m_model);
    picIMode = new QWidget(this);
    picIMode->setObjectName(QStringLiteral("picIMode"));
    tgIMode = new CBrowseGrid(picIMode);
    tgIMode->setObjectName(QStringLiteral("tgIMode"));
    picIMode->resize(Twips::ToWholePixels(9000), Twips::ToWholePixels(BrowseLayout::StripHeight));
    picIMode->hide();
    resize(Twips::ToWholePixels(9000), Twips::ToWholePixels(6000));
    Resize();
}

frmBrowse::~frmBrowse()
{
    // However the window goes (its close box, the main window's end, a closing project), the
    // view state that drives it goes first: the interactive mode watches this window's grids
    // and must not see them while they are being destroyed.
    if (gBrowseForm() == this)
        CurrentBrowse::Release();
    m_data.Release();
}

std::function<void()>& frmBrowse::FindNextHook()
{
    static std::function<void()> hook;
    return hook;
}

void frmBrowse::SetRecordSource(const BrowseQuery& query)
{
    try {
        m_data.Load(query);
    } catch (...) {
        m_model->Reset();
        throw;
    }
    m_model->Reset();
}

void frmBrowse::rowsLoaded()
{
    m_model->RowsLoaded();
    if (m_closed)
        return;
    mRowCount = m_data.RowCount();
    // The count is shown where the window's own count stands: while it is the active one.
    IgnoreErrors([&] {
        if (m_sub && m_sub->mdiArea() && m_sub->mdiArea()->activeSubWindow() == m_sub)
            gVeltra().StatusBar().Message(QString::number(mRowCount) + QStringLiteral(" Rows"), true);
    });
    // A view cut short by a failed read says so; the rows read stay to be browsed.
    if (const std::optional<KvError> error = m_data.TakeLoadError())
        ErrorBox::ShowStandard(KvError(error->number(), error->source(),
                                       error->description() + QStringLiteral("\nThe rest of the view could not be read: it shows the first ")
                                           + QString::number(mRowCount) + QStringLiteral(" rows only.")),
                               QStringLiteral("frmBrowse::Data1"));
}

void frmBrowse::Resize()
{
    IgnoreErrors([&] {
        if (isMinimized() || (m_sub && m_sub->isMinimized()))
            return;
        // The rule measures the whole window with its borders and caption, which here lie
        // outside this widget: the window is the widget plus the allowance the rule takes off.
        const bool strip = picIMode->isVisibleTo(this);
        const int stripPx = strip ? picIMode->height() : 0;
        const QRect r = BrowseLayout::GridRect(Twips::FromPixels(width()) + BrowseLayout::BorderWidth,
                                               Twips::FromPixels(height()) + BrowseLayout::BorderHeight, strip,
                                               Twips::FromPixels(stripPx));
        const int w = std::clamp(Twips::ToWholePixels(r.width()), 0, width());
        const int h = std::clamp(Twips::ToWholePixels(r.height()), 0, std::max(0, height() - stripPx));
        tgBrowse->setGeometry(0, 0, w, h);
        if (strip)
            picIMode->setGeometry(0, h, w, stripPx);
        tgIMode->setGeometry(0, 0, tgBrowse->width(), picIMode->height());
    });
}

void frmBrowse::Pause()
{
    mSavedDatabaseName = m_data.DatabaseName();
    m_data.SetDatabaseName(QString());
    m_model->Invalidate();
}

void frmBrowse::Continue()
{
    m_data.SetDatabaseName(mSavedDatabaseName);
    m_model->Invalidate();
}

void frmBrowse::ShowInMainWindow()
{
    auto* main = qobject_cast<frmMain*>(gVeltra().MainForm());
    if (main && main->MdiArea()) {
        QMdiArea* area = main->MdiArea();
        m_sub = main->AddChild(this);
        connect(main, &frmMain::ChildActivated, this, [this](QMdiSubWindow* sub) {
            if (!m_sub || m_closed)
                return;
            if (sub == m_sub)
                Activated();
            else
                Deactivated();
        });
        m_sub->showMaximized();
        area->setActiveSubWindow(m_sub);
    } else {
        showMaximized();
    }
}

void frmBrowse::Activated()
{
    IgnoreErrors([&] {
        if (mRowCount != -1)
            gVeltra().StatusBar().Message(QString::number(mRowCount) + QStringLiteral(" Rows"), true);
    });
}

void frmBrowse::Deactivated()
{
    IgnoreErrors([&] {
        if (mRowCount != -1)
            gVeltra().StatusBar().Message(QString(), true);
    });
    IgnoreErrors([&] { gNavigate().Navigate(navBrowseInactive); });
}

void frmBrowse::closeEvent(QCloseEvent* event)
{
    if (!m_closed) {
        m_closed = true;
        Deactivated();
        IgnoreErrors([&] {
            auto& forms = gVeltra().Project().Forms();
            forms.erase(std::remove_if(forms.begin(), forms.end(),
                                       [this](const CProject::FormEntry& e) { return e.key == m_tag && e.form == this; }),
                        forms.end());
        });
        m_data.Release();
    }
    event->accept();
}

void frmBrowse::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Resize();
}

void frmBrowse::keyPressEvent(QKeyEvent* event)
{
    if (Utilities::ToolBarKeyDown(event))
        return;
    const bool f3 = event->key() == Qt::Key_F3;
    const bool altN = event->key() == Qt::Key_N && (event->modifiers() & Qt::AltModifier);
    if ((f3 || altN) && FindNextHook()) {
        FindNextHook()();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmBrowse::keyReleaseEvent(QKeyEvent* event)
{
    if (Utilities::ToolBarKeyUp(event))
        return;
    QWidget::keyReleaseEvent(event);
}
