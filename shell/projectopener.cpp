#include "shell/projectopener.h"

namespace {
IProjectOpener* g_opener = nullptr;
}

IProjectOpener* ProjectOpener::Install(IProjectOpener* opener)
{
    IProjectOpener* previous = g_opener;
    g_opener = opener;
    return previous;
}

IProjectOpener* ProjectOpener::Current()
{
    return g_opener;
}
