#include "support/temp_dir.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace testing_support {

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::error_code ec;
    for (int attempt = 0;; ++attempt) {
        std::ostringstream name;
        name << "tevlin-test-" << stamp << "-" << counter++;
        path_ = std::filesystem::temp_directory_path(ec) / name.str();
        if (std::filesystem::create_directory(path_, ec)) break;
        if (attempt >= 100) throw std::runtime_error("cannot create a temporary folder: " + ec.message());
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TestOutputDir() {
    if (const char* dir = std::getenv("TEVLIN_TEST_OUTPUT"); dir != nullptr && *dir != '\0') {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        return dir;
    }
    return std::filesystem::temp_directory_path();
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace testing_support
