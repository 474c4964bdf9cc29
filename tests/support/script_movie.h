#pragma once
// Movies of a few tags loaded into the engine, with what their scripts trace and log kept.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "movie/engine.h"
#include "raster/paint_color.h"
#include "support/action_builder.h"

namespace testing_support {

struct Loaded {
    std::unique_ptr<movie::Engine> player = std::make_unique<movie::Engine>();
    std::vector<std::string> traced, logged;
};

// A 100 x 50 pixel movie of the tags given; the sinks are set before the first frame runs.
std::unique_ptr<Loaded> Load(const std::vector<std::vector<uint8_t>>& tags, uint8_t version = 10);
// The same movie as a file's bytes, and a movie read from a file (what it loads comes from
// beside it).
std::string MovieFile(const std::vector<std::vector<uint8_t>>& tags, uint8_t version = 10, int widthPx = 100,
                      int heightPx = 50);
std::unique_ptr<Loaded> LoadFile(const std::string& path, uint64_t definitionBudget = movie::kMaxDefinitionBytes);

// Opaque colours as PixelAt gives them.
inline const uint32_t kRed = raster::PremultipliedWord({255, 0, 0, 255});
inline const uint32_t kGreen = raster::PremultipliedWord({0, 255, 0, 255});
inline const uint32_t kBlue = raster::PremultipliedWord({0, 0, 255, 255});
inline const uint32_t kWhite = raster::PremultipliedWord({255, 255, 255, 255});

// The current frame drawn over the background, premultiplied; one pixel of it.
uint32_t PixelAt(movie::Engine& player, int x, int y);

// Script helpers: each leaves exactly what it says on the stack.
Actions& Var(Actions& a, const std::string& name);
Actions& Member(Actions& a, const std::string& object, const std::string& name);
// object.method(numbers...) with its result left on the stack.
Actions& Method(Actions& a, const std::string& object, const std::string& method, std::vector<double> args);
// name = {x: x, y: y}
Actions& SetPoint(Actions& a, const std::string& name, double x, double y);
// Traces "a,b,c,d" of the object's fields.
Actions& TraceFields(Actions& a, const std::string& object, const std::vector<std::string>& fields);

}  // namespace testing_support
