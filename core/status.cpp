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
