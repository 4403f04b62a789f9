// A process-wide slot holding one installed service (not owned): the seams through which the
// program and the tests plug in prompts, status texts and the hosts of the lower layers.
// Install answers the service it replaces, so that the caller can put it back.
#pragma once

#include <utility>

template <class Service>
class ServiceSlot {
public:
    Service* Install(Service* service) { return std::exchange(m_current, service); }
    Service* Get() const { return m_current; }
    // The installed service, or `fallback` while none is.
    Service& GetOr(Service& fallback) const { return m_current ? *m_current : fallback; }

private:
    Service* m_current = nullptr;
};
