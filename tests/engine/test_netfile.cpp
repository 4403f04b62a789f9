// The engine file: round trips of both kinds, reading into a fresh process, and every way a
// file can be wrong, each leaving the network in memory as it was.
#include "engine/netfile.h"
#include "engine/rng.h"
#include "tests/engine/enginetest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <new>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace enginetest;

namespace {
// While non-zero, a larger single request for memory fails as if memory had run out.
std::atomic<size_t> gAllocationCap{0};
}  // namespace

void* operator new(size_t n)
{
    const size_t cap = gAllocationCap.load(std::memory_order_relaxed);
    if (cap != 0 && n > cap)
        throw std::bad_alloc();
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
// Out of line, or the compiler takes the free() for a mismatch with the new-expressions.
__attribute__((noinline)) void operator delete(void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

Table Data(int32_t inputs, int32_t rows, bool classes)
{
    Table t(inputs, rows);
    kvengine::Pcg32 g(11);
    for (int32_t r = 1; r <= rows; ++r) {
        for (int32_t j = 1; j <= inputs; ++j)
            t.Row(r)[j] = g.Unit();
        t.Row(r)[0] = classes ? static_cast<float>(t.Row(r)[1] > 0.5f ? 2 : 1)
                              : 0.2f + 0.6f * t.Row(r)[1] * t.Row(r)[inputs];
    }
    return t;
}

// A trained back-propagation network written to its file, and its outputs.
struct TrainedBp {
    Table t = Data(3, 200, false);
    Bp bp;
    std::vector<float> outputs;
    int32_t error = 0;

    TrainedBp()
    {
        bp.file = FileIn(NewFolder(), "~KV00001.Tmp");
        bp.hidden = 6;
        EXPECT_EQ(bp(t, KV_ENGINE_INIT), 1);
        for (int pass = 0; pass < 10; ++pass)
            EXPECT_EQ(bp(t, KV_ENGINE_TRAIN), 1);
        EXPECT_EQ(bp(t, KV_ENGINE_WRITE), 1);
        error = bp(t, KV_ENGINE_RUN);
        outputs = t.bpResults;
    }
    ~TrainedBp() { VTRELEASE(bp.file.c_str()); }

    // The network in memory still gives the outputs it gave before.
    void ExpectUnchanged()
    {
        EXPECT_EQ(bp(t, KV_ENGINE_RUN), error);
        EXPECT_EQ(t.bpResults, outputs);
    }
};

}  // namespace

TEST(NetFileBackProp, RoundTripGivesIdenticalRunsAndTraining)
{
    TrainedBp n;
    const std::vector<uint8_t> image = ReadBytes(n.bp.file);
    ASSERT_GT(image.size(), 16u);
    EXPECT_EQ(std::string(image.begin(), image.begin() + 4), "KVNF");
    EXPECT_EQ(image[4] | image[5] << 8, 1);  // version
    EXPECT_EQ(image[6] | image[7] << 8, 1);  // back-propagation

    // A fresh process knows no network: Read alone must bring it back.
    VTRELEASE(n.bp.file.c_str());
    EXPECT_EQ(n.bp(n.t, KV_ENGINE_RUN), KV_ENGINE_ERR_NO_NETWORK);
    Table layout(3, 0);  // what a caller holds before its rows are built
    ASSERT_EQ(n.bp(layout, KV_ENGINE_READ), 1);
    n.ExpectUnchanged();

    // The momentum terms travel too: training on from the copy matches training on from
    // the file it was copied from.
    Bp other = n.bp;
    other.file = FileIn(NewFolder(), "copy.tmp");
    std::filesystem::copy_file(n.bp.file, other.file);
    ASSERT_EQ(other(n.t, KV_ENGINE_READ), 1);
    ASSERT_EQ(n.bp(n.t, KV_ENGINE_TRAIN), 1);
    ASSERT_EQ(other(n.t, KV_ENGINE_TRAIN), 1);
    ASSERT_EQ(n.bp(n.t, KV_ENGINE_WRITE), 1);
    ASSERT_EQ(other(n.t, KV_ENGINE_WRITE), 1);
    EXPECT_EQ(ReadBytes(n.bp.file), ReadBytes(other.file));
    VTRELEASE(other.file.c_str());
}

TEST(NetFileBackProp, WriteLeavesOnlyTheFile)
{
    TrainedBp n;
    ASSERT_EQ(n.bp(n.t, KV_ENGINE_WRITE), 1);
    const auto folder = std::filesystem::path(n.bp.file).parent_path();
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        EXPECT_EQ(e.path().filename(), "~KV00001.Tmp");
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST(NetFileBackProp, DamagedFilesAreRefusedAndChangeNothing)
{
    TrainedBp n;
    const std::vector<uint8_t> good = ReadBytes(n.bp.file);
    // One more pass, so that a wrongly accepted read would show.
    ASSERT_EQ(n.bp(n.t, KV_ENGINE_TRAIN), 1);
    n.error = n.bp(n.t, KV_ENGINE_RUN);
    n.outputs = n.t.bpResults;

    std::vector<uint8_t> flipped = good;
    flipped[flipped.size() / 2] ^= 0x10;
    std::vector<uint8_t> truncated(good.begin(), good.end() - 7);
    std::vector<uint8_t> headerOnly(good.begin(), good.begin() + 12);
    std::vector<uint8_t> newerVersion = good;
    newerVersion[4] = 2;
    std::vector<uint8_t> foreign(good.size(), 0x41);
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    for (const auto& image : {flipped, truncated, headerOnly, newerVersion, foreign, longer,
                              std::vector<uint8_t>{}}) {
        WriteBytes(n.bp.file, image);
        EXPECT_EQ(n.bp(n.t, KV_ENGINE_READ), KV_ENGINE_ERR_BAD_FILE) << image.size() << " bytes";
        n.ExpectUnchanged();
    }
}

TEST(NetFileBackProp, FileProblemsAndLayout)
{
    TrainedBp n;
    const std::string path = n.bp.file;

    std::filesystem::remove(path);
    EXPECT_EQ(n.bp(n.t, KV_ENGINE_READ), KV_ENGINE_ERR_FILE_IO);
    n.ExpectUnchanged();

    Bp elsewhere = n.bp;
    elsewhere.file = path + ".missing/net.tmp";
    EXPECT_EQ(elsewhere(n.t, KV_ENGINE_INIT), 1);
    EXPECT_EQ(elsewhere(n.t, KV_ENGINE_WRITE), KV_ENGINE_ERR_FILE_IO);
    VTRELEASE(elsewhere.file.c_str());

    // A file that is a folder.
    std::filesystem::create_directory(path);
    EXPECT_EQ(n.bp(n.t, KV_ENGINE_READ), KV_ENGINE_ERR_FILE_IO);
    EXPECT_EQ(n.bp(n.t, KV_ENGINE_WRITE), KV_ENGINE_ERR_FILE_IO);
    std::filesystem::remove(path);

    // A network of other inputs than the caller's arrays.
    ASSERT_EQ(n.bp(n.t, KV_ENGINE_WRITE), 1);
    Table wider = Data(4, 10, false);
    EXPECT_EQ(n.bp(wider, KV_ENGINE_READ), KV_ENGINE_ERR_LAYOUT);
    n.ExpectUnchanged();
}

TEST(NetFileBackProp, NamesUpToTheLongestAFolderHolds)
{
    TrainedBp n;
    const std::string folder = NewFolder();
    Bp longest = n.bp;
    longest.file = FileIn(folder, "~KV" + std::string(NAME_MAX - 7, '7') + ".Tmp");
    ASSERT_EQ(std::filesystem::path(longest.file).filename().string().size(), size_t(NAME_MAX));
    ASSERT_EQ(longest(n.t, KV_ENGINE_INIT), 1);
    EXPECT_EQ(longest(n.t, KV_ENGINE_WRITE), 1);
    EXPECT_EQ(longest(n.t, KV_ENGINE_READ), 1);
    std::vector<std::string> files;  // the aside file went where the file went
    for (const auto& e : std::filesystem::directory_iterator(folder))
        files.push_back(e.path().string());
    EXPECT_EQ(files, std::vector<std::string>{longest.file});
    VTRELEASE(longest.file.c_str());
}

// A named pipe in place of the file is no engine file; reading it must not wait for a writer.
TEST(NetFileBackProp, NamedPipeIsRefusedAtOnce)
{
    TrainedBp n;
    std::filesystem::remove(n.bp.file);
    ASSERT_EQ(::mkfifo(n.bp.file.c_str(), 0600), 0);
    std::atomic<bool> answered{false}, rescued{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 300 && !answered; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!answered) {  // let a blocked open go on, so that the test ends
            rescued = true;
            const int fd = ::open(n.bp.file.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
    });
    EXPECT_EQ(n.bp(n.t, KV_ENGINE_READ), KV_ENGINE_ERR_FILE_IO);
    answered = true;
    watchdog.join();
    EXPECT_FALSE(rescued);
    n.ExpectUnchanged();
}

TEST(NetFileKinds, EachRoutineRefusesTheOtherKindsFile)
{
    TrainedBp n;
    SFam s;
    s.file = n.bp.file;
    Table classes = Data(3, 50, true);
    EXPECT_EQ(s(classes, KV_ENGINE_READ), KV_ENGINE_ERR_WRONG_KIND);
    n.ExpectUnchanged();

    SFam own;
    own.file = FileIn(NewFolder(), "sfam.tmp");
    ASSERT_EQ(own(classes, KV_ENGINE_INIT), 1);
    ASSERT_GT(own(classes, KV_ENGINE_TRAIN), 0);
    ASSERT_EQ(own(classes, KV_ENGINE_WRITE), 1);
    Bp reader = n.bp;
    reader.file = own.file;
    EXPECT_EQ(reader(n.t, KV_ENGINE_READ), KV_ENGINE_ERR_WRONG_KIND);
    EXPECT_GE(own(classes, KV_ENGINE_RUN), 0);
    VTRELEASE(own.file.c_str());
}

TEST(NetFileSFam, RoundTripAndDamage)
{
    Table t = Data(3, 400, true);
    SFam s;
    s.file = FileIn(NewFolder(), "sfam.tmp");
    s.vigBase = 0.8f;
    ASSERT_EQ(s(t, KV_ENGINE_INIT), 1);
    const int32_t nodes = s(t, KV_ENGINE_TRAIN);
    ASSERT_GT(nodes, 1);
    ASSERT_EQ(s(t, KV_ENGINE_WRITE), 1);
    const int32_t wrong = s(t, KV_ENGINE_RUN);
    const std::vector<int16_t> outputs = t.classResults;
    const std::vector<uint8_t> good = ReadBytes(s.file);
    EXPECT_EQ(good[6] | good[7] << 8, 2);  // SFAM

    VTRELEASE(s.file.c_str());
    Table layout(3, 0);
    ASSERT_EQ(s(layout, KV_ENGINE_READ), 1);
    EXPECT_EQ(s(t, KV_ENGINE_RUN), wrong);
    EXPECT_EQ(t.classResults, outputs);
    // Training on a read network grows it from where it was.
    EXPECT_GE(s(t, KV_ENGINE_TRAIN), nodes);
    ASSERT_EQ(s(t, KV_ENGINE_READ), 1);

    std::vector<uint8_t> flipped = good;
    flipped[20] ^= 0x01;
    WriteBytes(s.file, flipped);
    EXPECT_EQ(s(t, KV_ENGINE_READ), KV_ENGINE_ERR_BAD_FILE);
    WriteBytes(s.file, std::vector<uint8_t>(good.begin(), good.end() - 1));
    EXPECT_EQ(s(t, KV_ENGINE_READ), KV_ENGINE_ERR_BAD_FILE);
    EXPECT_EQ(s(t, KV_ENGINE_RUN), wrong);
    EXPECT_EQ(t.classResults, outputs);
    VTRELEASE(s.file.c_str());
}

// An intact envelope around a payload that claims 2^29 inputs and no category: only the
// layout check may answer, before memory for such a network is asked for.
TEST(NetFileSFam, ClaimedLayoutOfAFileTakesNoMemory)
{
    Table t = Data(3, 100, true);
    SFam s;
    s.file = FileIn(NewFolder(), "sfam.tmp");
    ASSERT_EQ(s(t, KV_ENGINE_INIT), 1);
    ASSERT_GT(s(t, KV_ENGINE_TRAIN), 0);
    const int32_t wrong = s(t, KV_ENGINE_RUN);
    const std::vector<int16_t> outputs = t.classResults;

    kvengine::ByteWriter payload;
    payload.I32(1 << 29);
    payload.I32(0);
    WriteBytes(s.file, kvengine::WrapNetFile(kvengine::NetKind::SFam, payload.Bytes()));
    gAllocationCap = size_t(64) << 20;
    const int32_t code = s(t, KV_ENGINE_READ);
    gAllocationCap = 0;
    EXPECT_EQ(code, KV_ENGINE_ERR_LAYOUT);
    EXPECT_EQ(s(t, KV_ENGINE_RUN), wrong);
    EXPECT_EQ(t.classResults, outputs);
    VTRELEASE(s.file.c_str());
}

TEST(NetFileEnvelope, ChecksumIsTheStandardCrc32)
{
    const std::string text = "123456789";
    EXPECT_EQ(kvengine::Crc32(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
              0xCBF43926u);
}
