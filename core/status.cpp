#include "core/status.h"

#include "core/serviceslot.h"

namespace {
ServiceSlot<IStatusSink> g_slot;
}

IStatusSink* Status::Install(IStatusSink* sink)
{
    return g_slot.Install(sink);
}

IStatusSink* Status::Current()
{
    return g_slot.Get();
}

void Status::Message(const QString& text)
{
    if (IStatusSink* sink = g_slot.Get())
        sink->message(text);
}

void Status::Progress(int percent)
{
    if (IStatusSink* sink = g_slot.Get())
        sink->progress(percent);
}

void Status::SetProjectPanel(const QString& text)
{
    if (IStatusSink* sink = g_slot.Get())
        sink->setProjectPanel(text);
}

void Status::SetNodesPanel(const QString& text)
{
    if (IStatusSink* sink = g_slot.Get())
        sink->setNodesPanel(text);
}

namespace {
// What the panel shows; none without a sink or when the sink cannot tell.
std::optional<QString> shownNow()
{
    IStatusSink* sink = g_slot.Get();
    return sink ? sink->currentMessage() : std::nullopt;
}
}

Status::CStatusText::CStatusText(const QString& text, OnEnd onEnd) : m_onEnd(onEnd)
{
    Show(text);
}

Status::CStatusText::~CStatusText()
{
    End();
}

bool Status::CStatusText::StillShown() const
{
    // A sink that cannot tell is taken to show it still: the text goes as it always went.
    const std::optional<QString> now = shownNow();
    return !now || *now == m_text;
}

void Status::CStatusText::Show(const QString& text)
{
    // Another step's text came in between: that one is what this text now stands over.
    if (!m_shown || !StillShown())
        m_replaced = shownNow().value_or(QString());
    m_shown = true;
    m_text = text;
    Message(text);
}

void Status::CStatusText::End()
{
    if (!m_shown)
        return;
    m_shown = false;
    if (StillShown())
        Message(m_onEnd == OnEnd::Restore ? m_replaced : QString());
}
