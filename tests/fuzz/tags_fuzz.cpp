// Fuzzes the tag stream and the readers of every tag the engine reads, one by one: the
// input is an SWF file, or when it isn't one, a bare tag stream.
#include <cstddef>
#include <cstdint>
#include <string>

#include "movie/definition.h"
#include "movie/text/edit_text.h"
#include "movie/morph.h"
#include "movie/text/static_text.h"
#include "swf/sound_tags.h"
#include "swf/video_tags.h"
#include "swf/tags.h"

namespace {

void ReadTags(swf::TagReader tags, int depth) {
    swf::Tag t;
    int count = 0;
    while (tags.next(t) && ++count < 100000) {
        namespace tag = swf::tag;
        uint16_t id = 0;
        switch (t.code) {
            case tag::kPlaceObject:
            case tag::kPlaceObject2:
            case tag::kPlaceObject3:
            case tag::kRemoveObject:
            case tag::kRemoveObject2: {
                movie::PlaceCommand c;
                movie::ReadPlaceObject(t, c, static_cast<uint8_t>(t.length % 11));
                break;
            }
            case tag::kDefineShape:
            case tag::kDefineShape2:
            case tag::kDefineShape3:
            case tag::kDefineShape4: {
                swf::Rect bounds;
                swf::Shape shape;
                movie::ReadDefineShape(t, id, bounds, shape);
                break;
            }
            case tag::kDefineMorphShape:
            case tag::kDefineMorphShape2: {
                movie::MorphDefinition morph;
                movie::ReadDefineMorphShape(t, id, morph);
                break;
            }
            case tag::kDefineFont:
            case tag::kDefineFont2:
            case tag::kDefineFont3: {
                movie::Font font;
                if (movie::ReadDefineFont(t, id, font)) movie::ReadDefineFontInfo(t, id, font);
                break;
            }
            case tag::kDefineText:
            case tag::kDefineText2: {
                movie::StaticText text;
                movie::ReadDefineText(t, id, text);
                break;
            }
            case tag::kDefineEditText: {
                movie::EditTextDefinition edit;
                movie::ReadDefineEditText(t, id, edit);
                break;
            }
            case tag::kDefineButton:
            case tag::kDefineButton2: {
                movie::Timeline up;
                movie::ReadDefineButton(t, id, up);
                break;
            }
            case tag::kDefineSound: {
                swf::DefineSound sound;
                swf::ReadDefineSound(t, sound);
                break;
            }
            case tag::kStartSound:
            case tag::kStartSound2: {
                swf::StartSound start;
                swf::ReadStartSound(t, start);
                break;
            }
            case tag::kSoundStreamHead:
            case tag::kSoundStreamHead2: {
                swf::SoundStreamHead head;
                swf::ReadSoundStreamHead(t, head);
                break;
            }
            case tag::kSoundStreamBlock: {
                swf::SoundStreamBlock block;
                swf::ReadSoundStreamBlock(t, (t.length & 1) != 0, block);
                break;
            }
            case tag::kDefineVideoStream: {
                swf::DefineVideoStream video;
                swf::ReadDefineVideoStream(t, video);
                break;
            }
            case tag::kVideoFrame: {
                swf::VideoFrame frame;
                swf::ReadVideoFrame(t, frame);
                break;
            }
            case tag::kDefineSprite:
                if (depth < 4 && t.length > 4) ReadTags(swf::TagReader(t.body, t.length, 4), depth + 1);
                break;
            default: break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    swf::SwfFile file;
    std::string error;
    if (swf::ParseSwf(data, size, file, error)) {
        ReadTags(file.tags(), 0);
    } else {
        ReadTags(swf::TagReader(data, size, 0), 0);
    }
    return 0;
}
