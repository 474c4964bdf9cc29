#include "movie/definition.h"

#include "base/names.h"
#include "movie/display/drawing.h"
#include "swf/bitmap_tags.h"
#include "swf/control_tags.h"
#include "image/jpeg.h"
#include "image/picture_decoder.h"

namespace movie {

namespace {

std::string Where(const swf::Tag& tag) {
    return "tag " + std::to_string(tag.code) + " (" + swf::TagName(tag.code) + ") at offset " + std::to_string(tag.offset);
}

// What a tag's parsed form may take, counted before it is read, for the tags whose parsed
// form is kept: a placement is a command of a fixed size plus its names, filters and clip
// actions; glyph outlines, morph shapes and button records grow many times their bytes;
// scripts and names are copied. Shapes are counted by their geometry once built, sprites by
// their own tags; bitmaps, sounds and video have budgets of their own or stay in the file.
uint64_t DefinitionCost(const swf::Tag& tag) {
    const uint64_t length = tag.length;
    switch (tag.code) {
        case swf::tag::kPlaceObject:
        case swf::tag::kPlaceObject2:
        case swf::tag::kPlaceObject3:
        case swf::tag::kRemoveObject:
        case swf::tag::kRemoveObject2:
            return sizeof(PlaceCommand) + 4 * length;
        case swf::tag::kDefineFont:
        case swf::tag::kDefineFont2:
        case swf::tag::kDefineFont3:
        case swf::tag::kDefineMorphShape:
        case swf::tag::kDefineMorphShape2:
            return 16 * length;
        case swf::tag::kDefineButton:
        case swf::tag::kDefineButton2:
            return 10 * length;
        case swf::tag::kDefineText:
        case swf::tag::kDefineText2:
            return 4 * length;
        case swf::tag::kDoAction:
        case swf::tag::kDoInitAction:
        case swf::tag::kDefineEditText:
        case swf::tag::kFrameLabel:
        case swf::tag::kExportAssets:
        case swf::tag::kDefineFontInfo:
        case swf::tag::kDefineFontInfo2:
            return length;
        default:
            return 0;
    }
}

// The memory a shape's geometry holds.
uint64_t GeometryBytes(const ShapeGeometry& g) {
    uint64_t bytes = sizeof(ShapeGeometry);
    for (const StyleGroup& group : g.groups) {
        bytes += sizeof(StyleGroup) + group.fills.size() * sizeof(swf::FillStyle) +
                 group.lines.size() * sizeof(swf::LineStyle) + group.edges.size() * sizeof(ShapeEdge);
        for (const raster::Path& p : group.linePaths) {
            bytes += sizeof(raster::Path) + p.verbs().size() + p.points().size() * sizeof(raster::Point);
        }
    }
    return bytes;
}

}  // namespace

bool ReadDefineButton(const swf::Tag& tag, uint16_t& id, Timeline& upState) {
    swf::DefineButton button;
    if (!swf::ReadDefineButton(tag, button)) return false;
    id = button.id;
    upState = Timeline();
    Frame frame;
    for (swf::ButtonRecord& b : button.records) {
        if ((b.states & swf::button_state::kUp) == 0) continue;
        PlaceCommand c;
        c.characterId = b.characterId;
        c.depth = b.depth;
        c.matrix = b.matrix;
        c.colorTransform = b.colorTransform;
        c.filters = std::move(b.filters);
        c.blendMode = b.blendMode;
        frame.commands.push_back(std::move(c));
    }
    upState.frames.push_back(std::move(frame));
    return true;
}


int Timeline::frameOfLabel(std::string_view label) const {
    for (size_t f = 0; f < frames.size(); ++f) {
        for (const std::string& l : frames[f].labels) {
            if (base::SameNoCase(l, label)) return static_cast<int>(f);
        }
    }
    return -1;
}

bool ReadPlaceObject(const swf::Tag& tag, PlaceCommand& c, uint8_t version) {
    c = PlaceCommand();
    if (tag.code == swf::tag::kRemoveObject || tag.code == swf::tag::kRemoveObject2) {
        c.remove = true;
        return swf::ReadRemoveObject(tag, c.depth);
    }
    swf::PlaceObject p;
    if (!swf::ReadPlaceObject(tag, version, p)) return false;
    c.depth = p.depth;
    c.move = p.move;
    c.characterId = p.characterId;
    c.matrix = p.matrix;
    c.colorTransform = p.colorTransform;
    c.ratio = p.ratio;
    c.name = std::move(p.name);
    c.clipDepth = p.clipDepth;
    c.filters = std::move(p.filters);
    c.blendMode = p.blendMode;
    c.cacheAsBitmap = p.cacheAsBitmap;
    c.visible = p.visible;
    if (p.backgroundColor) {
        c.opaqueBackground = *p.backgroundColor;
        c.opaqueBackground->a = 255;  // opaque, whatever alpha the file gives
    }
    if (!p.clipActions.empty()) c.clipActions = std::make_shared<const std::vector<ClipAction>>(std::move(p.clipActions));
    return true;
}

// Export names match without case, in every version.
std::string MovieDefinition::ExportKey(std::string_view name) const { return base::LowerCase(name); }

const std::string* MovieDefinition::exportName(uint16_t id) const {
    auto it = exportNames_.find(id);
    return it != exportNames_.end() ? &it->second : nullptr;
}

uint16_t MovieDefinition::exported(std::string_view name) const {
    auto it = exports_.find(ExportKey(name));
    return it != exports_.end() ? it->second.id : 0;
}

int MovieDefinition::exportFrame(std::string_view name) const {
    auto it = exports_.find(ExportKey(name));
    return it != exports_.end() ? it->second.frame : -1;
}

const Character* MovieDefinition::character(uint16_t id) const {
    auto it = characters_.find(id);
    return it == characters_.end() ? nullptr : it->second.get();
}

const Font* MovieDefinition::fontNamed(const std::string& name, bool bold, bool italic) const {
    const Font* any = nullptr;
    for (const auto& [id, c] : characters_) {
        if (c->kind() != Character::Kind::kFont || !base::SameNoCase(c->font().name, name)) continue;
        const Font& f = c->font();
        if (f.bold == bold && f.italic == italic && !f.glyphs.empty()) return &f;
        if (any == nullptr || any->glyphs.empty()) any = &f;
    }
    return any;
}

const EventSound* MovieDefinition::sound(uint16_t id) const {
    auto it = sounds_.find(id);
    return it != sounds_.end() ? it->second.get() : nullptr;
}

const raster::Bitmap* MovieDefinition::bitmap(uint16_t id) const {
    const Character* c = character(id);
    if (c == nullptr || c->kind() != Character::Kind::kBitmap) return nullptr;
    const raster::Bitmap& b = c->as<BitmapDefinition>().bitmap;
    return b.empty() ? nullptr : &b;
}

bool MovieDefinition::load(const swf::SwfFile& file, std::string& error) {
    frameSize_ = file.frameSize;
    frameRate88_ = file.frameRate88;
    version_ = file.version;
    fileBytes_ = file.fileBytes;
    inflatedBytes_ = file.image.size();
    swf::TagReader tags = file.tags();
    return readTimeline(tags, timeline_, 0, error);
}

bool MovieDefinition::readTimeline(swf::TagReader& tags, Timeline& timeline, int nesting, std::string& error) {
    Frame frame;
    bool pending = false;  // commands since the last ShowFrame
    bool ended = false;
    swf::Tag tag;
    while (tags.next(tag)) {
        ++tagCounts_[swf::TagName(tag.code)];
        if (tag.code == swf::tag::kEnd) {
            ended = true;
            break;
        }
        if (tag.code == swf::tag::kShowFrame) {
            if (timeline.frames.size() >= kMaxFrames) {
                error = Where(tag) + ": more than " + std::to_string(kMaxFrames) + " frames (kMaxFrames)";
                return false;
            }
            if (!countDefinition(tag, sizeof(Frame), error)) return false;
            timeline.frames.push_back(std::move(frame));
            frame = Frame();
            pending = false;
            continue;
        }
        if (!countDefinition(tag, DefinitionCost(tag), error)) return false;
        if (!readTag(tag, timeline, frame, nesting, error)) return false;
        pending = pending || !frame.commands.empty() || frame.background || !frame.labels.empty() ||
                  !frame.scripts.empty() || !frame.initScripts.empty();
    }
    if (!tags.error().empty()) {
        error = tags.error();
        return false;
    }
    if (!tags.truncated().empty()) warn(tags.truncated() + ": the tags before it play");
    // A timeline that does not end with a ShowFrame and its End never finishes loading: the
    // reference players play it to its last frame once and do not loop it.
    timeline.loops = ended && !pending;
    if (pending) timeline.frames.push_back(std::move(frame));
    return true;
}

namespace {

// A new character of the kind T filled by `read`; a damaged tag is refused with `what` named.
template <class T, class Read>
bool DefineCharacter(std::map<uint16_t, std::unique_ptr<Character>>& characters, const swf::Tag& tag, const char* what,
                     Read read, std::string& error) {
    uint16_t id = 0;
    auto c = std::make_unique<Character>(T());
    const swf::ReadStatus status = read(id, c->template as<T>());
    if (!status) {
        error = Where(tag) + ": " + (status.limit != nullptr ? std::string(status.limit) : std::string(what) + " damaged");
        return false;
    }
    characters[id] = std::move(c);
    return true;
}

// A decoded picture as the bitmap character `id`.
void DefineBitmap(std::map<uint16_t, std::unique_ptr<Character>>& characters, uint16_t id, image::Picture picture) {
    auto c = std::make_unique<Character>(BitmapDefinition());
    BitmapDefinition& b = c->as<BitmapDefinition>();
    b.picture = std::move(picture);
    b.bitmap = {b.picture.pixels.data(), b.picture.width, b.picture.height, b.picture.width};
    characters[id] = std::move(c);
}

}  // namespace

bool MovieDefinition::countDefinition(const swf::Tag& tag, uint64_t bytes, std::string& error) {
    definitionBytes_ += bytes;
    if (definitionBytes_ <= definitionBudget_) return true;
    error = Where(tag) + ": the movie's definitions take more than " + std::to_string(definitionBudget_) +
            " bytes once read (kMaxDefinitionBytes)";
    return false;
}

bool MovieDefinition::warnBitmap(const swf::Tag& tag, const std::string& why) {
    warn(Where(tag) + ": " + why + "; the bitmap stays empty");
    return true;
}

void MovieDefinition::warn(const std::string& line) {
    if (warnings_.size() < kMaxWarnings) warnings_.push_back(line);
}

// Decoded bitmaps count against the movie's budget, checked before their pixels exist
// where the header tells their size.
bool MovieDefinition::countBitmap(const swf::Tag& tag, int width, int height, std::string& error) {
    bitmapBytes_ += static_cast<uint64_t>(std::max(width, 0)) * static_cast<uint64_t>(std::max(height, 0)) * 4;
    if (bitmapBytes_ <= bitmapBudget_) return true;
    error = Where(tag) + ": the movie's bitmaps take more than " + std::to_string(bitmapBudget_) +
            " bytes decoded (kMaxBitmapBytes)";
    return false;
}

// DefineBits to DefineBitsJPEG4: JPEG (with JPEG3's alpha plane), or a PNG or GIF from JPEG2 on.
bool MovieDefinition::defineJpegBitmap(const swf::Tag& tag, std::string& error) {
    swf::DefineBits bits;
    if (!swf::ReadDefineBits(tag, bits)) {
        error = Where(tag) + ": the bitmap header is cut short";
        return false;
    }
    // JPEG2 and later may hold a PNG or GIF instead, which carry their own alpha.
    // Bitmaps that do not decode stay undefined: their fills draw nothing.
    const bool jpeg = bits.usesJpegTables ||
                      image::DetectPictureFormat(bits.image, bits.imageSize) == image::PictureFormat::kJpeg;
    image::Picture picture;
    std::string why;
    if (jpeg) {
        const std::vector<uint8_t> stream =
            bits.usesJpegTables ? image::JoinJpegTables(jpegTables_.data(), jpegTables_.size(), bits.image, bits.imageSize)
                                : image::CleanJpegStream(bits.image, bits.imageSize);
        if (!image::DecodeJpeg(stream.data(), stream.size(), picture, why)) return warnBitmap(tag, why);
    } else if (!image::DecodePicture(bits.image, bits.imageSize, picture, why)) {
        return warnBitmap(tag, why);
    }
    if (jpeg && bits.alpha != nullptr && !image::ApplyAlphaPlane(bits.alpha, bits.alphaSize, picture, why)) {
        return warnBitmap(tag, why);
    }
    if (!countBitmap(tag, picture.width, picture.height, error)) return false;
    DefineBitmap(characters_, bits.id, std::move(picture));
    return true;
}

bool MovieDefinition::defineLosslessBitmap(const swf::Tag& tag, std::string& error) {
    swf::DefineBitsLossless bits;
    if (!swf::ReadDefineBitsLossless(tag, bits)) {
        error = Where(tag) + ": the bitmap header is cut short";
        return false;
    }
    const int width = bits.width, height = bits.height;
    // Pixels that can't be decoded leave the bitmap undefined: fills of it draw
    // nothing, and the rest of the movie plays.
    image::Picture picture;
    std::string why;
    const bool sized = image::PictureSizeAllowed(width, height, "bitmap", why);
    if (sized && !countBitmap(tag, width, height, error)) return false;
    const int tableSize = bits.colorTableSize > 0 ? bits.colorTableSize - 1 : 0;
    if (!image::DecodeLossless(bits.data, bits.dataSize, static_cast<image::LosslessFormat>(bits.format), width,
                               height, tableSize, bits.withAlpha, picture, why)) {
        if (sized) bitmapBytes_ -= static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4;
        return warnBitmap(tag, why);
    }
    DefineBitmap(characters_, bits.id, std::move(picture));
    return true;
}

bool MovieDefinition::readTag(const swf::Tag& tag, Timeline& timeline, Frame& frame, int nesting, std::string& error) {
    switch (tag.code) {
        case swf::tag::kDefineShape:
        case swf::tag::kDefineShape2:
        case swf::tag::kDefineShape3:
        case swf::tag::kDefineShape4: {
            uint16_t id = 0;
            swf::Rect bounds;
            swf::Shape shape;
            const swf::ReadStatus status = ReadDefineShape(tag, id, bounds, shape);
            if (!status) {
                error = Where(tag) + ": " + (status.limit != nullptr ? std::string(status.limit) : "the shape is damaged");
                return false;
            }
            ShapeGeometry geometry = BuildShapeGeometry(shape, bounds);
            if (!countDefinition(tag, GeometryBytes(geometry), error)) return false;
            characters_[id] = std::make_unique<Character>(std::move(geometry));
            return true;
        }
        case swf::tag::kDefineMorphShape:
        case swf::tag::kDefineMorphShape2:
            return DefineCharacter<MorphDefinition>(
                characters_, tag, "the morph shape is",
                [&](uint16_t& id, MorphDefinition& m) { return ReadDefineMorphShape(tag, id, m); }, error);
        case swf::tag::kJpegTables: {
            jpegTables_.assign(tag.body, tag.body + tag.length);  // the tag's body whole
            return true;
        }
        case swf::tag::kDefineBits:
        case swf::tag::kDefineBitsJpeg2:
        case swf::tag::kDefineBitsJpeg3:
        case swf::tag::kDefineBitsJpeg4:
            return defineJpegBitmap(tag, error);
        case swf::tag::kDefineBitsLossless:
        case swf::tag::kDefineBitsLossless2:
            return defineLosslessBitmap(tag, error);
        case swf::tag::kDefineButton:
        case swf::tag::kDefineButton2:
            // A button shows its up state: a one-frame timeline of the records marked up.
            return DefineCharacter<ButtonDefinition>(
                characters_, tag, "the button records are",
                [&](uint16_t& id, ButtonDefinition& b) { return ReadDefineButton(tag, id, b.upState); }, error);
        case swf::tag::kDefineFont:
        case swf::tag::kDefineFont2:
        case swf::tag::kDefineFont3: {
            // A font whose outlines can't be read defines nothing: its text draws nothing,
            // and the rest of the movie plays.
            uint16_t id = 0;
            auto c = std::make_unique<Character>(Font());
            if (ReadDefineFont(tag, id, c->as<Font>())) characters_[id] = std::move(c);
            return true;
        }
        case swf::tag::kDefineFontInfo:
        case swf::tag::kDefineFontInfo2: {
            uint16_t id = 0;
            if (!swf::ReadFontInfoFontId(tag, id)) return true;
            auto it = characters_.find(id);
            if (it != characters_.end() && it->second->kind() == Character::Kind::kFont) {
                ReadDefineFontInfo(tag, id, it->second->as<Font>());  // a damaged one leaves the font as it was
            }
            return true;
        }
        case swf::tag::kDefineEditText:
            return DefineCharacter<EditTextDefinition>(
                characters_, tag, "the edit text record is",
                [&](uint16_t& id, EditTextDefinition& e) {
                    if (!ReadDefineEditText(tag, id, e)) return false;
                    // An HTML field made without text starts from HTML's own paragraph: left
                    // aligned, whatever alignment the record gives.
                    if (e.html && e.initialText.empty()) e.align = 0;
                    return true;
                },
                error);
        case swf::tag::kDefineText:
        case swf::tag::kDefineText2:
            return DefineCharacter<StaticText>(
                characters_, tag, "the text records are",
                [&](uint16_t& id, StaticText& t) { return ReadDefineText(tag, id, t); }, error);
        case swf::tag::kDefineButtonCxform: {
            swf::DefineButtonCxform cx;
            if (!swf::ReadDefineButtonCxform(tag, cx)) return true;
            auto it = characters_.find(cx.buttonId);
            if (it != characters_.end() && it->second->kind() == Character::Kind::kButton) {
                for (Frame& f : it->second->as<ButtonDefinition>().upState.frames) {
                    for (PlaceCommand& command : f.commands) command.colorTransform = cx.colorTransform;
                }
            }
            return true;
        }
        case swf::tag::kDefineButtonSound: {
            swf::DefineButtonSound sounds;
            if (!swf::ReadDefineButtonSound(tag, sounds)) return true;  // a damaged one gives the button no sounds
            auto it = characters_.find(sounds.buttonId);
            if (it != characters_.end() && it->second->kind() == Character::Kind::kButton) {
                it->second->as<ButtonDefinition>().sounds = std::move(sounds);
            }
            return true;
        }
        case swf::tag::kDefineSprite: {
            if (nesting >= 1) return true;  // sprites define nothing inside them: skipped
            swf::DefineSpriteHeader sprite;
            if (!swf::ReadDefineSpriteHeader(tag, sprite)) {
                error = Where(tag) + ": the sprite header is cut short";
                return false;
            }
            auto c = std::make_unique<Character>(SpriteDefinition());
            c->as<SpriteDefinition>().bytes = sprite.tags.size;
            swf::TagReader inner(sprite.tags.data, sprite.tags.size, 0);
            if (!readTimeline(inner, c->as<SpriteDefinition>().timeline, nesting + 1, error)) {
                error = Where(tag) + ", inside: " + error;
                return false;
            }
            characters_[sprite.id] = std::move(c);
            return true;
        }
        case swf::tag::kPlaceObject:
        case swf::tag::kPlaceObject2:
        case swf::tag::kPlaceObject3:
        case swf::tag::kRemoveObject:
        case swf::tag::kRemoveObject2: {
            PlaceCommand command;
            if (!ReadPlaceObject(tag, command, version_)) {
                error = Where(tag) + ": the record is damaged";
                return false;
            }
            frame.commands.push_back(std::move(command));
            return true;
        }
        case swf::tag::kDoAction: {
            FrameScript script;
            script.at = frame.commands.size();
            script.code.assign(tag.body, tag.body + tag.length);  // the tag's body whole
            frame.scripts.push_back(std::move(script));
            return true;
        }
        case swf::tag::kDoInitAction: {
            swf::DoInitAction init;
            if (!swf::ReadDoInitAction(tag, init)) return true;  // nothing to run
            InitScript script;
            script.spriteId = init.spriteId;
            script.code.assign(init.code.data, init.code.data + init.code.size);
            frame.initScripts.push_back(std::move(script));
            return true;
        }
        case swf::tag::kSetBackgroundColor: {
            // The players take the movie's first background colour and ignore the others (and
            // those inside sprites).
            swf::Color c;
            if (nesting == 0 && !backgroundSeen_ && swf::ReadSetBackgroundColor(tag, c)) {
                frame.background = c;
                backgroundSeen_ = true;
            }
            return true;
        }
        case swf::tag::kScriptLimits: {
            swf::ScriptLimits limits;
            if (swf::ReadScriptLimits(tag, limits)) scriptLimits_ = limits;
            return true;
        }
        case swf::tag::kFileAttributes:
            usesNetwork_ = tag.length >= 1 && (tag.body[0] & 0x01) != 0;
            return true;
        case swf::tag::kExportAssets:
            for (swf::ExportedAsset& asset : swf::ReadExportAssets(tag)) {
                if (exports_.size() >= kMaxExports) continue;
                exports_.insert_or_assign(ExportKey(asset.name),
                                          Export{asset.id, static_cast<int>(timeline.frames.size())});
                exportNames_.insert_or_assign(asset.id, asset.name);
            }
            return true;
        case swf::tag::kDefineSound: {
            swf::DefineSound read;
            if (!swf::ReadDefineSound(tag, read)) {
                warn(Where(tag) + ": the sound is cut short");
                return true;
            }
            auto sound = std::make_shared<EventSound>();
            sound->format = read.format;
            sound->sampleCount = read.sampleCount;
            sound->seekSamples = read.seekSamples;
            sound->data.assign(read.data.data, read.data.data + read.data.size);
            sounds_[read.id] = std::move(sound);
            hasSound_ = true;
            return true;
        }
        case swf::tag::kStartSound:
        case swf::tag::kStartSound2: {
            swf::StartSound read;
            if (!swf::ReadStartSound(tag, read)) return true;  // a damaged one starts nothing
            frame.sounds.push_back({read.soundId, std::move(read.className), std::move(read.info)});
            return true;
        }
        case swf::tag::kSoundStreamHead:
        case swf::tag::kSoundStreamHead2: {
            swf::SoundStreamHead head;
            if (!swf::ReadSoundStreamHead(tag, head)) return true;
            timeline.stream = std::make_shared<StreamSound>();
            timeline.stream->head = head;
            return true;
        }
        case swf::tag::kSoundStreamBlock: {
            if (!timeline.stream) return true;  // a block without a head has no format
            swf::SoundStreamBlock read;
            const bool mp3 = timeline.stream->head.stream.format == swf::sound_format::kMp3;
            if (!swf::ReadSoundStreamBlock(tag, mp3, read)) return true;
            std::vector<StreamSound::Block>& blocks = timeline.stream->blocks;
            if (frame.streamBlock < 0) {
                frame.streamBlock = static_cast<int32_t>(blocks.size());
                blocks.push_back({read.seekSamples, {}});
            }
            // A second block in one frame continues the first.
            std::vector<uint8_t>& data = blocks[static_cast<size_t>(frame.streamBlock)].data;
            data.insert(data.end(), read.data.data, read.data.data + read.data.size);
            hasSound_ = true;
            return true;
        }
        case swf::tag::kDefineVideoStream: {
            VideoDefinition video;
            if (!swf::ReadDefineVideoStream(tag, video.stream)) {
                warn(Where(tag) + ": the video stream is cut short");
                return true;
            }
            video.rectangle = PictureRectangle(video.stream.width, video.stream.height, video.stream.smoothing);
            video.otherRectangle = PictureRectangle(video.stream.width, video.stream.height, !video.stream.smoothing);
            const uint16_t id = video.stream.id;
            characters_[id] = std::make_unique<Character>(std::move(video));
            return true;
        }
        case swf::tag::kVideoFrame: {
            swf::VideoFrame picture;
            if (!swf::ReadVideoFrame(tag, picture)) return true;
            auto it = characters_.find(picture.streamId);
            if (it == characters_.end() || it->second->kind() != Character::Kind::kVideo) return true;
            std::vector<uint8_t>& data = it->second->as<VideoDefinition>().frames[picture.frame];
            data.assign(picture.data.data, picture.data.data + picture.data.size);
            return true;
        }
        case swf::tag::kFrameLabel: {
            swf::FrameLabel label;
            swf::ReadFrameLabel(tag, label);
            frame.labels.push_back(std::move(label.name));
            return true;
        }
        default:
            return true;  // tags that draw nothing yet, and unknown ones, are skipped
    }
}

}  // namespace movie
