#include "core/widgets/veltra.h"

// Created in this order: the project list, the status bar, then the recent-file list, which
// reads the settings store (start-up names the store before its first use of gVeltra).
CVeltra::CVeltra()
    : m_project(std::make_unique<CProject>()),
      m_statusBar(std::make_unique<CVeltraStatusBar>()),
      m_mruList(std::make_unique<CMRUList>())
{
}

CVeltra::~CVeltra() = default;

CVeltra& gVeltra()
{
    static CVeltra veltra;
    return veltra;
}
