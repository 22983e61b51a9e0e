#include "writer/encoder.h"

#include <string.h>

#include <algorithm>
#include <memory>

namespace {

constexpr uint32_t kKeyCount = 65536;
constexpr int64_t kNoIndex = -1;

// The ring as the decoder holds it, with its first 17 bytes repeated behind
// position 255 so that every source of up to 17 bytes, wrapping or not, is
// contiguous; and chains that link the input positions of the last 256
// bytes by the two bytes they start with, newest first.
struct RingHistory {
    uint8_t bytes[kRingSize + kMaxMatchLength];
    // Per input index k (kept at k mod 256): the previous index whose two
    // bytes equal those at k. Slot k mod 256 is reused only when k has left
    // the ring, so a walk that stops at the ring's oldest byte never sees a
    // reused slot.
    int64_t previous[kRingSize];
    int64_t newest[kKeyCount];   // per pair: the newest index starting with it

    RingHistory() {
        memset(bytes, 0, sizeof bytes);
        for (uint32_t key = 0; key < kKeyCount; ++key) newest[key] = kNoIndex;
    }

    void store(size_t index, uint8_t value) {
        uint32_t w = (uint32_t)(index & (kRingSize - 1));
        bytes[w] = value;
        if (w < kMaxMatchLength) bytes[kRingSize + w] = value;
    }

    // Links input index k once the byte after it is known.
    void chain(const uint8_t* data, size_t k) {
        uint16_t key = (uint16_t)(data[k] | (data[k + 1] << 8));
        previous[k & (kRingSize - 1)] = newest[key];
        newest[key] = (int64_t)k;
    }
};

// The 8-byte compare finds the first differing byte as the lowest set bit.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "commonLength assumes a little-endian host"
#endif

// Length of the common prefix of a and b, at most limit (<= 17); wide says
// that 17 bytes of both are readable.
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

// Per input position: the longest match there (0 or 2..17) and a ring
// position it copies from. Filled in one pass, so left uninitialised.
struct MatchTable {
    explicit MatchTable(size_t size)
        : length(new uint8_t[size]), position(new uint8_t[size]) {}
    std::unique_ptr<uint8_t[]> length;
    std::unique_ptr<uint8_t[]> position;
};

// The longest match at one input position, among the sources offered.
struct MatchSearch {
    const uint8_t* wanted;   // the input at the position
    const uint8_t* ring;     // RingHistory::bytes
    uint32_t limit;          // longest useful length: 17 or what is left
    bool wide;               // 17 bytes of input are readable
    uint32_t best = 0;
    uint32_t bestPosition = 0;

    // Returns true once no source can do better.
    bool consider(uint32_t position) {
        const uint8_t* source = ring + position;
        // A source can only beat the best if it agrees one byte further.
        if (best >= kMinMatchLength && source[best] != wanted[best]) return false;
        uint32_t length = commonLength(wanted, source, limit, wide);
        if (length > best) {
            best = length;
            bestPosition = position;
        }
        return best == limit;
    }
};

// Searches every source of the ring before input position i: the chained
// positions with the same first two bytes; the newest byte, whose successor
// in the ring is the oldest byte (or zero) and so is on no chain; and while
// the ring is not yet full, the never-written positions, which read zeros
// and then wrap round to the first output bytes.
void searchSources(const RingHistory& history, const uint8_t* data, size_t i, MatchSearch* search) {
    if (i > 0 && search->consider((uint32_t)((i - 1) & (kRingSize - 1)))) return;
    const int64_t oldest = (int64_t)i - (int64_t)kRingSize;
    int64_t k = history.newest[(uint16_t)(data[i] | (data[i + 1] << 8))];
    for (; k >= oldest && k != kNoIndex; k = history.previous[k & (kRingSize - 1)]) {
        if (search->consider((uint32_t)(k & (kRingSize - 1)))) return;
    }
    if (i >= kRingSize || data[i] != 0) return;
    // Sources from i up to 239 read 17 zeros, as i itself does; later ones wrap.
    if (search->consider((uint32_t)i)) return;
    const uint32_t firstWrapping = kRingSize - kMaxMatchLength + 1;
    for (uint32_t p = std::max<uint32_t>((uint32_t)i + 1, firstWrapping); p < kRingSize; ++p) {
        if (search->consider(p)) return;
    }
}

// Fills the table with the longest match the ring offers at every input
// position. The ring's contents before position i depend only on the bytes
// before i, so these do not depend on how the input is parsed.
void findLongestMatches(const uint8_t* data, size_t size, MatchTable* found) {
    std::unique_ptr<RingHistory> history(new RingHistory);
    uint8_t* lengths = found->length.get();
    uint8_t* positions = found->position.get();
    for (size_t i = 0; i < size; ++i) {
        const size_t remaining = size - i;
        MatchSearch search;
        search.wanted = data + i;
        search.ring = history->bytes;
        search.limit = (uint32_t)std::min<size_t>(kMaxMatchLength, remaining);
        search.wide = remaining >= kMaxMatchLength;
        if (remaining >= kMinMatchLength) searchSources(*history, data, i, &search);
        lengths[i] = (uint8_t)(search.best >= kMinMatchLength ? search.best : 0);
        positions[i] = (uint8_t)search.bestPosition;
        history->store(i, data[i]);
        if (i > 0) history->chain(data, i - 1);
    }
}

// Chooses an item for every input position reachable by an optimal parse,
// working back from the end, and stores it over the match length: 1 for a
// literal, otherwise the match length. Returns the item bits of the input.
uint64_t chooseItems(uint8_t* lengths, size_t size) {
    // Cost from position i to the end, for the positions up to 17 ahead.
    constexpr size_t kWindow = 32;
    uint64_t costAhead[kWindow] = {0};
    for (size_t i = size; i-- > 0;) {
        uint64_t best = kLiteralBits + costAhead[(i + 1) & (kWindow - 1)];
        uint8_t item = 1;
        for (uint32_t length = kMinMatchLength; length <= lengths[i]; ++length) {
            uint64_t cost = kMatchBits + costAhead[(i + length) & (kWindow - 1)];
            if (cost < best) {
                best = cost;
                item = (uint8_t)length;
            }
        }
        costAhead[i & (kWindow - 1)] = best;
        lengths[i] = item;
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
    MatchTable matches(size);
    findLongestMatches(data, size, &matches);
    uint64_t bits = chooseItems(matches.length.get(), size);
    stream.reserve((size_t)((bits + 7) / 8));
    BitWriter writer(&stream);
    for (size_t i = 0; i < size;) {
        uint32_t length = matches.length[i];
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
    MatchTable matches(size);
    findLongestMatches(data, size, &matches);
    return chooseItems(matches.length.get(), size);
}
