#include "core/status.h"

#include "core/serviceslot.h"

namespace {
ServiceSlot<IStatusSink> g_slot;
// The last command's result, while it may still be on the panel.
std::optional<QString> g_outcome;
// Failures told so far: a step knows whether one came while it stood.
uint64_t g_failures = 0;
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

bool outcomeShown()
{
    const std::optional<QString> now = shownNow();
    return g_outcome && now && *now == *g_outcome;
}
}

void Status::Outcome(const QString& text)
{
    Message(text);
    g_outcome = text;
}

void Status::Failed()
{
    ++g_failures;
    if (outcomeShown())
        Message(QString());
    g_outcome.reset();
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
    if (!m_shown || !StillShown()) {
        m_replaced = shownNow().value_or(QString());
        m_replacedOutcome = outcomeShown();
        m_failuresBefore = g_failures;
    }
    m_shown = true;
    m_text = text;
    Message(text);
}

void Status::CStatusText::End()
{
    if (!m_shown)
        return;
    m_shown = false;
    // A command's result is not given back after a failure: it would read as the failed step's.
    const bool stale = m_replacedOutcome && g_failures != m_failuresBefore;
    if (StillShown())
        Message(m_onEnd == OnEnd::Restore && !stale ? m_replaced : QString());
}
