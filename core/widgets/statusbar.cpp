#include "core/widgets/statusbar.h"

#include "core/errorbox.h"
#include "core/kverror.h"
#include "core/prompts.h"
#include "core/widgets/statusmsg.h"

#include <QBoxLayout>
#include <QDate>
#include <QEvent>
#include <QFontMetrics>
#include <QLocale>
#include <QMouseEvent>
#include <QProgressBar>

using StatusGeometry::Px;

// ---------------------------------------------------------------------------------------------
// CStatusPanel

CStatusPanel::CStatusPanel(const QString& key, const QString& text, QWidget* parent)
    : QLabel(text, parent), m_key(key)
{
    setObjectName(key);
    setMargin(1);
    setTextFormat(Qt::PlainText);
    SetFlat(false);
    SetPanelAlignment(AlignLeft);
    applySize();
}

void CStatusPanel::SetPanelAlignment(int alignment)
{
    m_alignment = alignment;
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (alignment == AlignCenter)
        horizontal = Qt::AlignHCenter;
    else if (alignment == AlignRight)
        horizontal = Qt::AlignRight;
    setAlignment(horizontal | Qt::AlignVCenter);
}

void CStatusPanel::SetPanelAutoSize(int autoSize)
{
    m_autoSize = autoSize;
    applySize();
}

void CStatusPanel::SetMinWidth(int pixels)
{
    m_minWidth = qMax(0, pixels);
    applySize();
}

void CStatusPanel::SetFlat(bool flat)
{
    m_flat = flat;
    setFrameStyle(flat ? QFrame::NoFrame : (QFrame::StyledPanel | QFrame::Sunken));
}

void CStatusPanel::SetPanelVisible(bool on)
{
    m_visible = on;
    setVisible(on);
}

void CStatusPanel::applySize()
{
    setMinimumWidth(0);
    setMaximumWidth(QWIDGETSIZE_MAX);
    switch (m_autoSize) {
    case SizeFixed:
        setFixedWidth(m_minWidth);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
        break;
    case SizeSpring:
        setMinimumWidth(m_minWidth);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        break;
    default:
        setMinimumWidth(m_minWidth);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
        break;
    }
    if (auto* box = parentWidget() ? qobject_cast<QBoxLayout*>(parentWidget()->layout()) : nullptr)
        box->setStretchFactor(this, m_autoSize == SizeSpring ? 1 : 0);
    updateGeometry();
}

QSize CStatusPanel::sizeHint() const
{
    const QSize natural = QLabel::sizeHint();
    switch (m_autoSize) {
    case SizeFixed:
    case SizeSpring:
        // A spring panel takes what the others leave; a long message is cut, not pushed on.
        return {m_minWidth, natural.height()};
    default:
        return {qMax(m_minWidth, natural.width()), natural.height()};
    }
}

QSize CStatusPanel::minimumSizeHint() const
{
    return sizeHint();
}

// ---------------------------------------------------------------------------------------------
// CStatusPanels

CStatusPanels::CStatusPanels(QWidget* parent) : QWidget(parent), m_layout(new QHBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(2);
}

CStatusPanel& CStatusPanels::Panel(int index) const
{
    if (index < 1 || index > Count())
        throw KvError(KvErr::SubscriptOutOfRange, QStringLiteral("StatusBar:Panels"));
    return *m_panels[size_t(index) - 1];
}

CStatusPanel& CStatusPanels::Panel(const QString& key) const
{
    for (CStatusPanel* panel : m_panels)
        if (panel->Key() == key)
            return *panel;
    throw KvError(KvErr::ItemNotFound, QStringLiteral("StatusBar:Panels"));
}

CStatusPanel& CStatusPanels::Add(const QString& key, const QString& text)
{
    auto* panel = new CStatusPanel(key, text, this);
    m_layout->addWidget(panel);
    m_panels.push_back(panel);
    panel->SetPanelAutoSize(panel->PanelAutoSize());
    return *panel;
}

void CStatusPanels::Remove(int index)
{
    CStatusPanel* panel = &Panel(index);
    m_panels.erase(m_panels.begin() + (index - 1));
    m_layout->removeWidget(panel);
    delete panel;
}

void CStatusPanels::Clear()
{
    for (int i = Count(); i >= 1; --i)
        Remove(i);
}

// ---------------------------------------------------------------------------------------------
// CMStatusBar

CMStatusBar::CMStatusBar(QWidget* parent)
    : QStatusBar(parent), m_panels(new CStatusPanels(this)), m_progress(new QProgressBar(m_panels))
{
    setObjectName(QStringLiteral("MainStatusBar"));
    setSizeGripEnabled(false);
    // A permanent widget: tool tips and other temporary messages never push the panels away.
    addPermanentWidget(m_panels, 1);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->hide();
    m_panels->installEventFilter(this);
    centreProgress();
}

int CMStatusBar::TextWidth(const QString& text) const
{
    return QFontMetrics(m_panels->font()).horizontalAdvance(text);
}

int CMStatusBar::TextHeight(const QString& text) const
{
    return QFontMetrics(m_panels->font()).boundingRect(text).height();
}

void CMStatusBar::Refresh()
{
    m_panels->repaint();
    repaint();
}

void CMStatusBar::mousePressEvent(QMouseEvent* event)
{
    QStatusBar::mousePressEvent(event);
    emit Click();
}

void CMStatusBar::mouseDoubleClickEvent(QMouseEvent* event)
{
    QStatusBar::mouseDoubleClickEvent(event);
    emit Click();
}

void CMStatusBar::resizeEvent(QResizeEvent* event)
{
    QStatusBar::resizeEvent(event);
    centreProgress();
}

bool CMStatusBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_panels && event->type() == QEvent::Resize)
        centreProgress();
    return QStatusBar::eventFilter(watched, event);
}

void CMStatusBar::centreProgress()
{
    const int stripHeight = m_panels->height();
    const int height = qMax(4, stripHeight - 6);
    m_progress->setGeometry(m_progress->x(), (stripHeight - height) / 2, m_progress->width(), height);
}

// ---------------------------------------------------------------------------------------------
// CVeltraStatusBar

CVeltraStatusBar::~CVeltraStatusBar()
{
    if (Status::Current() == this)
        Status::Install(nullptr);
}

CStatusPanels& CVeltraStatusBar::bar() const
{
    if (!m_bar)
        throw KvError(KvErr::ObjectNotSet, QStringLiteral("CVeltraStatusBar"));
    return *m_bar;
}

CStatusPanel& CVeltraStatusBar::Panel(int index) const
{
    return bar().Panel(index);
}

CStatusPanel& CVeltraStatusBar::Panel(const QString& key) const
{
    return bar().Panel(key);
}

void CVeltraStatusBar::SetEnabled(bool on)
{
    bar().setEnabled(on);
    m_enabled = on;
}

void CVeltraStatusBar::SetVisible(bool on)
{
    bar().setVisible(on);
    m_visible = on;
}

void CVeltraStatusBar::SetEditPanelVisible(bool on)
{
    Panel(3).SetPanelVisible(on);
    m_editPanelVisible = on;
}

void CVeltraStatusBar::SetDatePanelVisible(bool on)
{
    Panel(6).SetPanelVisible(on);
    m_datePanelVisible = on;
}

void CVeltraStatusBar::SetUserPanelVisible(bool on)
{
    Panel(2).SetPanelVisible(on);
    m_userPanelVisible = on;
}

void CVeltraStatusBar::SetEditPanelEnabled(bool on)
{
    Panel(3).SetPanelEnabled(on);
    m_editPanelEnabled = on;
}

void CVeltraStatusBar::SetUserPanelEnabled(bool on)
{
    Panel(2).SetPanelEnabled(on);
    m_userPanelEnabled = on;
}

void CVeltraStatusBar::Message(const QString& message, bool otherPanel)
{
    Panel(otherPanel ? 2 : 1).SetText(QLatin1Char(' ') + message + QLatin1Char(' '));
}

QString CVeltraStatusBar::DateText(const QDate& date)
{
    return QLocale::c().toString(date, QStringLiteral(" MMM d, yyyy "));
}

void CVeltraStatusBar::Initialize(CStatusPanels* bar)
{
    if (!bar) {
        Prompts::MsgBox(QStringLiteral("Bad Parameter to CVeltraStatus.Initialize(). Cannot Init"),
                        MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("Initialize"));
        return;
    }
    using P = CStatusPanel;
    m_drawnPercent = -1; // a new control shows no bar yet
    IgnoreErrors([&] { bar->hide(); });
    IgnoreErrors([&] { bar->Clear(); });

    IgnoreErrors([&] {
        P& main = bar->Add(QStringLiteral("Main"));
        main.SetPanelAlignment(P::AlignLeft);
        main.SetPanelAutoSize(P::SizeSpring);
    });
    IgnoreErrors([&] {
        P& user = bar->Add(QStringLiteral("User"));
        user.SetPanelAlignment(P::AlignCenter);
        user.SetPanelAutoSize(P::SizeContents);
        user.SetMinWidth(Px(1000));
        user.SetPanelVisible(m_userPanelVisible);
        user.SetPanelEnabled(m_userPanelEnabled);
    });
    IgnoreErrors([&] {
        P& edit = bar->Add(QStringLiteral("Edit"), QStringLiteral("Edit"));
        edit.SetPanelAlignment(P::AlignCenter);
        edit.SetPanelAutoSize(P::SizeFixed);
        edit.SetMinWidth(Px(1000));
        edit.SetPanelVisible(m_editPanelVisible);
        edit.SetPanelEnabled(m_editPanelEnabled);
    });
    IgnoreErrors([&] {
        P& project = bar->Add(QStringLiteral("Project"));
        project.SetPanelAlignment(P::AlignCenter);
        project.SetPanelAutoSize(P::SizeContents);
        project.SetMinWidth(Px(1000));
        project.SetPanelVisible(false);
        project.SetPanelEnabled(true);
    });
    IgnoreErrors([&] {
        P& nodes = bar->Add(QStringLiteral("Nodes"));
        nodes.SetPanelAlignment(P::AlignCenter);
        nodes.SetPanelAutoSize(P::SizeContents);
        nodes.SetMinWidth(Px(700));
        nodes.SetPanelVisible(true);
        nodes.SetPanelEnabled(true);
    });
    IgnoreErrors([&] {
        P& date = bar->Add(QStringLiteral("Date"));
        date.SetPanelAlignment(P::AlignCenter);
        date.SetPanelAutoSize(P::SizeContents);
        date.SetPanelVisible(m_datePanelVisible);
        date.SetText(DateText(QDate::currentDate()));
    });
    IgnoreErrors([&] {
        P& space = bar->Add(QStringLiteral("Space"));
        space.SetPanelAlignment(P::AlignRight);
        space.SetPanelAutoSize(P::SizeFixed);
        space.SetPanelVisible(true);
        space.SetFlat(true);
        space.SetMinWidth(Px(240));
    });

    IgnoreErrors([&] { bar->setVisible(m_visible); });
    IgnoreErrors([&] { bar->setEnabled(m_enabled); });
    m_bar = bar;
}

void CVeltraStatusBar::message(const QString& text)
{
    IgnoreErrors([&] { Message(text, false); });
    IgnoreErrors([&] { bar().repaint(); });
}

std::optional<QString> CVeltraStatusBar::currentMessage() const
{
    if (!m_bar || m_bar->Count() < 1)
        return std::nullopt;
    // Message() framed the text with one blank on each side.
    const QString shown = m_bar->Panel(1).Text();
    return shown.size() >= 2 && shown.front() == QLatin1Char(' ') && shown.back() == QLatin1Char(' ')
               ? shown.mid(1, shown.size() - 2)
               : shown;
}

void CVeltraStatusBar::progress(int percent)
{
    // Long work on the interface thread reports here (its callers keep the user out), each
    // new percent. Drawing the windows costs about a millisecond, which over a hundred reports
    // in a second of work is felt: the bar is drawn when it appears or goes and otherwise at
    // most every kDrawEveryMs, often enough for the window to stay drawn and the bar to move.
    constexpr qint64 kDrawEveryMs = 100;
    const bool appearsOrGoes = (percent == -1) != (m_drawnPercent == -1);
    if (!appearsOrGoes && m_drawn.isValid() && m_drawn.elapsed() < kDrawEveryMs)
        return;
    m_drawn.start();
    m_drawnPercent = percent;
    Utilities::ShowWorkProgress(percent);
}

void CVeltraStatusBar::setProjectPanel(const QString& text)
{
    IgnoreErrors([&] {
        if (text.isEmpty()) {
            Panel(4).SetPanelVisible(false);
            return;
        }
        Panel(4).SetPanelVisible(true);
        Panel(4).SetText(QLatin1Char(' ') + text + QLatin1Char(' '));
    });
}

void CVeltraStatusBar::setNodesPanel(const QString& text)
{
    IgnoreErrors([&] {
        if (text.isEmpty()) {
            Panel(5).SetPanelVisible(false);
            return;
        }
        Panel(5).SetPanelVisible(true);
        Panel(5).SetText(QLatin1Char(' ') + text + QStringLiteral(" Nodes "));
    });
}
