#pragma once
// What a corpus movie uses, read from its tags, for the corpus reports.

#include <string>
#include <vector>

#include "swf/tags.h"

namespace corpus {

struct Features {
    bool as3 = false, scripts = false, effects = false, bitmaps = false, text = false, buttons = false, video = false;
    // Names in the scripts that reach the display's objects (clip properties and methods,
    // drawing, text fields, filters, geometry and the like): the first one found.
    std::string objectName;

    std::string describe() const;
    bool shapesOnly() const { return !scripts && !effects && !bitmaps && !text && !buttons && !video; }
    // Scripts that only drive the timeline: names none of those objects, plays no video.
    bool timelineScriptsOnly() const { return scripts && objectName.empty() && !video && !as3; }
};

Features Scan(const swf::SwfFile& file);

// The number of frames a test.toml runs (num_frames or num_ticks; 1 when neither).
int FramesToRun(const std::string& toml);
std::string ReadText(const std::string& path);

}  // namespace corpus
