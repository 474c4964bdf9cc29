// Writes the demo movie to the file named by its one argument.
#include <cstdio>
#include <fstream>

#include "support/demo_movie.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tevlin_demo_movie OUT.swf\n");
        return 2;
    }
    const std::string movie = testing_support::BuildDemoMovie();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(movie.data(), static_cast<std::streamsize>(movie.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "tevlin_demo_movie: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
