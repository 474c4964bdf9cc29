#include "movie/display/display_object.h"

namespace movie {

namespace {

// Every field a placement gives, with the display object's field it sets.
template <class Visit>
void ForEachPlacementField(Visit&& visit) {
    visit(&Placement::matrix, &DisplayObject::matrix);
    visit(&Placement::colorTransform, &DisplayObject::colorTransform);
    visit(&Placement::ratio, &DisplayObject::ratio);
    visit(&Placement::name, &DisplayObject::name);
    visit(&Placement::clipDepth, &DisplayObject::clipDepth);
    visit(&Placement::blendMode, &DisplayObject::blendMode);
    visit(&Placement::filters, &DisplayObject::filters);
    visit(&Placement::cacheAsBitmap, &DisplayObject::cacheAsBitmap);
    visit(&Placement::visible, &DisplayObject::visible);
    visit(&Placement::opaqueBackground, &DisplayObject::opaqueBackground);
    visit(&Placement::clipActions, &DisplayObject::clipActions);
}

template <class T>
bool Given(const std::optional<T>& field) { return field.has_value(); }
template <class T>
bool Given(const std::shared_ptr<T>& field) { return field != nullptr; }
template <class T>
const T& ValueOf(const std::optional<T>& field) { return *field; }
template <class T>
const std::shared_ptr<T>& ValueOf(const std::shared_ptr<T>& field) { return field; }

}  // namespace

size_t CountObjects(const DisplayObject& object) {
    size_t count = 1;
    if (const TimelineInstance* sprite = object.sprite()) {
        for (const auto& [depth, child] : sprite->displayList) count += CountObjects(child);
    }
    return count;
}

void OverlayPlacement(Placement& into, const Placement& later) {
    ForEachPlacementField([&](auto field, auto) {
        if (Given(later.*field)) into.*field = later.*field;
    });
}

void ApplyPlacement(DisplayObject& object, const Placement& placement) {
    ForEachPlacementField([&](auto field, auto objectField) {
        if (Given(placement.*field)) object.*objectField = ValueOf(placement.*field);
    });
}

}  // namespace movie
