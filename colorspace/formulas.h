// RGB to luma and chroma, in double precision with every result truncated
// toward zero, as the stored pixels of every codec depend on it:
//   Y = 0.299 R + 0.587 G + 0.114 B
//   U = -0.169 R - 0.331 G + 0.5 B + 127.0
//   V = 0.5 R - 0.419 G - 0.081 B + 127.0
// The terms are summed left to right (white gives exactly 255.0) and the
// library is built without floating-point contraction, so no fused
// multiply-add changes a last bit. All results lie in 0..255 for byte inputs
// (the smallest, -0.5, truncates to 0).
#pragma once

#include <array>
#include <cstdint>

namespace cinelark::cs {

inline uint8_t lumaOf(int r, int g, int b)
{
    return static_cast<uint8_t>(static_cast<int>(0.299 * r + 0.587 * g + 0.114 * b));
}

inline uint8_t chromaUOf(int r, int g, int b)
{
    return static_cast<uint8_t>(static_cast<int>(-0.169 * r - 0.331 * g + 0.5 * b + 127.0));
}

inline uint8_t chromaVOf(int r, int g, int b)
{
    return static_cast<uint8_t>(static_cast<int>(0.5 * r - 0.419 * g - 0.081 * b + 127.0));
}

// The same formulas with every product looked up: each entry is the product
// the formula computes (a table entry 0.299 * R is the very double the
// multiplication gives), and the sums run in the same order, so the results
// are identical while a pixel costs lookups and additions only.
struct RgbProducts {
    std::array<double, 256> yR, yG, yB;  // 0.299 R, 0.587 G, 0.114 B
    std::array<double, 256> uR, uG, uB;  // -0.169 R, 0.331 G, 0.5 B
    std::array<double, 256> vR, vG, vB;  // 0.5 R, 0.419 G, 0.081 B
};

const RgbProducts& rgbProducts();

inline uint8_t lumaOf(const RgbProducts& t, int r, int g, int b)
{
    return static_cast<uint8_t>(static_cast<int>(t.yR[r] + t.yG[g] + t.yB[b]));
}

inline uint8_t chromaUOf(const RgbProducts& t, int r, int g, int b)
{
    return static_cast<uint8_t>(static_cast<int>(t.uR[r] - t.uG[g] + t.uB[b] + 127.0));
}

inline uint8_t chromaVOf(const RgbProducts& t, int r, int g, int b)
{
    return static_cast<uint8_t>(static_cast<int>(t.vR[r] - t.vG[g] - t.vB[b] + 127.0));
}

}  // namespace cinelark::cs
