#include "writer/encoder.h"

#include <string.h>

#include <algorithm>

namespace {

constexpr uint32_t kKeyCount = 65536;
constexpr int16_t kNoPosition = -1;

// The ring as the decoder holds it, with its first 16 bytes repeated behind
// position 255 so that every source of up to 17 bytes, wrapping or not, is
// contiguous. Ring positions are kept on lists by the two bytes they start
// with, so the sources that can begin a match are found without a scan.
struct RingIndex {
    uint8_t bytes[kRingSize + kMaxMatchLength];
    uint16_t keyAt[kRingSize];
    int16_t next[kRingSize];
    int16_t previous[kRingSize];
    std::vector<int16_t> head;

    RingIndex() : head(kKeyCount, kNoPosition) {
        memset(bytes, 0, sizeof bytes);
        // Never-written positions read as zero: every position starts on the
        // list of key 0, newest (highest) first.
        for (uint32_t p = 0; p < kRingSize; ++p) {
            keyAt[p] = 0;
            link(p);
        }
    }

    uint16_t keyOf(uint32_t position) const {
        return (uint16_t)(bytes[position] | (bytes[position + 1] << 8));
    }

    void link(uint32_t position) {
        int16_t first = head[keyAt[position]];
        next[position] = first;
        previous[position] = kNoPosition;
        if (first != kNoPosition) previous[first] = (int16_t)position;
        head[keyAt[position]] = (int16_t)position;
    }

    void unlink(uint32_t position) {
        int16_t before = previous[position];
        int16_t after = next[position];
        if (before != kNoPosition) next[before] = after;
        else head[keyAt[position]] = after;
        if (after != kNoPosition) previous[after] = before;
    }

    void rekey(uint32_t position) {
        uint16_t key = keyOf(position);
        if (key == keyAt[position]) return;
        unlink(position);
        keyAt[position] = key;
        link(position);
    }

    // Stores the output byte with index outputIndex; two sources change key.
    void store(size_t outputIndex, uint8_t value) {
        uint32_t w = (uint32_t)(outputIndex & (kRingSize - 1));
        bytes[w] = value;
        if (w < kMaxMatchLength) bytes[kRingSize + w] = value;
        rekey(w);
        rekey((w - 1) & (kRingSize - 1));
    }
};

// Length of the common prefix of a and b, at most limit (<= 17).
inline uint32_t commonLength(const uint8_t* a, const uint8_t* b, uint32_t limit, bool wide) {
    if (wide) {
        uint64_t x, y;
        memcpy(&x, a, 8);
        memcpy(&y, b, 8);
        if (x != y) return std::min(limit, (uint32_t)__builtin_ctzll(x ^ y) / 8);
        memcpy(&x, a + 8, 8);
        memcpy(&y, b + 8, 8);
        if (x != y) return std::min(limit, 8 + (uint32_t)__builtin_ctzll(x ^ y) / 8);
        return std::min(limit, a[16] == b[16] ? 17u : 16u);
    }
    uint32_t length = 0;
    while (length < limit && a[length] == b[length]) ++length;
    return length;
}

struct LongestMatches {
    std::vector<uint8_t> length;    // per input position: 0 or 2..17
    std::vector<uint8_t> position;  // ring position of a source of that length
};

// For every input position, the longest match the ring offers there. The
// ring's contents before position i depend only on the bytes before i, so
// these do not depend on how the input is parsed. This loop is the encoder's
// hot path: one pass, a short list walk per position, 8-byte compares.
LongestMatches findLongestMatches(const uint8_t* data, size_t size) {
    LongestMatches found;
    found.length.assign(size, 0);
    found.position.assign(size, 0);
    RingIndex ring;
    for (size_t i = 0; i < size; ++i) {
        size_t remaining = size - i;
        if (remaining >= kMinMatchLength) {
            uint32_t limit = (uint32_t)std::min<size_t>(kMaxMatchLength, remaining);
            bool wide = remaining >= kMaxMatchLength;
            uint32_t best = 0, bestPosition = 0;
            int16_t p = ring.head[(uint16_t)(data[i] | (data[i + 1] << 8))];
            for (; p != kNoPosition; p = ring.next[p]) {
                const uint8_t* source = ring.bytes + p;
                // A source can only beat the best if it agrees one byte further.
                if (best >= kMinMatchLength && source[best] != data[i + best]) continue;
                uint32_t length = commonLength(data + i, source, limit, wide);
                if (length > best) {
                    best = length;
                    bestPosition = (uint32_t)p;
                    if (best == limit) break;
                }
            }
            found.length[i] = (uint8_t)best;
            found.position[i] = (uint8_t)bestPosition;
        }
        ring.store(i, data[i]);
    }
    return found;
}

// Chooses an item for every input position reachable by an optimal parse,
// working back from the end: chosen[i] is 1 for a literal or the match
// length. Returns the item bits of the whole input.
uint64_t chooseItems(const std::vector<uint8_t>& longest, std::vector<uint8_t>* chosen) {
    const size_t size = longest.size();
    // Cost from position i to the end, for the 18 positions ahead of i.
    constexpr size_t kWindow = kMaxMatchLength + 1;
    uint64_t costAhead[kWindow] = {0};
    chosen->assign(size, 1);
    for (size_t i = size; i-- > 0;) {
        uint64_t best = kLiteralBits + costAhead[(i + 1) % kWindow];
        uint8_t item = 1;
        for (uint32_t length = kMinMatchLength; length <= longest[i]; ++length) {
            uint64_t cost = kMatchBits + costAhead[(i + length) % kWindow];
            if (cost < best) {
                best = cost;
                item = (uint8_t)length;
            }
        }
        costAhead[i % kWindow] = best;
        (*chosen)[i] = item;
    }
    return costAhead[0];
}

// Appends bit fields least significant bit first.
class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>* out) : out_(out) {}
    void put(uint32_t value, uint32_t bits) {
        pending_ |= (uint64_t)value << count_;
        count_ += bits;
        while (count_ >= 8) {
            out_->push_back((uint8_t)pending_);
            pending_ >>= 8;
            count_ -= 8;
        }
    }
    // The bits after the last item stay zero.
    void flush() {
        if (count_ > 0) out_->push_back((uint8_t)pending_);
        pending_ = 0;
        count_ = 0;
    }

private:
    std::vector<uint8_t>* out_;
    uint64_t pending_ = 0;
    uint32_t count_ = 0;
};

}  // namespace

std::vector<uint8_t> encodeStream(const uint8_t* data, size_t size) {
    std::vector<uint8_t> stream;
    if (size == 0) return stream;
    LongestMatches matches = findLongestMatches(data, size);
    std::vector<uint8_t> chosen;
    uint64_t bits = chooseItems(matches.length, &chosen);
    stream.reserve((size_t)((bits + 7) / 8));
    BitWriter writer(&stream);
    for (size_t i = 0; i < size;) {
        uint32_t length = chosen[i];
        if (length == 1) {
            writer.put((uint32_t)data[i] << 1, kLiteralBits);
        } else {
            uint32_t code = length - kMinMatchLength;
            writer.put(1u | (uint32_t)matches.position[i] << 1 | code << 9, kMatchBits);
        }
        i += length;
    }
    writer.flush();
    return stream;
}

std::vector<uint8_t> encodeStream(const std::vector<uint8_t>& data) {
    return encodeStream(data.data(), data.size());
}

uint64_t optimalStreamBits(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    LongestMatches matches = findLongestMatches(data, size);
    std::vector<uint8_t> chosen;
    return chooseItems(matches.length, &chosen);
}
