// Device parameters: the translation of callers' (parameter, value) pairs
// into the device's request words.
#ifndef CINELARK_AUDIOPORT_PARAMS_H
#define CINELARK_AUDIOPORT_PARAMS_H

#include <cstdint>
#include <span>

namespace cinelark::audioport {

// A request holds at most this many words: the count word and 30 pairs.
inline constexpr std::size_t kRequestWords = 62;

// Translates caller pairs into `request` (word 0 the number of words used,
// then device pairs) until the pairs run out or the request is full.
// Returns the number of caller pairs consumed.
std::size_t translate_pairs(std::span<const long> pairs, std::span<int32_t, kRequestWords> request);

}  // namespace cinelark::audioport

#endif
