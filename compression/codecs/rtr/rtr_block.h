// One 8 x 8 block of the "RTR" codec: the Walsh-Hadamard transform, the
// quantisation by shifts and the byte-oriented code of the 64 coefficients.
//
// Coefficient k = 8r + c is C[r][c] (r vertical, c horizontal frequency) of
// the unnormalised transform C = H X H, where H[a][b] = (-1)^popcount(a & b)
// is the 8-point Hadamard matrix in natural order. Since H H = 8 I, the
// decoder gets the samples back as H D H once each coefficient is brought to
// the scale C / 64, which is what dequantising by (shift - 6) does.
//
// A coded block is the DC byte, then codes for zig-zag positions 1..63:
//   0x00-0x3F  that many zero coefficients (the coder writes 2..63)
//   0x40-0x7F  a run of ((b >> 3) & 7) + 2 equal values V[b & 7]
//   0x80-0xBF  two values ((b >> 3) & 7) - 3 and (b & 7) - 3
//   0xC0-0xFE  one value (b & 0x3F) - 31
//   0xFF       one value: the next byte minus 128
// so no block takes more than 1 + 63 x 2 bytes.
#ifndef CINELARK_COMPRESSION_CODECS_RTR_RTR_BLOCK_H
#define CINELARK_COMPRESSION_CODECS_RTR_RTR_BLOCK_H

#include <cstdint>

namespace cl::codecs::rtr {

constexpr int kMaxBlockBytes = 127;
constexpr int kQualityLevels = 6;

// The quantisation shifts of a quality level (1..6) for luminance or
// chrominance blocks, indexed by k.
const uint8_t* Shifts(int quality, bool chroma);

// The zig-zag scan: position p holds coefficient kZigZag[p].
extern const uint8_t kZigZag[64];

// Transforms 64 samples (row-major, 0..255) and quantises them with the
// shifts: q[k] = (C[k] + 2^s / 2) >> s. The coefficients other than the DC
// are clamped to -128..127, the most the escape code holds: a full-contrast
// block reaches 128 at shift 6.
void ForwardBlock(const uint8_t* samples, const uint8_t* shifts, int32_t* q);

// Writes the codes of 64 quantised coefficients to out (room for
// kMaxBlockBytes) and returns their length.
int CodeBlock(const int32_t* q, uint8_t* out);

// Decodes one block from in, which must hold kMaxBlockBytes readable bytes
// (pad a short tail), into 64 dequantised coefficients; returns the bytes
// used. Codes that would fill more than 63 positions, or the empty run 0x00,
// mark the block damaged: what fits is kept and the block ends there.
int DecodeBlock(const uint8_t* in, const uint8_t* shifts, int32_t* d, bool* damaged);

// The table that clamps a decoded sum to 0..255, indexed by the sum; built on
// the first call. Whatever a stream holds, every sum lies within it.
const uint8_t* ClampTable();

// The samples of dequantised coefficients, each clamped to 0..255 through
// the clamp table (d is used as working space).
void InverseBlock(int32_t* d, const uint8_t* clamp, uint8_t* samples);

}  // namespace cl::codecs::rtr

#endif
