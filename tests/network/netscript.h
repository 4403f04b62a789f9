// Test faces that answer chosen engine commands from a script (the real engine answers the
// rest), record every command, and a status sink and a chart host that record what they get.
#pragma once

#include "core/status.h"
#include "tests/network/netfixture.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <map>

template <class Face>
class Scripted : public Face {
public:
    // The next answers of a command; an empty queue lets the real engine answer.
    void Answer(EngineCommand command, std::initializer_list<int32_t> results)
    {
        for (int32_t r : results)
            m_script[command].push_back(r);
    }
    // Called when a scripted answer is given, before it returns (to fill the results).
    std::function<void(Scripted&, EngineCommand)> onScripted;
    int Count(EngineCommand command) const
    {
        return int(std::count(calls.begin(), calls.end(), command));
    }
    std::vector<EngineCommand> calls;

    int32_t CallEngine(EngineCommand command) override
    {
        calls.push_back(command);
        auto it = m_script.find(command);
        if (it != m_script.end() && !it->second.empty()) {
            const int32_t r = it->second.front();
            it->second.pop_front();
            if (onScripted)
                onScripted(*this, command);
            return r;
        }
        return Face::CallEngine(command);
    }

private:
    std::map<EngineCommand, std::deque<int32_t>> m_script;
};

using ScriptedBackProp = Scripted<TestBackProp>;
using ScriptedSFam = Scripted<TestSFam>;

class RecordingStatus : public IStatusSink {
public:
    RecordingStatus() : m_previous(Status::Install(this)) {}
    ~RecordingStatus() override { Status::Install(m_previous); }
    void message(const QString& text) override { messages << text; }
    void progress(int) override {}
    void setProjectPanel(const QString&) override {}
    void setNodesPanel(const QString&) override {}
    QStringList messages;

private:
    IStatusSink* m_previous;
};
