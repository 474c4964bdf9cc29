// Every input a fuzzer ever crashed on, kept in tests/fuzz/regressions/ as HARNESS-what, run
// again through the same harness code (compiled here under other names).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

extern "C" int FuzzHeader(const uint8_t* data, size_t size);
extern "C" int FuzzTags(const uint8_t* data, size_t size);
extern "C" int FuzzImage(const uint8_t* data, size_t size);
extern "C" int FuzzEngine(const uint8_t* data, size_t size);
extern "C" int FuzzAvm1(const uint8_t* data, size_t size);
extern "C" int FuzzMedia(const uint8_t* data, size_t size);

namespace {

using Harness = int (*)(const uint8_t*, size_t);

TEST(FuzzRegressions, EveryCrashFoundRunsCleanNow) {
    const std::map<std::string, Harness> harnesses = {
        {"header", FuzzHeader}, {"tags", FuzzTags}, {"image", FuzzImage}, {"engine", FuzzEngine}, {"avm1", FuzzAvm1},
        {"media", FuzzMedia}};
    int ran = 0;
    for (const auto& e : std::filesystem::directory_iterator(TEVLIN_FUZZ_REGRESSIONS)) {
        const std::string name = e.path().filename().string();
        const auto h = harnesses.find(name.substr(0, name.find('-')));
        ASSERT_NE(h, harnesses.end()) << name << " names no harness";
        std::ifstream in(e.path(), std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_FALSE(bytes.empty()) << name;
        // Every harness takes every input: a crash found by one must not hide in another.
        for (const auto& [harness, run] : harnesses) {
            SCOPED_TRACE(name + " through " + harness);
            EXPECT_EQ(run(bytes.data(), bytes.size()), 0);
        }
        ++ran;
    }
    EXPECT_GT(ran, 0);
}

}  // namespace
