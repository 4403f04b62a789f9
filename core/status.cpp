#include "core/status.h"

namespace {
IStatusSink* g_sink = nullptr;
}

IStatusSink* Status::Install(IStatusSink* sink)
{
    IStatusSink* previous = g_sink;
    g_sink = sink;
    return previous;
}

IStatusSink* Status::Current()
{
    return g_sink;
}

void Status::Message(const QString& text)
{
    if (g_sink)
        g_sink->message(text);
}

void Status::Progress(int percent)
{
    if (g_sink)
        g_sink->progress(percent);
}

void Status::SetProjectPanel(const QString& text)
{
    if (g_sink)
        g_sink->setProjectPanel(text);
}

void Status::SetNodesPanel(const QString& text)
{
    if (g_sink)
        g_sink->setNodesPanel(text);
}
