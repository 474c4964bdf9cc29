// Compares two files of raw frames byte by byte: compare_frames A B TOLERANCE. Prints how
// many bytes differ and by how much at most; exits 0 when the files are the same length and
// no byte differs by more than TOLERANCE.
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: tevlin_compare_frames A B TOLERANCE\n");
        return 2;
    }
    std::FILE* a = std::fopen(argv[1], "rb");
    std::FILE* b = std::fopen(argv[2], "rb");
    if (a == nullptr || b == nullptr) {
        std::fprintf(stderr, "compare_frames: cannot open %s\n", a == nullptr ? argv[1] : argv[2]);
        return 2;
    }
    const int tolerance = std::atoi(argv[3]);
    std::vector<unsigned char> x(1 << 20), y(1 << 20);
    long long bytes = 0, differing = 0, beyond = 0;
    int worst = 0;
    bool sameLength = true;
    for (;;) {
        const size_t n = std::fread(x.data(), 1, x.size(), a), m = std::fread(y.data(), 1, y.size(), b);
        if (n != m) sameLength = false;
        const size_t k = n < m ? n : m;
        for (size_t i = 0; i < k; ++i) {
            const int d = std::abs(int(x[i]) - int(y[i]));
            if (d == 0) continue;
            ++differing;
            if (d > tolerance) ++beyond;
            if (d > worst) worst = d;
        }
        bytes += static_cast<long long>(k);
        if (n == 0 || m == 0 || !sameLength) break;
    }
    std::fclose(a);
    std::fclose(b);
    std::printf("%lld bytes compared: %lld differ, by at most %d; %lld beyond %d%s\n", bytes, differing, worst, beyond,
                tolerance, sameLength ? "" : "; the lengths differ");
    return sameLength && beyond == 0 ? 0 : 1;
}
