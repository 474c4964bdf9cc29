#pragma once
// A fresh folder for one test, removed with everything in it when the test ends.

#include <filesystem>
#include <string>

namespace testing_support {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// The folder where tests leave files for checks outside the test binary (TEVLIN_TEST_OUTPUT),
// or the system's temporary folder.
std::filesystem::path TestOutputDir();

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// A Unix path from the build as a Windows program under Wine names it: on drive Z:, with
// backslashes.
inline std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path) c = c == '/' ? '\\' : c;
    return path;
}

}  // namespace testing_support
