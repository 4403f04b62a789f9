// Helpers of the engine tests: tables in the engine's array layout, calls of the two routines
// with settable parameters, and private folders for engine files.
#pragma once

#include "engine/korvan_engine.h"

#include <cstdint>
#include <string>
#include <vector>

namespace enginetest {

// nRows = data rows + 1 (row 0 is empty); every field ranges over 0..1.
struct Table {
    Table(int32_t inputs, int32_t dataRows);
    int32_t fields;
    int32_t rows;
    std::vector<float> patterns, fmin, fmax;
    std::vector<float> bpResults;
    std::vector<int16_t> classResults;

    float* Row(int32_t r) { return patterns.data() + static_cast<size_t>(r) * fields; }
    // Marks row r unusable for both kinds.
    void Skip(int32_t r);
};

// A new empty folder of this test process; "<folder>/<name>" for an engine file.
std::string NewFolder();
std::string FileIn(const std::string& folder, const std::string& name);
std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

struct Bp {
    std::string file;
    int16_t hidden = 4;
    int16_t jogMax = 25;
    float initMax = 1.0f;
    float learnRate = 0.5f;
    float momentum = 0.5f;
    int32_t cycles = 0;

    int32_t operator()(Table& t, int16_t command);
};

struct SFam {
    std::string file;
    float vigBase = 0.5f;
    float alpha = 0.001f;
    float beta = 1.0f;
    float epsilon = 0.0001f;
    int32_t cycles = 0;

    int32_t operator()(Table& t, int16_t command);
};

}  // namespace enginetest
