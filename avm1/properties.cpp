#include "avm1/host.h"

#include "base/names.h"

namespace avm1 {

namespace {

const char* const kPropertyNames[kPropertyCount] = {
    "_x",     "_y",       "_xscale",   "_yscale",   "_currentframe", "_totalframes", "_alpha",
    "_visible", "_width", "_height",   "_rotation", "_target",       "_framesloaded", "_name",
    "_droptarget", "_url", "_highquality", "_focusrect", "_soundbuftime", "_quality", "_xmouse", "_ymouse"};

}  // namespace

int PropertyIndex(std::string_view name) {
    for (int i = 0; i < kPropertyCount; ++i) {
        if (base::SameNoCase(name, kPropertyNames[i])) return i;
    }
    return -1;
}

}  // namespace avm1
