// A process-wide slot holding one installed service (not owned): the seams through which the
// program and the tests plug in prompts, status texts and the hosts of the lower layers.
// Install answers the service it replaces, so that the caller can put it back.
#pragma once

#include <type_traits>
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

// Installs `value` through a slot's Install function (which answers what it replaces) for the
// guard's lifetime, and puts the replaced one back at its end. One style for every slot, those
// holding a service object and those holding a function.
template <class Value>
class ScopedService {
public:
    using InstallFn = Value (*)(Value);

    ScopedService(InstallFn install, std::type_identity_t<Value> value)
        : m_install(install), m_previous(install(std::move(value)))
    {
    }
    ~ScopedService() { m_install(std::move(m_previous)); }
    ScopedService(const ScopedService&) = delete;
    ScopedService& operator=(const ScopedService&) = delete;

private:
    InstallFn m_install;
    Value m_previous;
};
