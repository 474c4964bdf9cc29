#pragma once
// What scripts reach of the engine: its timelines by handle, their variables, properties and
// frames, trace() and the log. It implements the machine's Host through the engine's public
// interface for scripts, so that the machine never sees a display object.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "avm1/host.h"

namespace movie {

class Engine;
struct DisplayObject;
struct TimelineInstance;

class ScriptHost final : public avm1::Host {
public:
    explicit ScriptHost(Engine& engine) : engine_(engine) {}

    uint32_t root() override;
    uint32_t parent(uint32_t clip) override;
    uint32_t child(uint32_t clip, std::string_view name) override;
    bool exists(uint32_t clip) override;
    bool removed(uint32_t clip) override;
    bool getVariable(uint32_t clip, std::string_view name, avm1::Value& out) override;
    void setVariable(uint32_t clip, std::string_view name, const avm1::Value& value) override;
    bool deleteVariable(uint32_t clip, std::string_view name) override;
    std::vector<std::string> variableNames(uint32_t clip) override;
    avm1::Value getProperty(uint32_t clip, int property) override;
    void setProperty(uint32_t clip, int property, const avm1::Value& value) override;
    void play(uint32_t clip) override;
    void stopAllSounds() override;
    void stop(uint32_t clip) override;
    void gotoFrame(uint32_t clip, int frame, bool play) override;
    int frameOfLabel(uint32_t clip, std::string_view label) override;
    int currentFrame(uint32_t clip) override;
    int totalFrames(uint32_t clip) override;
    std::vector<const std::vector<uint8_t>*> frameScripts(uint32_t clip, int frame) override;
    std::string path(uint32_t clip) override;
    std::string name(uint32_t clip) override;
    void trace(const std::string& line) override;
    void log(const std::string& line) override;
    void leftOut(const std::string& what) override;
    double timer() override;
    void traceValues(avm1::Tracer& tracer) override;
    uint32_t createClip(uint32_t parent, std::string_view name, int depth, std::string_view linkage,
                        const avm1::Value& initObject) override;
    uint32_t duplicateClip(uint32_t clip, std::string_view name, int depth, const avm1::Value& initObject) override;
    bool removeClip(uint32_t clip) override;
    bool depthOf(uint32_t clip, int& depth) override;
    bool swapDepths(uint32_t clip, int depth) override;
    uint32_t clipAtDepth(uint32_t parent, int depth) override;
    int nextHighestDepth(uint32_t parent) override;
    avm1::ObjectHandle clipPrototype(uint32_t clip) override;
    std::string sandboxType() override;
    void setClipPrototype(uint32_t clip, avm1::ObjectHandle prototype) override;
    void draw(uint32_t clip, const avm1::DrawingCall& call) override;
    bool boundsIn(uint32_t clip, uint32_t space, bool strokes, double (&out)[4]) override;
    bool toGlobal(uint32_t clip, double& x, double& y, bool inverse) override;
    bool hitTest(uint32_t clip, double x, double y, bool shape) override;
    bool colorTransform(uint32_t clip, swf::ColorTransform& out) override;
    void setColorTransform(uint32_t clip, const swf::ColorTransform& cx) override;
    bool concatenatedColorTransform(uint32_t clip, swf::ColorTransform& out) override;
    bool matrixOf(uint32_t clip, bool concatenated, double (&out)[6]) override;
    void setMatrix(uint32_t clip, const double (&m)[6]) override;
    void stageSize(double& width, double& height) override;
    std::vector<swf::Filter> filtersOf(uint32_t clip) override;
    std::vector<avm1::SnapshotGlyph> staticText(uint32_t clip) override;
    void setFilters(uint32_t clip, std::vector<swf::Filter> filters) override;
    bool getDisplayProperty(uint32_t clip, std::string_view name, avm1::Value& out) override;
    void setDisplayProperty(uint32_t clip, std::string_view name, const avm1::Value& value) override;
    void setMask(uint32_t clip, uint32_t mask) override;
    bool scrollRect(uint32_t clip, double (&out)[4]) override;
    void setScrollRect(uint32_t clip, const double* rect) override;
    avm1::ClipKind kindOf(uint32_t clip) override;
    bool getTextField(uint32_t field, std::string_view name, avm1::Value& out) override;
    bool setTextField(uint32_t field, std::string_view name, const avm1::Value& value) override;
    uint32_t createTextField(uint32_t parent, std::string_view name, int depth, double x, double y, double width,
                             double height) override;
    bool textFormat(uint32_t field, avm1::TextFormatFields& out) override;
    bool measureText(const avm1::TextFormatFields& format, const std::string& text, double wrap, double (&out)[4]) override;
    void setTextFormat(uint32_t field, const avm1::TextFormatFields& format) override;
    bool newTextFormat(uint32_t field, avm1::TextFormatFields& out) override;
    void setNewTextFormat(uint32_t field, const avm1::TextFormatFields& format) override;

    bool readFile(std::string_view url, std::string& out, std::string& reason) override;
    uint32_t loadMovie(uint32_t clip, int level, const std::string& bytes, std::string_view url,
                       const avm1::Value& loader) override;
    void unloadMovie(uint32_t clip, int level) override;
    uint32_t level(int n) override;
    uint32_t rootOf(uint32_t clip) override;
    double movieBytes(uint32_t clip, bool stored) override;
    void dataLoaded(uint32_t clip) override;
    void attachBitmap(uint32_t clip, int depth, std::shared_ptr<avm1::ScriptBitmap> bitmap, bool smoothing) override;
    std::shared_ptr<avm1::ScriptBitmap> libraryBitmap(std::string_view linkage) override;
    uint32_t exportedSound(uint32_t clip, std::string_view linkage) override;
    uint32_t loadSound(std::string_view url, std::string& reason) override;
    double soundDurationMs(uint32_t sound) override;
    uint64_t startSound(uint32_t sound, uint32_t owner, double offsetSeconds, int loops,
                        const avm1::Value& listener) override;
    void stopSounds(uint32_t sound, uint32_t owner) override;
    double voicePositionMs(uint64_t voice) override;
    bool soundTransform(uint32_t owner, avm1::SoundTransformFields& out) override;
    void setSoundTransform(uint32_t owner, const avm1::SoundTransformFields& t) override;
    void queueEvent(const avm1::Value& target, const char* method, std::vector<avm1::Value> args) override;
    uint32_t newNetStream(const avm1::Value& listener) override;
    bool loadNetStream(uint32_t stream, std::string_view url, std::string& reason) override;
    void netStreamCommand(uint32_t stream, StreamCommand command, double value) override;
    double netStreamTime(uint32_t stream) override;
    void attachVideo(uint32_t video, uint32_t stream) override;
    bool videoSize(uint32_t video, int& width, int& height) override;
    bool videoSettings(uint32_t video, bool& smoothing, int& deblocking) override;
    void setVideoSmoothing(uint32_t video, bool smoothing) override;
    void setVideoDeblocking(uint32_t video, int deblocking) override;
    void drawClip(avm1::ScriptBitmap& into, uint32_t clip, const double (&matrix)[6], const swf::ColorTransform& cx,
                  const int64_t* clipRect, bool smoothing) override;

    // A new movie: what was reported once is reported again.
    void reset() { variablesReported_ = false; }

private:
    // The display object of a text field's handle, or null.
    DisplayObject* textFieldOf(uint32_t field);
    // An auto-sized field takes the size of its text.
    void fitText(DisplayObject& field);
    bool caseSensitive() const;
    // A variable's key on its timeline: names match without case before version 7.
    std::string key(std::string_view name) const;

    Engine& engine_;
    bool variablesReported_ = false;
};

}  // namespace movie
