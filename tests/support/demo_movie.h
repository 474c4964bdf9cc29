#pragma once
// The sample movie of `make demo` and of the conversion benchmark, written with the SWF
// builder: gradients (linear, rotated, radial with a transparent edge), outlined shapes, a
// morph that goes back and forth, a nested sprite (a cart whose wheels are sprites that spin
// on their own), a clip layer that shows moving stripes through a round window, and
// translucent fills and colour transforms, so its transparent frames carry real alpha.

#include <string>

namespace testing_support {

inline constexpr int kDemoWidth = 640, kDemoHeight = 360;  // pixels
inline constexpr int kDemoFrames = 96;
inline constexpr int kDemoRate = 24;  // frames per second
inline constexpr int kDemoSpinnerFrames = 12;

// The movie as a file image (zlib-compressed).
std::string BuildDemoMovie();

}  // namespace testing_support
