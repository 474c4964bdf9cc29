// Writes the drop picture and the icon: make_art OUT_DIR writes OUT_DIR/drop_hint.bmp and
// OUT_DIR/tevlin.ico.
#include <cstdio>
#include <fstream>
#include <string>

#include "res/art.h"

namespace {

bool Write(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) std::fprintf(stderr, "make_art: cannot write %s\n", path.c_str());
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tevlin_make_art OUT_DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    return Write(dir + "/drop_hint.bmp", art::DropHintBmp()) && Write(dir + "/tevlin.ico", art::IconFile()) ? 0 : 1;
}
