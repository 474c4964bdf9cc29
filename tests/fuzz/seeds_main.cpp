// Writes seed inputs for the image and interpreter fuzzers into a folder: the test
// fixtures' JPEG, PNG and GIF behind the image fuzzer's parameter bytes, and a few scripts.
#include <cstdio>
#include <string>
#include <vector>

#include "../image/jpeg_fixture.h"
#include "../image/picture_fixtures.h"
#include "support/action_builder.h"

namespace {

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

std::vector<uint8_t> Tagged(uint8_t pick, const uint8_t* data, size_t size) {
    std::vector<uint8_t> out = {pick, 8, 0, 8, 0, 0};
    out.insert(out.end(), data, data + size);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tevlin_fuzz_seeds IMAGE_DIR SCRIPT_DIR\n");
        return 2;
    }
    const std::string images = argv[1], scripts = argv[2];
    using namespace testing_support;
    bool ok = Write(images + "/jpeg", Tagged(1, kBlocksJpeg, sizeof kBlocksJpeg)) &&
              Write(images + "/png", Tagged(4, kSmallPng, sizeof kSmallPng)) &&
              Write(images + "/gif", Tagged(4, kSmallGif, sizeof kSmallGif));
    std::vector<uint8_t> loop = Actions().set("i", 0.0).label("top").push("i").push("i").op(action::kGetVariable)
                                    .op(action::kIncrement).op(action::kSetVariable).push(10.0).push("i")
                                    .op(action::kGetVariable).op(action::kLess2).branchIf("top").bytes();
    loop.insert(loop.begin(), 6);
    std::vector<uint8_t> paths = Actions().setTarget("/a").op(action::kStop).push("_root.a:v").push("x")
                                     .op(action::kSetVariable).push("a").op(action::kGetVariable).push("v")
                                     .op(action::kGetMember).trace().push("x").gotoFrame2(true).bytes();
    paths.insert(paths.begin(), 8);
    ok = ok && Write(scripts + "/loop", loop) && Write(scripts + "/paths", paths);
    return ok ? 0 : 1;
}
