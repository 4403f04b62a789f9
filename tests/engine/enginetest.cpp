#include "tests/engine/enginetest.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace enginetest {

Table::Table(int32_t inputs, int32_t dataRows)
    : fields(inputs + 1), rows(dataRows + 1),
      patterns(static_cast<size_t>(fields) * static_cast<size_t>(rows), 0.0f),
      fmin(static_cast<size_t>(fields), 0.0f), fmax(static_cast<size_t>(fields), 1.0f),
      bpResults(static_cast<size_t>(rows), 0.0f), classResults(static_cast<size_t>(rows), 0)
{
}

void Table::Skip(int32_t r)
{
    bpResults[static_cast<size_t>(r)] = KV_ENGINE_UNUSABLE_ROW;
    classResults[static_cast<size_t>(r)] = KV_ENGINE_UNUSABLE_ROW;
}

namespace {
struct Root {
    std::filesystem::path path;
    Root()
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/test_engine_XXXXXX";
        if (::mkdtemp(pattern.data()))
            path = pattern;
        else
            path = std::filesystem::temp_directory_path()
                   / ("test_engine_" + std::to_string(::getpid()));
    }
    ~Root()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};
}  // namespace

std::string NewFolder()
{
    static Root root;
    static int counter = 0;
    const auto folder = root.path / ("f" + std::to_string(++counter));
    std::filesystem::create_directories(folder);
    return folder.string();
}

std::string FileIn(const std::string& folder, const std::string& name)
{
    return folder + "/" + name;
}

std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

int32_t Bp::operator()(Table& t, int16_t command)
{
    return VTBACKPROP(t.patterns.data(), t.fields, t.rows, t.fmin.data(), t.fmax.data(),
                      t.bpResults.data(), &cycles, hidden, jogMax, initMax, learnRate, momentum,
                      file.c_str(), command);
}

int32_t SFam::operator()(Table& t, int16_t command)
{
    return VTSFAM(t.patterns.data(), t.fields, t.rows, t.fmin.data(), t.fmax.data(),
                  t.classResults.data(), &cycles, vigBase, alpha, beta, epsilon, file.c_str(),
                  command);
}

}  // namespace enginetest
