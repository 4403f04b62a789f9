// A bounded cache of browse rows in blocks of consecutive row numbers: the model keeps at most
// `maxBlocks` blocks and drops the one used least recently when a new one comes.
#pragma once

#include "kdb/value.h"

#include <QList>
#include <cstdint>
#include <list>
#include <unordered_map>
#include <vector>

class BlockCache {
public:
    using Row = QList<kdb::Value>;

    explicit BlockCache(int blockRows = 128, int maxBlocks = 64);

    int BlockRows() const { return m_blockRows; }
    int MaxBlocks() const { return m_maxBlocks; }
    int64_t BlockOf(int64_t row) const { return row / m_blockRows; }
    int64_t FirstRowOf(int64_t block) const { return block * m_blockRows; }

    // The cached row, or nullptr; a hit makes its block the most recently used.
    const Row* Find(int64_t row);
    bool HasBlock(int64_t block) const { return m_blocks.count(block) != 0; }
    // Stores the rows of a block (row FirstRowOf(block) first), dropping the least recently
    // used block when the cache is full.
    void Put(int64_t block, std::vector<Row> rows);
    // Changes one cached value; a row that is not cached is left alone.
    void SetValue(int64_t row, int column, const kdb::Value& value);
    void Clear();
    int BlockCount() const { return int(m_blocks.size()); }

private:
    struct Block {
        std::vector<Row> rows;
        std::list<int64_t>::iterator use;
    };
    int m_blockRows;
    int m_maxBlocks;
    std::unordered_map<int64_t, Block> m_blocks;
    std::list<int64_t> m_use; // front: most recently used
};
