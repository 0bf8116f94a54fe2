// Exact YUV rows to 32-bit words; see yuv_words.h for the lane tables.
#include "yuv_words.h"


#include "pixel.h"
#include "tables.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace cinelark::cs {

namespace {

YuvLaneTables buildLaneTables()
{
    const YuvTables& t = yuvTables();
    YuvLaneTables lanes{};
    for (int i = 0; i < 256; ++i) {
        const int16_t l = t.luma[i];
        lanes.luma[i] = {l, l, l, 0};
        lanes.v[i] = {t.v[i].red, static_cast<int16_t>(-t.v[i].greenLoss), 0, 0};
        lanes.u[i] = {0, static_cast<int16_t>(-t.u[i].greenLoss), t.u[i].blue, 0};
    }
    return lanes;
}

}  // namespace

const YuvLaneTables& yuvLaneTables()
{
    static const YuvLaneTables tables = buildLaneTables();
    return tables;
}

#if defined(__SSE2__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__

namespace {

inline __m128i lanes(const Lanes& l) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&l)); }

// Two pixels of a 4:2:2 pair: both lumas in one register, the pair's
// chroma sum in both halves of the other.
inline __m128i pairSums(const YuvLaneTables& t, const uint8_t* s)
{
    __m128i chroma = _mm_add_epi16(lanes(t.u[s[0]]), lanes(t.v[s[2]]));
    __m128i luma = _mm_unpacklo_epi64(lanes(t.luma[s[1]]), lanes(t.luma[s[3]]));
    return _mm_add_epi16(luma, _mm_unpacklo_epi64(chroma, chroma));
}

inline __m128i pixelSums(const YuvLaneTables& t, const uint8_t* s)
{
    return _mm_add_epi16(lanes(t.luma[s[1]]), _mm_add_epi16(lanes(t.u[s[0]]), lanes(t.v[s[2]])));
}

}  // namespace

void yuv422RowToWords(const uint8_t* s, uint8_t* d, int width, uint32_t topByte)
{
    const YuvLaneTables& t = yuvLaneTables();
    const __m128i top = _mm_set1_epi32(static_cast<int>(topByte));
    int pairs = width >> 1;
    for (; pairs >= 2; pairs -= 2, s += 8, d += 16) {
        __m128i words = _mm_packus_epi16(pairSums(t, s), pairSums(t, s + 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_or_si128(words, top));
    }
    if (pairs == 1) {
        __m128i sums = pairSums(t, s);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d), _mm_or_si128(_mm_packus_epi16(sums, sums), top));
    }
}

void yuv444RowToWords(const uint8_t* s, uint8_t* d, int width, uint32_t topByte)
{
    const YuvLaneTables& t = yuvLaneTables();
    const __m128i top = _mm_set1_epi32(static_cast<int>(topByte));
    int i = 0;
    for (; i + 4 <= width; i += 4, s += 12, d += 16) {
        __m128i a = _mm_unpacklo_epi64(pixelSums(t, s), pixelSums(t, s + 3));
        __m128i b = _mm_unpacklo_epi64(pixelSums(t, s + 6), pixelSums(t, s + 9));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_or_si128(_mm_packus_epi16(a, b), top));
    }
    for (; i < width; ++i, s += 3, d += 4) {
        __m128i sums = pixelSums(t, s);
        store32(d, static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(sums, sums))) | topByte);
    }
}

#else

// Portable form: the clamp tables of tables.h.
void yuv422RowToWords(const uint8_t* s, uint8_t* d, int width, uint32_t topByte)
{
    const YuvTables& t = yuvTables();
    for (int p = 0; p < width >> 1; ++p, s += 4, d += 8) {
        store32(d, yuvToRGBX(t, s[1], s[0], s[2]) | topByte);
        store32(d + 4, yuvToRGBX(t, s[3], s[0], s[2]) | topByte);
    }
}

void yuv444RowToWords(const uint8_t* s, uint8_t* d, int width, uint32_t topByte)
{
    const YuvTables& t = yuvTables();
    for (int i = 0; i < width; ++i, s += 3, d += 4)
        store32(d, yuvToRGBX(t, s[1], s[0], s[2]) | topByte);
}

#endif

}  // namespace cinelark::cs
