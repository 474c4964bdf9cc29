#include "base/inflate.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <new>

namespace base {

bool InflateZlib(const uint8_t* source, size_t sourceLength, size_t expectedLength,
                 std::vector<uint8_t>& out) {
    const size_t kept = out.size();
    if (source == nullptr || sourceLength == 0 || sourceLength > std::numeric_limits<uLong>::max()) {
        out.clear();
        return false;
    }
    // Never allocate more than the stream could produce: the result is the same, since
    // uncompress could not fill the rest anyway.
    const uint64_t capacity64 =
        std::min<uint64_t>(expectedLength, MaxInflatedLength(sourceLength));
    if (capacity64 > std::numeric_limits<uLong>::max()) {
        out.clear();
        return false;
    }
    const size_t capacity = static_cast<size_t>(capacity64);
    try {
        // uncompress wants a non-empty output area even for an empty result.
        out.resize(kept + std::max<size_t>(capacity, 1));
    } catch (const std::bad_alloc&) {
        out.clear();
        return false;
    }
    uLongf produced = static_cast<uLongf>(out.size() - kept);
    const int rc = uncompress(out.data() + kept, &produced, source, static_cast<uLong>(sourceLength));
    if (rc != Z_OK || produced > expectedLength) {
        out.clear();
        out.shrink_to_fit();
        return false;
    }
    out.resize(kept + produced);
    return true;
}

}  // namespace base
