#include "support/script_movie.h"

#include <gtest/gtest.h>

#include "support/swf_builder.h"
#include "../raster/raster_test_util.h"

namespace testing_support {

std::unique_ptr<Loaded> Load(const std::vector<std::vector<uint8_t>>& tags, uint8_t version) {
    SwfFields fields;
    fields.version = version;
    fields.xMax = 2000;
    fields.yMax = 1000;
    fields.tags.clear();
    for (const auto& t : tags) AppendBytes(fields.tags, t);
    AppendBytes(fields.tags, EndTag());
    const std::string bytes = BuildSwfFile(fields);
    swf::SwfFile file;
    std::string error;
    EXPECT_TRUE(swf::ParseSwf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), file, error)) << error;
    auto loaded = std::make_unique<Loaded>();
    Loaded* l = loaded.get();
    l->player->setTraceSink([l](const std::string& s) { l->traced.push_back(s); });
    l->player->setLogSink([l](const std::string& s) { l->logged.push_back(s); });
    EXPECT_TRUE(l->player->load(file, error)) << error;
    return loaded;
}

uint32_t PixelAt(movie::Engine& player, int x, int y) {
    raster_test::Picture pic(100, 50);
    player.draw(pic.target, false, true);
    return pic.at(x, y);
}

}  // namespace testing_support
