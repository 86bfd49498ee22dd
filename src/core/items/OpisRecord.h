#pragma once
// The scanner's description record of one storage slot, TOpis_512B: 512 bytes read
// as 256 unsigned 16-bit little-endian words. Images and cines use the same layout.
#include "items/TImageData.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kelvo {

inline constexpr std::size_t kOpisRecordBytes = 512;
inline constexpr std::uint16_t kOpisSlotMarker = 31415; // word 0 of an occupied slot (0x7AB7)

using TOpis_512B = std::span<const std::uint8_t, kOpisRecordBytes>;

// Word n of a record (byte offset 2n, little-endian).
std::uint16_t opisWord(TOpis_512B record, std::size_t n);

// Word 0 is 31415.
bool opisSlotZajety(TOpis_512B record);

// One record as a header: ID = p_id, every other field from its word, zero-extended; the
// character fields from the low bytes of their words; the four measurements from words
// 239..254, stored backwards (measurement k: x1 = word 254 - 4k, y1 = 253 - 4k, x2 = 252 - 4k,
// y2 = 251 - 4k); CF_OPIS_jest when any description byte is not a space (NUL counts as not a
// space). Looks neither at the slot marker nor at any range: every 512 bytes decode.
TImageData decodeOpisRecord(TOpis_512B record, std::int32_t p_id);

// The entries of a catalogue: the occupied slots among the first `p_ilosc` records, in slot
// order, taking only records that lie whole inside `bytes` (a short reply yields entries only
// for the records that arrived whole).
std::vector<TImageData> decodeCatalogue(std::span<const std::uint8_t> bytes, std::int32_t p_ilosc);

} // namespace kelvo
