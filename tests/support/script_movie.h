#pragma once
// Movies of a few tags loaded into the engine, with what their scripts trace and log kept.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "movie/engine.h"

namespace testing_support {

struct Loaded {
    std::unique_ptr<movie::Engine> player = std::make_unique<movie::Engine>();
    std::vector<std::string> traced, logged;
};

// A 100 x 50 pixel movie of the tags given; the sinks are set before the first frame runs.
std::unique_ptr<Loaded> Load(const std::vector<std::vector<uint8_t>>& tags, uint8_t version = 10);

// The current frame drawn over the background, premultiplied; one pixel of it.
uint32_t PixelAt(movie::Engine& player, int x, int y);

}  // namespace testing_support
