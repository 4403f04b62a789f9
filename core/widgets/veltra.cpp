#include "core/widgets/veltra.h"

CVeltra::CVeltra() : m_project(std::make_unique<CProject>()) {}

CVeltra::~CVeltra() = default;

CVeltra& gVeltra()
{
    static CVeltra veltra;
    return veltra;
}
