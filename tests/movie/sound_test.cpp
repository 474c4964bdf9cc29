// What the engine plays, frame by frame, with uncompressed sounds whose every sample is
// known: event sounds start at their frame's first sample and obey their SoundInfo; a
// timeline's stream follows the timeline through stops, gotos and removal.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "movie/engine.h"
#include "support/action_builder.h"
#include "support/script_movie.h"
#include "support/swf_builder.h"

namespace {

using namespace testing_support;

constexpr SoundFormatFields kPcm44Mono{3, 3, true, false};

std::vector<uint8_t> PcmBytes(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> bytes;
    for (int16_t s : samples) {
        bytes.push_back(static_cast<uint8_t>(s));
        bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
    }
    return bytes;
}

// A movie of `frames` frames at rate88; `perFrame(k)` gives frame k's control tags.
std::unique_ptr<movie::Engine> Load(int frames, uint16_t rate88, const std::vector<std::vector<uint8_t>>& head,
                                    const std::function<std::vector<std::vector<uint8_t>>(int)>& perFrame) {
    SwfFields fields;
    fields.version = 8;
    fields.xMax = 400;
    fields.yMax = 400;
    fields.rate88 = rate88;
    fields.frameCount = static_cast<uint16_t>(frames);
    fields.tags.clear();
    for (const auto& t : head) AppendBytes(fields.tags, t);
    for (int k = 0; k < frames; ++k) {
        for (const auto& t : perFrame(k)) AppendBytes(fields.tags, t);
        AppendBytes(fields.tags, ShowFrameTag());
    }
    AppendBytes(fields.tags, EndTag());
    const std::string bytes = BuildSwfFile(fields);
    swf::SwfFile file;
    std::string error;
    EXPECT_TRUE(swf::ParseSwf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), file, error)) << error;
    auto player = std::make_unique<movie::Engine>();
    EXPECT_TRUE(player->load(file, error)) << error;
    return player;
}

// The sound of frames 0 .. frames-1 as the converter takes it, left channel only: frame k
// holds the samples from k * 44100 / rate to (k + 1) * 44100 / rate.
std::vector<int16_t> Play(movie::Engine& player, int frames, uint64_t rate, uint64_t scale) {
    std::vector<int16_t> left;
    std::vector<int16_t> buffer;
    auto at = [&](uint64_t k) { return k * 44100 * scale / rate; };
    for (int k = 0; k < frames; ++k) {
        player.gotoFrame(k);
        EXPECT_EQ(player.stepSamples(k), at(uint64_t(k) + 1) - at(uint64_t(k)));
        player.mixAudio(buffer);
        for (size_t i = 0; i < buffer.size(); i += 2) left.push_back(buffer[i]);
    }
    return left;
}

size_t FirstNonZero(const std::vector<int16_t>& s) {
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != 0) return i;
    }
    return s.size();
}

TEST(Sound, AnEventSoundStartsAtTheFirstSampleOfItsFrame) {
    const std::vector<int16_t> tone(20000, 1234);
    for (auto [rate88, rate, scale, frame] : {std::tuple{24 << 8, 24u, 1u, 5}, std::tuple{0x0C80, 25u, 2u, 3},
                                              std::tuple{0x17FA, 6138u, 256u, 7}}) {
        auto player = Load(10, static_cast<uint16_t>(rate88), {DefineSoundTag(1, kPcm44Mono, 20000, PcmBytes(tone))},
                           [frame = frame](int k) {
                               return k == frame ? std::vector<std::vector<uint8_t>>{StartSoundTag(1)}
                                                 : std::vector<std::vector<uint8_t>>{};
                           });
        EXPECT_TRUE(player->makesSound());
        const std::vector<int16_t> left = Play(*player, 10, rate, scale);
        const auto start = static_cast<size_t>(uint64_t(frame) * 44100 * scale / rate);
        EXPECT_EQ(FirstNonZero(left), start) << "rate " << rate << "/" << scale;
        EXPECT_EQ(left[start], 1234);
        EXPECT_EQ(left.size(), uint64_t(10) * 44100 * scale / rate) << "the frames hold the time exactly";
    }
}

TEST(Sound, NoMultipleSyncStopLoopsAndInPoints) {
    const std::vector<int16_t> tone(44100, 1000);
    SoundInfoFields again;
    again.noMultiple = true;
    SoundInfoFields stop;
    stop.syncStop = true;
    auto player = Load(12, 24 << 8, {DefineSoundTag(1, kPcm44Mono, 44100, PcmBytes(tone))}, [&](int k) {
        std::vector<std::vector<uint8_t>> tags;
        if (k == 1) tags.push_back(StartSoundTag(1));
        if (k == 3) tags.push_back(StartSoundTag(1, again));  // playing already: not again
        if (k == 5) tags.push_back(StartSoundTag(1));         // a second voice
        if (k == 8) tags.push_back(StartSoundTag(1, stop));
        return tags;
    });
    const std::vector<int16_t> left = Play(*player, 12, 24, 1);
    auto at = [](int frame) { return static_cast<size_t>(frame * 1837.5); };
    EXPECT_EQ(left[at(1)], 1000);
    EXPECT_EQ(left[at(4)], 1000) << "no second voice at frame 3";
    EXPECT_EQ(left[at(6)], 2000) << "two voices from frame 5";
    EXPECT_EQ(left[at(8) - 1], 2000);
    EXPECT_EQ(left[at(8)], 0) << "the stop takes every voice of the sound, from its frame on";

    // A sound from its in point, looped twice: 100 samples a loop.
    std::vector<int16_t> ramp(300);
    for (int i = 0; i < 300; ++i) ramp[size_t(i)] = static_cast<int16_t>(i + 1);
    SoundInfoFields looped;
    looped.inPoint = 100;
    looped.outPoint = 200;
    looped.loops = 2;
    player = Load(2, 24 << 8, {DefineSoundTag(1, kPcm44Mono, 300, PcmBytes(ramp))}, [&](int k) {
        return k == 0 ? std::vector<std::vector<uint8_t>>{StartSoundTag(1, looped)} : std::vector<std::vector<uint8_t>>{};
    });
    const std::vector<int16_t> loops = Play(*player, 2, 24, 1);
    EXPECT_EQ(loops[0], 101);
    EXPECT_EQ(loops[99], 200);
    EXPECT_EQ(loops[100], 101);
    EXPECT_EQ(loops[199], 200);
    EXPECT_EQ(loops[200], 0);
}

// A stream of one block a frame, each block 1837 or 1838 samples of a ramp: the sample at
// frame f's start is f's own number times 10 plus one.
std::vector<uint8_t> RampBlock(int frame) {
    const size_t from = static_cast<size_t>(frame * 1837.5), to = static_cast<size_t>((frame + 1) * 1837.5);
    std::vector<int16_t> samples;
    for (size_t i = from; i < to; ++i) samples.push_back(static_cast<int16_t>(frame * 10 + 1));
    return PcmBytes(samples);
}

TEST(Sound, TheStreamFollowsItsTimelineThroughStopsAndGotos) {
    // Frames 0-11 play; frame 6 jumps back to frame 2 once (a variable says it did);
    // frame 9 stops the timeline.
    auto player = Load(12, 24 << 8, {SoundStreamHeadTag(kPcm44Mono, 1837)}, [](int k) {
        std::vector<std::vector<uint8_t>> tags{SoundStreamBlockTag(RampBlock(k))};
        if (k == 6) {
            tags.push_back(DoActionTag(Actions()
                                           .push("jumped").op(swf::ActionCode::kGetVariable).op(swf::ActionCode::kNot)
                                           .op(swf::ActionCode::kNot).op(swf::ActionCode::kIf, {5, 0})  // skip the jump
                                           .set("jumped", 1.0)
                                           .op(swf::ActionCode::kGotoFrame, {2, 0}).op(swf::ActionCode::kPlay)
                                           .bytes()));
        }
        if (k == 9) tags.push_back(DoActionTag(Actions().op(swf::ActionCode::kStop).bytes()));
        return tags;
    });
    const std::vector<int16_t> left = Play(*player, 16, 24, 1);
    auto at = [](int step) { return static_cast<size_t>(step * 1837.5); };
    // Steps 0-5 show frames 0-5, step 6 frame 2 again, steps 7-12 frames 3-8 ... 9 stops at step 13.
    for (int step = 0; step <= 5; ++step) EXPECT_EQ(left[at(step) + 5], step * 10 + 1) << "step " << step;
    EXPECT_EQ(left[at(6) + 5], 2 * 10 + 1) << "the goto starts the stream again at its frame's block";
    for (int step = 7; step <= 13; ++step) EXPECT_EQ(left[at(step) + 5], (step - 4) * 10 + 1) << "step " << step;
    EXPECT_EQ(left[at(14) + 5], 0) << "a stopped timeline's stream is silent";
    EXPECT_EQ(left[at(15) + 5], 0);
}

TEST(Sound, AStreamInASpritePlaysWhileTheSpriteIsOnStage) {
    std::vector<std::vector<uint8_t>> sprite{SoundStreamHeadTag(kPcm44Mono, 1837)};
    for (int k = 0; k < 20; ++k) {
        sprite.push_back(SoundStreamBlockTag(RampBlock(k)));
        sprite.push_back(ShowFrameTag());
    }
    auto player = Load(8, 24 << 8, {DefineSpriteTag(5, 20, sprite)}, [](int k) {
        std::vector<std::vector<uint8_t>> tags;
        if (k == 2) tags.push_back(PlaceObject2Tag({1, 5, false, std::pair{0, 0}}));
        if (k == 5) tags.push_back(RemoveObject2Tag(1));
        return tags;
    });
    const std::vector<int16_t> left = Play(*player, 8, 24, 1);
    auto at = [](int step) { return static_cast<size_t>(step * 1837.5); };
    EXPECT_EQ(left[at(1) + 5], 0);
    EXPECT_EQ(left[at(2) + 5], 1) << "placed at step 2: its frame 0";
    EXPECT_EQ(left[at(4) + 5], 21);
    EXPECT_EQ(left[at(5) + 5], 0) << "removed: its stream stops";
}

TEST(Sound, StopAllSoundsAndAMovieWithoutSound) {
    const std::vector<int16_t> tone(44100, 500);
    auto player = Load(6, 24 << 8, {DefineSoundTag(1, kPcm44Mono, 44100, PcmBytes(tone))}, [](int k) {
        std::vector<std::vector<uint8_t>> tags;
        if (k == 0) tags.push_back(StartSoundTag(1));
        if (k == 3) tags.push_back(DoActionTag(Actions().op(swf::ActionCode::kStopSounds).bytes()));
        return tags;
    });
    const std::vector<int16_t> left = Play(*player, 6, 24, 1);
    EXPECT_EQ(left[static_cast<size_t>(2 * 1837.5)], 500);
    EXPECT_EQ(left[static_cast<size_t>(3 * 1837.5)], 0);

    auto silent = Load(3, 24 << 8, {RectShapeTag(1, 20, 20, 1, 2, 3)}, [](int) { return std::vector<std::vector<uint8_t>>{}; });
    EXPECT_FALSE(silent->makesSound());
    std::vector<int16_t> buffer(200, 7);
    EXPECT_FALSE(silent->mixAudio(buffer));
    EXPECT_EQ(buffer.size(), 2u * 1837);
    EXPECT_EQ(buffer[0], 0);
}

// A 24 fps movie exporting a sound of 4000 samples counting up from 1 as "tone"; frame 1's
// script runs `script` on a Sound `s` attached to it, and traces "done" at its end.
std::unique_ptr<Loaded> SoundScriptMovie(const std::string& target, const std::function<void(Actions&)>& script,
                                         const Actions& atFrame3 = Actions(), uint8_t version = 8) {
    std::vector<int16_t> ramp(4000);
    for (int i = 0; i < 4000; ++i) ramp[size_t(i)] = static_cast<int16_t>(i + 1);
    std::vector<uint8_t> exports = {1, 0, 7, 0};
    for (char c : std::string("tone")) exports.push_back(static_cast<uint8_t>(c));
    exports.push_back(0);
    Actions a;
    a.push("s");
    if (!target.empty()) a.push(target);
    a.pushInt(target.empty() ? 0 : 1).push("Sound").op(swf::ActionCode::kNewObject).op(swf::ActionCode::kSetVariable);
    a.push("tone").pushInt(1);
    Var(a, "s").push("attachSound").op(swf::ActionCode::kCallMethod).op(swf::ActionCode::kPop);
    Var(a, "s").push("onSoundComplete").defineFunction("", {}, Actions().push("done").trace()).op(swf::ActionCode::kSetMember);
    script(a);
    std::vector<std::vector<uint8_t>> tags = {DefineSoundTag(7, kPcm44Mono, 4000, PcmBytes(ramp)),
                                              TagRecord(swf::tag::kExportAssets, exports), ShowFrameTag(),
                                              DoActionTag(a.bytes())};
    tags.push_back(ShowFrameTag());
    tags.push_back(ShowFrameTag());
    if (!atFrame3.bytes().empty()) tags.push_back(DoActionTag(atFrame3.bytes()));
    for (int k = 0; k < 4; ++k) tags.push_back(ShowFrameTag());
    return testing_support::Load(tags, version);
}

std::vector<int16_t> PlayBoth(movie::Engine& player, int frames) {
    std::vector<int16_t> both, buffer;
    for (int k = 0; k < frames; ++k) {
        player.gotoFrame(k);
        player.mixAudio(buffer);
        both.insert(both.end(), buffer.begin(), buffer.end());
    }
    return both;
}

TEST(Sound, TheSoundObjectStartsLoopsAndTellsWhenItIsDone) {
    // start(0, 2) at frame 1: two plays of the sound from the frame's first sample, then
    // onSoundComplete at the next step.
    auto movie = SoundScriptMovie("", [](Actions& a) { Method(a, "s", "start", {0, 2}).op(swf::ActionCode::kPop); });
    std::vector<int16_t> sound = PlayBoth(*movie->player, 7);
    const size_t start = 1837;
    EXPECT_EQ(sound[2 * (start - 1)], 0);
    EXPECT_EQ(sound[2 * start], 1);
    EXPECT_EQ(sound[2 * start + 1], 1);
    EXPECT_EQ(sound[2 * (start + 3999)], 4000);
    EXPECT_EQ(sound[2 * (start + 4000)], 1) << "the second play";
    EXPECT_EQ(sound[2 * (start + 8000)], 0);
    // The sound ends during step 5 (samples 9187 to 11024): done is traced at step 6.
    EXPECT_EQ(movie->traced, (std::vector<std::string>{"done"}));

    // An offset in seconds, a volume and a pan on the whole movie.
    movie = SoundScriptMovie("", [](Actions& a) {
        Method(a, "s", "setVolume", {50}).op(swf::ActionCode::kPop);
        Method(a, "s", "setPan", {-100}).op(swf::ActionCode::kPop);
        Method(a, "s", "start", {0.01}).op(swf::ActionCode::kPop);
    });
    sound = PlayBoth(*movie->player, 3);
    EXPECT_EQ(sound[2 * start], (441 + 1) / 2) << "441 samples in, at half volume";
    EXPECT_EQ(sound[2 * start + 1], 0) << "panned left";
}

TEST(Sound, AClipsSoundFollowsItsGainAndStops) {
    // The Sound of the main timeline (its path): its volume applies to what it starts, and
    // stop() at frame 3 silences it there; a stopped sound tells no one.
    Actions stop;
    Method(stop, "s", "stop", {}).op(swf::ActionCode::kPop);
    auto movie = SoundScriptMovie(
        "_root",
        [](Actions& a) {
            Method(a, "s", "setVolume", {25}).op(swf::ActionCode::kPop);
            Method(a, "s", "start", {}).op(swf::ActionCode::kPop);
            Method(a, "s", "getVolume", {}).trace();
            Method(a, "s", "getDuration", {}).trace();
        },
        stop);
    const std::vector<int16_t> sound = PlayBoth(*movie->player, 6);
    EXPECT_EQ(sound[2 * (1837 + 399)], 100);
    EXPECT_EQ(sound[2 * 5511], (5511 - 1837 + 1) / 4) << "the last sample before the stop, at a quarter";
    EXPECT_EQ(sound[2 * 5512], 0) << "silent from frame 3";
    EXPECT_EQ(movie->traced, (std::vector<std::string>{"25", "91"})) << "4000 samples at 44.1 kHz last 91 ms";
}

TEST(Sound, TheConstructorMakesAnyObjectASoundEvenAClip) {
    // A class that extends Sound and is registered to a clip runs Sound's constructor on the
    // clip through super(): the clip then answers Sound's methods and attaches sounds. A
    // plain object never passed through the constructor answers nothing.
    auto movie = SoundScriptMovie("", [](Actions& a) {
        auto onRoot = [&a](const char* method, std::initializer_list<double> args) {
            for (auto it = args.end(); it != args.begin();) a.push(*--it);
            a.push("_root").op(swf::ActionCode::kGetVariable).pushInt(static_cast<int>(args.size()) + 1);
            a.push("Sound").op(swf::ActionCode::kGetVariable).push("prototype").op(swf::ActionCode::kGetMember);
            a.push(method).op(swf::ActionCode::kGetMember).push("call").op(swf::ActionCode::kCallMethod);
        };
        a.push("_root").op(swf::ActionCode::kGetVariable).pushInt(1).push("Sound").op(swf::ActionCode::kGetVariable);
        a.push("call").op(swf::ActionCode::kCallMethod).op(swf::ActionCode::kPop);
        onRoot("getVolume", {});
        a.trace();
        onRoot("setVolume", {10});
        a.op(swf::ActionCode::kPop);
        onRoot("getVolume", {});
        a.trace();
        a.pushInt(0).op(swf::ActionCode::kInitObject).pushInt(1).push("Sound").op(swf::ActionCode::kGetVariable);
        a.push("prototype").op(swf::ActionCode::kGetMember).push("getVolume").op(swf::ActionCode::kGetMember);
        a.push("call").op(swf::ActionCode::kCallMethod).trace();
    });
    PlayBoth(*movie->player, 3);
    EXPECT_EQ(movie->traced, (std::vector<std::string>{"100", "10", "undefined"}));
}

TEST(Sound, DurationAndPositionAreShadowedByWritesAndVersion5LacksTheLaterMethods) {
    // s.duration = "x" hides the accessor (getDuration() still answers 91); deleting the
    // plain property shows the accessor again. typeof s.getDuration in a version 5 movie.
    auto script = [](Actions& a) {
        Var(a, "s").push("duration").push("x").op(swf::ActionCode::kSetMember);
        Var(a, "s").push("duration").op(swf::ActionCode::kGetMember).trace();
        Method(a, "s", "getDuration", {}).trace();
        Var(a, "s").push("duration").op(swf::ActionCode::kDelete).op(swf::ActionCode::kPop);
        Var(a, "s").push("duration").op(swf::ActionCode::kGetMember).trace();
        Var(a, "s").push("getDuration").op(swf::ActionCode::kGetMember).op(swf::ActionCode::kTypeOf).trace();
        Var(a, "s").push("getVolume").op(swf::ActionCode::kGetMember).op(swf::ActionCode::kTypeOf).trace();
    };
    auto movie = SoundScriptMovie("", script);
    PlayBoth(*movie->player, 2);
    EXPECT_EQ(movie->traced, (std::vector<std::string>{"x", "91", "91", "function", "function"}));
    auto old = SoundScriptMovie("", script, Actions(), 5);
    PlayBoth(*old->player, 2);
    EXPECT_EQ(old->traced, (std::vector<std::string>{"x", "undefined", "91", "undefined", "function"}));
}

}  // namespace
