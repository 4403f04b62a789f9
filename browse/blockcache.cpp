#include "browse/blockcache.h"

#include <algorithm>

BlockCache::BlockCache(int blockRows, int maxBlocks)
    : m_blockRows(std::max(1, blockRows)), m_maxBlocks(std::max(1, maxBlocks))
{
}

const BlockCache::Row* BlockCache::Find(int64_t row)
{
    if (row < 0)
        return nullptr;
    const auto it = m_blocks.find(BlockOf(row));
    if (it == m_blocks.end())
        return nullptr;
    const size_t at = size_t(row - FirstRowOf(it->first));
    if (at >= it->second.rows.size())
        return nullptr;
    m_use.splice(m_use.begin(), m_use, it->second.use);
    return &it->second.rows[at];
}

void BlockCache::Put(int64_t block, std::vector<Row> rows)
{
    const auto it = m_blocks.find(block);
    if (it != m_blocks.end()) {
        it->second.rows = std::move(rows);
        m_use.splice(m_use.begin(), m_use, it->second.use);
        return;
    }
    while (int(m_blocks.size()) >= m_maxBlocks && !m_use.empty()) {
        m_blocks.erase(m_use.back());
        m_use.pop_back();
    }
    m_use.push_front(block);
    m_blocks.emplace(block, Block{std::move(rows), m_use.begin()});
}

void BlockCache::SetValue(int64_t row, int column, const kdb::Value& value)
{
    const auto it = m_blocks.find(BlockOf(row));
    if (it == m_blocks.end())
        return;
    const size_t at = size_t(row - FirstRowOf(it->first));
    if (at < it->second.rows.size() && column >= 0 && column < it->second.rows[at].size())
        it->second.rows[at][column] = value;
}

void BlockCache::Clear()
{
    m_blocks.clear();
    m_use.clear();
}
