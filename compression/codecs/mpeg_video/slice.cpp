// Slices, macroblocks and blocks (ISO/IEC 11172-2, 2.4.2.7 to 2.4.4).
//
// Motion vectors are kept as the stream reconstructs them (in whole or half
// samples as the picture's full_pel flag says) and turned into half-sample
// offsets only to predict. Reference areas that a damaged vector would take
// from outside the picture are moved to its edge, so no vector reads outside
// a store.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "idct.h"
#include "motion.h"
#include "slice.h"
#include "vlc_tables.h"

namespace cl::codecs::mpeg {
namespace {

constexpr int kDcReset = 128 * 8;
constexpr int kMaxCoefficient = 2047;

struct Vector {
  int x = 0;
  int y = 0;
};

class SliceDecoder {
 public:
  SliceDecoder(const PictureContext& p, BitReader& bits) : p_(p), bits_(bits) {}

  bool Run(int sliceCode) {
    const Geometry& g = p_.geometry;
    const int row = sliceCode - 1;
    if (row >= g.mbHeight) return false;
    qscale_ = int(bits_.Read(5));
    if (qscale_ == 0) return false;
    while (bits_.ReadBit()) {  // extra_information_slice
      bits_.Skip(8);
      if (bits_.Overrun()) return false;
    }
    ResetDc();
    const int total = g.mbWidth * g.mbHeight;
    int address = row * g.mbWidth - 1;
    bool first = true;
    for (;;) {
      const int increment = ReadAddressIncrement();
      if (increment <= 0) return false;
      if (!first && increment > 1) {
        if (p_.header->type == kIPicture) return false;
        if (address + increment >= total) return false;
        for (int skipped = address + 1; skipped < address + increment; ++skipped) {
          if (!Skipped(skipped)) return false;
        }
      }
      first = false;
      address += increment;
      if (address >= total) return false;
      if (!Macroblock(address)) return false;
      if (bits_.Overrun()) return false;
      if (bits_.Peek(23) == 0) return true;  // the next start code
    }
  }

 private:
  int ReadAddressIncrement() {
    int increment = 0;
    for (;;) {
      if (bits_.Overrun()) return -1;
      const VlcEntry e = kAddressIncrement[bits_.Peek(11)];
      if (e.length == 0) return -1;
      bits_.Skip(e.length);
      if (e.value == kAddressStuffing) continue;
      if (e.value == kAddressEscape) {
        increment += 33;
        continue;
      }
      return increment + e.value;
    }
  }

  bool Macroblock(int address) {
    const int type = p_.header->type;
    const auto& types = type == kIPicture ? kIntraType : type == kPPicture ? kPredictedType : kBidirectionalType;
    const VlcEntry t = types[bits_.Peek(6)];
    if (t.length == 0) return false;
    bits_.Skip(t.length);
    const int flags = t.value;
    if (flags & kQuant) {
      qscale_ = int(bits_.Read(5));
      if (qscale_ == 0) return false;
    }
    if (flags & kForward) {
      if (!ReadVector(p_.header->forwardFCode, &forward_)) return false;
    }
    if (flags & kBackward) {
      if (!ReadVector(p_.header->backwardFCode, &backward_)) return false;
    }
    const int mbx = address % p_.geometry.mbWidth;
    const int mby = address / p_.geometry.mbWidth;
    if (flags & kIntra) {
      forward_ = {};
      backward_ = {};
      return IntraBlocks(mbx, mby);
    }
    ResetDc();
    int pattern = 0;
    if (flags & kPattern) {
      const VlcEntry e = kBlockPattern[bits_.Peek(9)];
      if (e.length == 0) return false;
      bits_.Skip(e.length);
      pattern = e.value;
    }
    int predictFlags = flags & (kForward | kBackward);
    if (type == kPPicture && !(flags & kForward)) {
      forward_ = {};
      predictFlags = kForward;
    }
    lastFlags_ = predictFlags;
    PredictMacroblock(mbx, mby, predictFlags);
    return InterBlocks(mbx, mby, pattern);
  }

  // A macroblock the stream leaves out: a P picture copies the reference
  // (zero vector, predictor reset); a B picture predicts as the macroblock
  // before it did.
  bool Skipped(int address) {
    ResetDc();
    const int mbx = address % p_.geometry.mbWidth;
    const int mby = address / p_.geometry.mbWidth;
    if (p_.header->type == kPPicture) {
      forward_ = {};
      PredictMacroblock(mbx, mby, kForward);
      return true;
    }
    if (lastFlags_ == 0) return false;
    PredictMacroblock(mbx, mby, lastFlags_);
    return true;
  }

  // motion_code, then motion_r, reconstructed into the range of the f-code
  // (-16f .. 16f - 1) around the previous vector.
  bool ReadComponent(int fCode, int* value) {
    const VlcEntry e = kMotion[bits_.Peek(10)];
    if (e.length == 0) return false;
    bits_.Skip(e.length);
    int code = e.value;
    if (code == 0) return true;
    const bool negative = bits_.ReadBit();
    const int rSize = fCode - 1;
    int delta = code;
    if (rSize > 0) delta = ((code - 1) << rSize | int(bits_.Read(rSize))) + 1;
    if (negative) delta = -delta;
    const int bitsWide = 5 + rSize;
    const int span = 1 << bitsWide;
    int v = *value + delta;
    v = ((v + span / 2) & (span - 1)) - span / 2;
    *value = v;
    return true;
  }

  bool ReadVector(int fCode, Vector* v) { return ReadComponent(fCode, &v->x) && ReadComponent(fCode, &v->y); }

  void PredictMacroblock(int mbx, int mby, int directions) {
    bool average = false;
    if (directions & kForward) {
      PredictFrom(p_.forward, forward_, p_.header->fullPelForward, mbx, mby, false);
      average = true;
    }
    if (directions & kBackward) PredictFrom(p_.backward, backward_, p_.header->fullPelBackward, mbx, mby, average);
  }

  void PredictFrom(const Store& ref, Vector v, bool fullPel, int mbx, int mby, bool average) {
    if (fullPel) {
      v.x *= 2;
      v.y *= 2;
    }
    const Geometry& g = p_.geometry;
    const int ls = g.lumaStride();
    PredictArea(p_.target.y, ref.y, ls, g.mbHeight * 16, 16, mbx * 16, mby * 16, v.x, v.y, average);
    const int cx = v.x / 2;
    const int cy = v.y / 2;
    const int cs = g.chromaStride();
    PredictArea(p_.target.cr, ref.cr, cs, g.mbHeight * 8, 8, mbx * 8, mby * 8, cx, cy, average);
    PredictArea(p_.target.cb, ref.cb, cs, g.mbHeight * 8, 8, mbx * 8, mby * 8, cx, cy, average);
  }

  static void PredictArea(uint8_t* target, const uint8_t* ref, int stride, int rows, int size, int x, int y, int vx,
                          int vy, bool average) {
    const int hx = vx & 1;
    const int hy = vy & 1;
    const int sx = std::clamp(x + (vx >> 1), 0, stride - size - hx);
    const int sy = std::clamp(y + (vy >> 1), 0, rows - size - hy);
    Predict(target + size_t(y) * stride + x, ref + size_t(sy) * stride + sx, stride, size, hx, hy, average);
  }

  void ResetDc() { dc_[0] = dc_[1] = dc_[2] = kDcReset; }

  // The six blocks in stream order: four luma, then Cb, then Cr.
  uint8_t* BlockAt(int mbx, int mby, int b, int* stride) const {
    const Geometry& g = p_.geometry;
    if (b < 4) {
      *stride = g.lumaStride();
      return p_.target.y + size_t(mby * 16 + (b >> 1) * 8) * *stride + mbx * 16 + (b & 1) * 8;
    }
    *stride = g.chromaStride();
    uint8_t* plane = b == 4 ? p_.target.cb : p_.target.cr;
    return plane + size_t(mby * 8) * *stride + mbx * 8;
  }

  bool IntraBlocks(int mbx, int mby) {
    for (int b = 0; b < 6; ++b) {
      int stride = 0;
      uint8_t* dst = BlockAt(mbx, mby, b, &stride);
      if (!IntraBlock(b < 4 ? 0 : b - 3, dst, stride)) return false;
    }
    return true;
  }

  bool InterBlocks(int mbx, int mby, int pattern) {
    for (int b = 0; b < 6; ++b) {
      if (!(pattern & (32 >> b))) continue;
      int stride = 0;
      uint8_t* dst = BlockAt(mbx, mby, b, &stride);
      if (!InterBlock(dst, stride)) return false;
    }
    return true;
  }

  enum Read { kCoefficient, kEndOfBlock, kDamaged };

  Read ReadCoefficient(int* run, int* level) {
    const uint32_t w = bits_.Peek(16);
    const CoefficientEntry e = (w >> 10) != 0 ? kCoefficientShort[w >> 8] : kCoefficientLong[w & 0x3FF];
    if (e.length == 0) return kDamaged;
    bits_.Skip(e.length);
    if (e.run == kEndOfBlockRun) return kEndOfBlock;
    if (e.run == kEscapeRun) {
      *run = int(bits_.Read(6));
      const int first = int(bits_.Read(8));
      if (first == 0) {
        *level = int(bits_.Read(8));
      } else if (first == 128) {
        *level = int(bits_.Read(8)) - 256;
      } else {
        *level = int(int8_t(first));
      }
      return kCoefficient;
    }
    *run = e.run;
    *level = bits_.ReadBit() ? -int(e.level) : int(e.level);
    return kCoefficient;
  }

  // Dequantises one coefficient into the block: (2|level| + k) × scale ×
  // matrix / 16, made odd toward zero, at most 2047.
  void Place(int i, int level, int k, const uint8_t* matrix) {
    const int pos = kZigZag[i];
    int magnitude = ((2 * std::abs(level) + k) * qscale_ * matrix[pos]) >> 4;
    if ((magnitude & 1) == 0 && magnitude != 0) --magnitude;
    magnitude = std::min(magnitude, kMaxCoefficient);
    block_[TransposedIndex(pos)] = float(level < 0 ? -magnitude : magnitude) * kIdctScale[pos];
    last_ = level < 0 ? -magnitude : magnitude;
  }

  bool IntraBlock(int component, uint8_t* dst, int stride) {
    const VlcEntry e = component == 0 ? kLumaDcSize[bits_.Peek(7)] : kChromaDcSize[bits_.Peek(8)];
    if (e.length == 0) return false;
    bits_.Skip(e.length);
    int diff = 0;
    if (e.value > 0) {
      const int v = int(bits_.Read(e.value));
      diff = (v >> (e.value - 1)) ? v : v - (1 << e.value) + 1;
    }
    const int dc = std::clamp(dc_[component] + diff * 8, -8 * kMaxCoefficient, 8 * kMaxCoefficient);
    dc_[component] = dc;
    bool any = false;
    for (int i = 0;;) {
      int run = 0;
      int level = 0;
      const Read r = ReadCoefficient(&run, &level);
      if (r == kEndOfBlock) break;
      i += run + 1;
      if (r == kDamaged || i > 63 || bits_.Overrun()) return false;
      if (!any) {
        std::memset(block_, 0, sizeof block_);
        any = true;
      }
      Place(i, level, 0, p_.intraMatrix);
    }
    if (!any) {
      DcPut(dc, dst, stride);
      return true;
    }
    block_[0] = float(dc) * kIdctScale[0];
    IdctPut(block_, dst, stride);
    return true;
  }

  bool InterBlock(uint8_t* dst, int stride) {
    std::memset(block_, 0, sizeof block_);
    int count = 0;
    int i = -1;
    int run = 0;
    int level = 0;
    Read r = kCoefficient;
    if (bits_.Peek(1)) {  // dct_coeff_first's "1s": run 0, level 1
      bits_.Skip(1);
      level = bits_.ReadBit() ? -1 : 1;
    } else {
      r = ReadCoefficient(&run, &level);
    }
    while (r == kCoefficient) {
      i += run + 1;
      if (i > 63 || bits_.Overrun()) return false;
      Place(i, level, 1, p_.nonIntraMatrix);
      ++count;
      r = ReadCoefficient(&run, &level);
    }
    if (r == kDamaged) return false;
    if (count == 1 && i == 0) {
      DcAdd(last_, dst, stride);
    } else {
      IdctAdd(block_, dst, stride);
    }
    return true;
  }

  const PictureContext& p_;
  BitReader& bits_;
  int qscale_ = 1;
  int dc_[3] = {kDcReset, kDcReset, kDcReset};
  Vector forward_;
  Vector backward_;
  int lastFlags_ = 0;
  int last_ = 0;
  alignas(32) float block_[64];
};

}  // namespace

bool DecodeSlice(const PictureContext& picture, int sliceCode, BitReader& bits) {
  SliceDecoder decoder(picture, bits);
  return decoder.Run(sliceCode);
}

}  // namespace cl::codecs::mpeg
