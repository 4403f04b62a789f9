// Hears the progress that work tells the status bar while it lives: each report goes to
// `heard` (and to `onProgress`), and on to the sink that was installed before, if any.
#pragma once

#include "core/status.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

// What the status bar heard of one piece of work: 0 first, then only rising, 100, and -1 last.
inline void ExpectRisingToTheEnd(const std::vector<int>& heard)
{
    ASSERT_GE(heard.size(), 3u);
    EXPECT_EQ(heard.front(), 0);
    EXPECT_EQ(heard[heard.size() - 2], 100);
    EXPECT_EQ(heard.back(), -1);
    for (size_t i = 1; i + 1 < heard.size(); ++i)
        EXPECT_GT(heard[i], heard[i - 1]) << i;
}

class ProgressListener final : public IStatusSink {
public:
    explicit ProgressListener(std::function<void(int)> onProgress = {})
        : m_onProgress(std::move(onProgress)), m_previous(Status::Install(this))
    {
    }
    ~ProgressListener() override { Status::Install(m_previous); }
    ProgressListener(const ProgressListener&) = delete;
    ProgressListener& operator=(const ProgressListener&) = delete;

    void message(const QString& text) override
    {
        if (m_previous)
            m_previous->message(text);
    }
    void progress(int percent) override
    {
        heard.push_back(percent);
        if (m_previous)
            m_previous->progress(percent);
        if (m_onProgress)
            m_onProgress(percent);
    }
    void setProjectPanel(const QString& text) override
    {
        if (m_previous)
            m_previous->setProjectPanel(text);
    }
    void setNodesPanel(const QString& text) override
    {
        if (m_previous)
            m_previous->setNodesPanel(text);
    }

    std::vector<int> heard;

private:
    std::function<void(int)> m_onProgress;
    IStatusSink* m_previous;
};
