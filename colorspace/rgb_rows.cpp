// Byte moves between RGB and words; see rgb_rows.h.
#include "rgb_rows.h"

#include "pixel.h"

#if defined(__x86_64__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#define CINELARK_CS_SHUFFLE 1
#include <immintrin.h>
#endif

namespace cinelark::cs {

namespace {

void rgbToWordsPlain(const uint8_t* s, uint8_t* d, int width, uint32_t keepMask, uint32_t topByte)
{
    for (int i = 0; i < width; ++i, s += 3, d += 4)
        store32(d, (load32(d) & keepMask) | topByte | packRGB(s[2], s[1], s[0]));
}

void wordsToRgbPlain(const uint8_t* s, uint8_t* d, int width)
{
    for (int i = 0; i < width; ++i, s += 4, d += 3) {
        const uint32_t w = load32(s);
        d[0] = static_cast<uint8_t>(w >> 16);
        d[1] = static_cast<uint8_t>(w >> 8);
        d[2] = static_cast<uint8_t>(w);
    }
}

#if CINELARK_CS_SHUFFLE

// Four pixels per step. The shuffle reads 16 source bytes for the 12 it
// uses (and, the other way, writes 16 destination bytes of which the last 4
// belong to the next pixels and are written again by the next step), so the
// vector loop stops while at least 6 pixels remain and the plain loop
// finishes the row without touching bytes past its end.
__attribute__((target("ssse3"))) void rgbToWordsShuffle(const uint8_t* s, uint8_t* d, int width,
                                                        uint32_t keepMask, uint32_t topByte)
{
    // Word i takes R, G, B from source bytes 3i+2, 3i+1, 3i; -1 gives 0.
    const __m128i order = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
    const __m128i keep = _mm_set1_epi32(static_cast<int>(keepMask));
    const __m128i top = _mm_set1_epi32(static_cast<int>(topByte));
    int i = 0;
    for (; width - i >= 6; i += 4, s += 12, d += 16) {
        const __m128i rgb = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s)), order);
        const __m128i old = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(d)), keep);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_or_si128(_mm_or_si128(rgb, old), top));
    }
    rgbToWordsPlain(s, d, width - i, keepMask, topByte);
}

__attribute__((target("ssse3"))) void wordsToRgbShuffle(const uint8_t* s, uint8_t* d, int width)
{
    const __m128i order = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    int i = 0;
    for (; width - i >= 6; i += 4, s += 16, d += 12) {
        const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_shuffle_epi8(words, order));
    }
    wordsToRgbPlain(s, d, width - i);
}

bool haveShuffle()
{
    static const bool have = __builtin_cpu_supports("ssse3");
    return have;
}

#endif

}  // namespace

void rgbRowToWords(const uint8_t* s, uint8_t* d, int width, uint32_t keepMask, uint32_t topByte)
{
#if CINELARK_CS_SHUFFLE
    if (haveShuffle())
        return rgbToWordsShuffle(s, d, width, keepMask, topByte);
#endif
    rgbToWordsPlain(s, d, width, keepMask, topByte);
}

void wordsRowToRgb(const uint8_t* s, uint8_t* d, int width)
{
#if CINELARK_CS_SHUFFLE
    if (haveShuffle())
        return wordsToRgbShuffle(s, d, width);
#endif
    wordsToRgbPlain(s, d, width);
}

}  // namespace cinelark::cs
