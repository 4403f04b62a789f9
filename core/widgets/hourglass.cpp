#include "core/widgets/hourglass.h"

#include "core/errorbox.h"
#include "core/widgets/commandbar.h"
#include "core/widgets/veltra.h"

#include <QApplication>
#include <QPointer>
#include <QStatusBar>
#include <QWidget>

#include <vector>

int CHourglass::s_depth = 0;

namespace {

// What the outermost guard switched off, so that exactly that is switched on again (a widget
// that was already off for its own reasons stays off).
struct BusyState {
    std::vector<QPointer<QWidget>> disabled;
    QPointer<CCommandBar> bar;
    bool cursorSet = false;
};

BusyState& busy()
{
    static BusyState state;
    return state;
}

void keepOut()
{
    BusyState& st = busy();
    // The main window itself stays enabled: disabling it would disable every dialog and box
    // parented to it, and nothing shown during the long operation could be answered.
    if (QWidget* form = gVeltra().MainForm()) {
        for (QObject* child : form->children()) {
            auto* widget = qobject_cast<QWidget*>(child);
            if (!widget || widget->isWindow() || qobject_cast<QStatusBar*>(widget) || !widget->isEnabled())
                continue;
            widget->setEnabled(false);
            st.disabled.emplace_back(widget);
        }
        // Shortcuts live on the window's actions, not on its child widgets.
        if (CCommandBar* bar = MainToolBar()) {
            bar->SetBusy(true);
            st.bar = bar;
        }
    }
    if (qApp) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        st.cursorSet = true;
    }
}

void letIn()
{
    BusyState& st = busy();
    for (const QPointer<QWidget>& widget : st.disabled)
        if (widget)
            widget->setEnabled(true);
    st.disabled.clear();
    if (st.bar)
        st.bar->SetBusy(false);
    st.bar.clear();
    if (st.cursorSet && qApp)
        QApplication::restoreOverrideCursor();
    st.cursorSet = false;
}

} // namespace

CHourglass::CHourglass(bool value)
{
    SetValue(value);
}

CHourglass::~CHourglass()
{
    IgnoreErrors([&] {
        if (m_value) {
            m_value = false;
            leave();
        }
    });
}

void CHourglass::SetValue(bool value)
{
    PlainProcedure(QStringLiteral("CHourglass::Value"), [&] {
        if (value == m_value)
            return;
        m_value = value;
        if (value)
            enter();
        else
            leave();
    });
}

void CHourglass::enter()
{
    if (s_depth++ == 0)
        keepOut();
}

void CHourglass::leave()
{
    if (s_depth > 0 && --s_depth == 0)
        letIn();
}
