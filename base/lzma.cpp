#include "base/lzma.h"

#include <algorithm>
#include <array>
#include <new>

namespace base {

namespace {

// Probabilities are 11-bit fractions, starting at one half; each decoded bit moves its
// probability a 32nd of the way towards what it saw.
constexpr uint32_t kProbabilityBits = 11;
constexpr uint16_t kHalf = 1u << (kProbabilityBits - 1);
constexpr uint32_t kMoveBits = 5;
constexpr uint32_t kTopValue = 1u << 24;

constexpr int kStates = 12;
constexpr int kPositionBitsMax = 4;
constexpr int kLengthToPositionStates = 4;
constexpr int kAlignBits = 4;
constexpr int kStartPositionModel = 4;
constexpr int kEndPositionModel = 14;
constexpr int kFullDistances = 1 << (kEndPositionModel >> 1);
constexpr int kMatchMinLength = 2;

class RangeDecoder {
public:
    RangeDecoder(const uint8_t* data, size_t size) : data_(data), size_(size) {
        // The first byte is always 0; the next four start the code.
        if (next() != 0) broken_ = true;
        for (int i = 0; i < 4; ++i) code_ = code_ << 8 | next();
        if (code_ == range_) broken_ = true;
    }

    bool broken() const { return broken_; }

    uint32_t bit(uint16_t& probability) {
        const uint32_t bound = (range_ >> kProbabilityBits) * probability;
        uint32_t symbol;
        if (code_ < bound) {
            probability = static_cast<uint16_t>(probability + (((1u << kProbabilityBits) - probability) >> kMoveBits));
            range_ = bound;
            symbol = 0;
        } else {
            probability = static_cast<uint16_t>(probability - (probability >> kMoveBits));
            code_ -= bound;
            range_ -= bound;
            symbol = 1;
        }
        normalize();
        return symbol;
    }

    // Bits of even odds, most significant first.
    uint32_t direct(int count) {
        uint32_t result = 0;
        for (int i = 0; i < count; ++i) {
            range_ >>= 1;
            code_ -= range_;
            const uint32_t t = 0u - (code_ >> 31);  // all ones when the code went below 0
            code_ += range_ & t;
            if (code_ == range_) broken_ = true;
            normalize();
            result = (result << 1) + (t + 1);
        }
        return result;
    }

private:
    uint8_t next() {
        if (position_ >= size_) {
            broken_ = true;  // the data ends before the stream does
            return 0;
        }
        return data_[position_++];
    }
    void normalize() {
        if (range_ < kTopValue) {
            range_ <<= 8;
            code_ = code_ << 8 | next();
        }
    }

    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
    uint32_t range_ = 0xFFFFFFFFu, code_ = 0;
    bool broken_ = false;
};

// A tree of 2^bits - 1 probabilities that decodes `bits` bits, high first or low first.
template <int kBits>
struct BitTree {
    std::array<uint16_t, 1u << kBits> probabilities;
    BitTree() { probabilities.fill(kHalf); }
    uint32_t decode(RangeDecoder& rc) {
        uint32_t m = 1;
        for (int i = 0; i < kBits; ++i) m = (m << 1) + rc.bit(probabilities[m]);
        return m - (1u << kBits);
    }
    uint32_t decodeReverse(RangeDecoder& rc) { return DecodeReverse(probabilities.data(), kBits, rc); }

    static uint32_t DecodeReverse(uint16_t* probabilities, int bits, RangeDecoder& rc) {
        uint32_t m = 1, symbol = 0;
        for (int i = 0; i < bits; ++i) {
            const uint32_t b = rc.bit(probabilities[m]);
            m = (m << 1) + b;
            symbol |= b << i;
        }
        return symbol;
    }
};

class LengthDecoder {
public:
    LengthDecoder() : choice_(kHalf), choice2_(kHalf) {}
    uint32_t decode(RangeDecoder& rc, uint32_t positionState) {
        if (rc.bit(choice_) == 0) return low_[positionState].decode(rc);
        if (rc.bit(choice2_) == 0) return 8 + middle_[positionState].decode(rc);
        return 16 + high_.decode(rc);
    }

private:
    uint16_t choice_, choice2_;
    std::array<BitTree<3>, 1 << kPositionBitsMax> low_, middle_;
    BitTree<8> high_;
};

int AfterLiteral(int state) { return state < 4 ? 0 : state < 10 ? state - 3 : state - 6; }
int AfterMatch(int state) { return state < 7 ? 7 : 10; }
int AfterRep(int state) { return state < 7 ? 8 : 11; }
int AfterShortRep(int state) { return state < 7 ? 9 : 11; }

class Decoder {
public:
    Decoder(int lc, int lp, int pb, const uint8_t* data, size_t size)
        : lc_(lc), lp_(lp), pb_(pb), rc_(data, size), literals_(size_t{0x300} << (lc + lp), kHalf) {
        isMatch_.fill(kHalf);
        isRep_.fill(kHalf);
        isRepG0_.fill(kHalf);
        isRepG1_.fill(kHalf);
        isRepG2_.fill(kHalf);
        isRep0Long_.fill(kHalf);
        positionSpecial_.fill(kHalf);
    }

    // Decodes until `length` bytes are out; false when the stream is damaged, cut or ends early.
    bool run(size_t length, std::vector<uint8_t>& out) {
        if (rc_.broken()) return false;
        const uint32_t pbMask = (1u << pb_) - 1;
        while (out.size() < length) {
            const uint32_t positionState = static_cast<uint32_t>(out.size()) & pbMask;
            if (rc_.bit(isMatch_[(state_ << kPositionBitsMax) + positionState]) == 0) {
                literal(out);
            } else {
                uint32_t len = 0;
                if (rc_.bit(isRep_[state_]) != 0) {
                    if (out.empty()) return false;
                    if (rc_.bit(isRepG0_[state_]) == 0) {
                        if (rc_.bit(isRep0Long_[(state_ << kPositionBitsMax) + positionState]) == 0) {
                            state_ = AfterShortRep(state_);
                            if (rep_[0] >= out.size()) return false;
                            const uint8_t repeated = out[out.size() - rep_[0] - 1];
                            out.push_back(repeated);
                            if (rc_.broken()) return false;
                            continue;
                        }
                    } else {
                        uint32_t distance;
                        if (rc_.bit(isRepG1_[state_]) == 0) {
                            distance = rep_[1];
                        } else {
                            if (rc_.bit(isRepG2_[state_]) == 0) {
                                distance = rep_[2];
                            } else {
                                distance = rep_[3];
                                rep_[3] = rep_[2];
                            }
                            rep_[2] = rep_[1];
                        }
                        rep_[1] = rep_[0];
                        rep_[0] = distance;
                    }
                    len = repLength_.decode(rc_, positionState);
                    state_ = AfterRep(state_);
                } else {
                    rep_[3] = rep_[2];
                    rep_[2] = rep_[1];
                    rep_[1] = rep_[0];
                    len = length_.decode(rc_, positionState);
                    state_ = AfterMatch(state_);
                    rep_[0] = distance(len);
                    if (rep_[0] == 0xFFFFFFFFu) return false;  // the end marker, before the length was reached
                }
                // A match reaches back into what is already out, and no further than the end.
                if (rc_.broken() || rep_[0] >= out.size()) return false;
                const size_t count = std::min<size_t>(len + kMatchMinLength, length - out.size());
                const size_t from = out.size() - rep_[0] - 1;
                for (size_t i = 0; i < count; ++i) {
                    const uint8_t copied = out[from + i];  // read first: the push may move the bytes
                    out.push_back(copied);
                }
            }
            if (rc_.broken()) return false;
        }
        return true;
    }

private:
    void literal(std::vector<uint8_t>& out) {
        const uint32_t previous = out.empty() ? 0 : out.back();
        const uint32_t literalState = ((static_cast<uint32_t>(out.size()) & ((1u << lp_) - 1)) << lc_) + (previous >> (8 - lc_));
        uint16_t* probabilities = &literals_[size_t{0x300} * literalState];
        uint32_t symbol = 1;
        if (state_ >= 7 && rep_[0] < out.size()) {
            // After a match, the byte at the last distance guides the first bits.
            uint32_t matchByte = out[out.size() - rep_[0] - 1];
            do {
                const uint32_t matchBit = (matchByte >> 7) & 1;
                matchByte <<= 1;
                const uint32_t b = rc_.bit(probabilities[((1 + matchBit) << 8) + symbol]);
                symbol = (symbol << 1) | b;
                if (matchBit != b) break;
            } while (symbol < 0x100);
        }
        while (symbol < 0x100) symbol = (symbol << 1) | rc_.bit(probabilities[symbol]);
        out.push_back(static_cast<uint8_t>(symbol - 0x100));
        state_ = AfterLiteral(state_);
    }

    uint32_t distance(uint32_t len) {
        const uint32_t lengthState = std::min<uint32_t>(len, kLengthToPositionStates - 1);
        const uint32_t slot = positionSlot_[lengthState].decode(rc_);
        if (slot < kStartPositionModel) return slot;
        const int directBits = static_cast<int>(slot >> 1) - 1;
        uint32_t d = (2 | (slot & 1)) << directBits;
        if (slot < kEndPositionModel) {
            d += BitTree<1>::DecodeReverse(positionSpecial_.data() + d - slot, directBits, rc_);
        } else {
            d += rc_.direct(directBits - kAlignBits) << kAlignBits;
            d += align_.decodeReverse(rc_);
        }
        return d;
    }

    int lc_, lp_, pb_;
    RangeDecoder rc_;
    std::vector<uint16_t> literals_;
    std::array<uint16_t, kStates << kPositionBitsMax> isMatch_{}, isRep0Long_{};
    std::array<uint16_t, kStates> isRep_{}, isRepG0_{}, isRepG1_{}, isRepG2_{};
    std::array<BitTree<6>, kLengthToPositionStates> positionSlot_;
    std::array<uint16_t, 1 + kFullDistances - kEndPositionModel> positionSpecial_{};
    BitTree<kAlignBits> align_;
    LengthDecoder length_, repLength_;
    int state_ = 0;
    uint32_t rep_[4] = {0, 0, 0, 0};
};

}  // namespace

bool DecodeLzma(const uint8_t* properties, const uint8_t* source, size_t sourceLength, size_t expectedLength,
                std::vector<uint8_t>& out) {
    out.clear();
    int d = properties[0];
    if (d >= 9 * 5 * 5) return false;
    const int lc = d % 9;
    d /= 9;
    const int lp = d % 5, pb = d / 5;
    try {
        // What the data can really hold, before the stream shows it: growth follows the output.
        out.reserve(std::min<size_t>(expectedLength, sourceLength * 8 + 4096));
        Decoder decoder(lc, lp, pb, source, sourceLength);
        if (decoder.run(expectedLength, out)) return true;
    } catch (const std::bad_alloc&) {
    }
    out.clear();
    out.shrink_to_fit();
    return false;
}

#ifndef TEVLIN_HAVE_LIBLZMA
bool InflateLzma(const uint8_t* properties, const uint8_t* source, size_t sourceLength, size_t expectedLength,
                 std::vector<uint8_t>& out) {
    return DecodeLzma(properties, source, sourceLength, expectedLength, out);
}
#endif

}  // namespace base
