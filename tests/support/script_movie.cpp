#include "support/script_movie.h"

#include <gtest/gtest.h>

#include "support/swf_builder.h"
#include "../raster/raster_test_util.h"

namespace testing_support {

std::string MovieFile(const std::vector<std::vector<uint8_t>>& tags, uint8_t version, int widthPx, int heightPx) {
    SwfFields fields;
    fields.version = version;
    fields.xMax = widthPx * 20;
    fields.yMax = heightPx * 20;
    fields.tags.clear();
    for (const auto& t : tags) AppendBytes(fields.tags, t);
    AppendBytes(fields.tags, EndTag());
    return BuildSwfFile(fields);
}

namespace {

std::unique_ptr<Loaded> WithSinks() {
    auto loaded = std::make_unique<Loaded>();
    Loaded* l = loaded.get();
    l->player->setTraceSink([l](const std::string& s) { l->traced.push_back(s); });
    l->player->setLogSink([l](const std::string& s) { l->logged.push_back(s); });
    return loaded;
}

}  // namespace

std::unique_ptr<Loaded> Load(const std::vector<std::vector<uint8_t>>& tags, uint8_t version) {
    const std::string bytes = MovieFile(tags, version);
    swf::SwfFile file;
    std::string error;
    EXPECT_TRUE(swf::ParseSwf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), file, error)) << error;
    auto loaded = WithSinks();
    EXPECT_TRUE(loaded->player->load(file, error)) << error;
    return loaded;
}

std::unique_ptr<Loaded> LoadFile(const std::string& path, uint64_t definitionBudget) {
    auto loaded = WithSinks();
    loaded->player->setDefinitionBudget(definitionBudget);
    std::string error;
    EXPECT_TRUE(loaded->player->loadFile(path.c_str(), error)) << error;
    return loaded;
}

uint32_t PixelAt(movie::Engine& player, int x, int y) {
    raster_test::Picture pic(100, 50);
    player.draw(pic.target, false, true);
    return pic.at(x, y);
}

Actions& Var(Actions& a, const std::string& name) { return a.push(name).op(action::kGetVariable); }

Actions& Member(Actions& a, const std::string& object, const std::string& name) {
    return Var(a, object).push(name).op(action::kGetMember);
}

Actions& Method(Actions& a, const std::string& object, const std::string& method, std::vector<double> args) {
    for (auto it = args.rbegin(); it != args.rend(); ++it) a.push(*it);
    a.pushInt(static_cast<int>(args.size()));
    return Var(a, object).push(method).op(action::kCallMethod);
}

Actions& SetPoint(Actions& a, const std::string& name, double x, double y) {
    a.push(name).push("x").push(x).push("y").push(y).pushInt(2).op(action::kInitObject);
    return a.op(action::kSetVariable);
}

Actions& TraceFields(Actions& a, const std::string& object, const std::vector<std::string>& fields) {
    for (size_t i = 0; i < fields.size(); ++i) {
        Member(a, object, fields[i]);
        if (i > 0) a.op(action::kAdd2);
        if (i + 1 < fields.size()) a.push(",").op(action::kAdd2);
    }
    return a.trace();
}

}  // namespace testing_support
