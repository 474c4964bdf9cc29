// Drawing allocates nothing once the rasterizer's buffers have grown: a counting allocator
// replaces the global operator new in this test binary.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "raster/canvas.h"
#include "raster_test_util.h"

namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};
}  // namespace

// These replace the global allocation functions; malloc and free are their storage.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    if (g_counting) ++g_allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace raster;

void DrawScene(Canvas& canvas, const std::vector<Path>& paths, const std::vector<Paint>& shapePaints) {
    canvas.clear({255, 255, 255, 255});
    for (size_t i = 0; i < paths.size(); ++i) {
        canvas.fillPath(paths[i], Matrix::translate(float(i % 7), float(i % 5)),
                        Paint::Solid({uint8_t(i * 40), 80, 200, 200}));
    }
    canvas.pushLayer();
    canvas.strokePath(paths[2], Matrix(), StrokeStyle(), Paint::Solid({0, 0, 0, 255}));
    canvas.popLayer(0.5f, BlendMode::kMultiply);
    canvas.beginShape();
    canvas.addShapeRegion(0, paths[0], Matrix());
    canvas.addShapeRegion(1, paths[1], Matrix());
    canvas.fillShape(shapePaints);
}

TEST(Allocation, SteadyStateFramesAllocateNothing) {
    std::vector<Path> paths(12);
    for (size_t i = 0; i < paths.size(); ++i) {
        paths[i].moveTo(5, 5);
        paths[i].quadTo(float(60 + i * 9), 10, 120, float(90 + i * 3));
        paths[i].lineTo(float(10 + i), 110);
        paths[i].close();
    }
    const std::vector<Paint> shapePaints = {Paint::Solid({255, 0, 0, 255}), Paint::Solid({0, 255, 0, 255})};
    raster_test::Picture pic(160, 120);
    Canvas canvas(pic.target);
    DrawScene(canvas, paths, shapePaints);  // the first frame grows the buffers
    g_allocations = 0;
    g_counting = true;
    for (int frame = 0; frame < 3; ++frame) DrawScene(canvas, paths, shapePaints);
    g_counting = false;
    EXPECT_EQ(g_allocations.load(), 0);
    EXPECT_EQ(pic.alpha(60, 60), 255u);  // and it did draw
}

}  // namespace
