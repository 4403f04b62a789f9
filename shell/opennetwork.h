// The members that the commands call on the open network object whatever its kind: one way
// to reach gBackProp or gSFam, chosen by gProjectType as the commands choose it.
#pragma once

#include "core/kverror.h"
#include "kdb/value.h"
#include "network/backprop.h"
#include "network/sfam.h"
#include "shell/modmenu.h"
#include "shell/networkopener.h"

#include <vector>

namespace OpenNetwork {

// Runs f(CBackProp&) for a back-propagation project, else f(CSFam&); raises 91 when that
// object is not set. Both calls must give the same type.
template <class F>
decltype(auto) Visit(F&& f)
{
    if (gProjectType == ntBackProp) {
        if (!gBackProp())
            throw KvError(KvErr::ObjectNotSet);
        return f(*gBackProp());
    }
    if (!gSFam())
        throw KvError(KvErr::ObjectNotSet);
    return f(*gSFam());
}

// The project file of the open object (raises 91 without one).
inline QString ProjectFileName()
{
    return Visit([](CNetworkProject& p) { return p.ProjectFileName(); });
}
inline int16_t CurrentNodes()
{
    return Visit([](auto& p) { return p.CurrentNodes(); });
}
inline void Reset()
{
    Visit([](auto& p) { p.Reset(); });
}
inline void Train()
{
    Visit([](auto& p) { p.Train(); });
}
inline void Verify()
{
    Visit([](auto& p) { p.Verify(); });
}
// Back-propagation only; an SFAM network has no weights to jog.
inline void JogWeights()
{
    Visit([](auto& p) {
        if constexpr (requires { p.JogWeights(); })
            p.JogWeights();
    });
}
// SFAM only; a back-propagation project has no class list.
inline void BuildClassList()
{
    Visit([](auto& p) {
        if constexpr (requires { p.BuildClassList(); })
            p.BuildClassList();
    });
}
// The prediction for one row of values indexed by field number: a number for a
// back-propagation project, the class value's text for an SFAM project.
inline kdb::Value Predict(const std::vector<double>& values)
{
    return Visit([&](auto& p) { return kdb::Value(p.Predict(values)); });
}

} // namespace OpenNetwork
