// "Apple Video" (rpza) decoder.
//
// A frame is one chunk: the byte 0xE1, a 3-byte big-endian chunk length
// (header included), then codes for the picture's 4 x 4 blocks, left to
// right and top to bottom. Colours are 16-bit big-endian 5-5-5 RGB (bit 15
// is a flag, not colour). A code starts with an opcode byte whose low five
// bits give a block count n - 1:
//   0x80 | (n-1)  skip n blocks (they keep the previous frame's pixels)
//   0xA0 | (n-1)  n blocks of the one colour that follows
//   0xC0 | (n-1)  colours A and B, then n blocks of four 2-bit index bytes
//   a byte with bit 7 clear starts a colour A itself: when the byte after
//                 A has bit 7 set it is colour B of one four-colour block,
//                 otherwise A is the first of one block's 16 colours.
// Index 3 is colour A, index 0 colour B, and 1 and 2 lie between them at
// 21/32 and 11/32 of the way from A, computed on the 5-bit components. Index
// bytes are block rows, leftmost pixel in the top bits.
#include <algorithm>

#include "qt_bytes.h"
#include "quicktime_coders.h"

namespace cinelark::playback {

namespace {

// Walks the blocks in stream order and knows where each one lies in a
// bottom-up frame.
class BlockCursor {
public:
    BlockCursor(uint32_t *frame, int blocksWide, int blocksHigh, int rowPixels)
        : frame_(frame), wide_(blocksWide), rowPixels_(rowPixels),
          remaining_(size_t(blocksWide) * size_t(blocksHigh)), topRow_(blocksHigh * 4 - 1)
    {
    }

    size_t remaining() const { return remaining_; }

    // The block's top-left pixel; the rows below it lie rowPixels lower in
    // memory.
    uint32_t *block() const { return frame_ + size_t(topRow_ - by_ * 4) * rowPixels_ + bx_ * 4; }

    void advance(size_t n)
    {
        remaining_ -= n;
        size_t x = size_t(bx_) + n;
        by_ += int(x / size_t(wide_));
        bx_ = int(x % size_t(wide_));
    }

    ptrdiff_t stride() const { return -ptrdiff_t(rowPixels_); }

private:
    uint32_t *frame_;
    int wide_;
    int rowPixels_;
    size_t remaining_;
    int topRow_;
    int bx_ = 0;
    int by_ = 0;
};

void fillBlock(uint32_t *p, ptrdiff_t stride, uint32_t colour)
{
    for (int y = 0; y < 4; y++, p += stride)
        p[0] = p[1] = p[2] = p[3] = colour;
}

void indexBlock(uint32_t *p, ptrdiff_t stride, const uint32_t colours[4], const uint8_t *rows)
{
    for (int y = 0; y < 4; y++, p += stride) {
        unsigned bits = rows[y];
        p[0] = colours[bits >> 6];
        p[1] = colours[(bits >> 4) & 3];
        p[2] = colours[(bits >> 2) & 3];
        p[3] = colours[bits & 3];
    }
}

uint32_t blend(uint32_t a, uint32_t b, uint32_t wa, uint32_t wb)
{
    uint32_t c = 0;
    for (int shift = 0; shift <= 10; shift += 5) {
        uint32_t va = (a >> shift) & 31, vb = (b >> shift) & 31;
        c |= ((wa * va + wb * vb) >> 5) << shift;
    }
    return c;
}

void fourColours(uint32_t a, uint32_t b, uint32_t colours[4])
{
    colours[0] = kRgb555Words[b & 0x7FFF];
    colours[1] = kRgb555Words[blend(a, b, 11, 21)];
    colours[2] = kRgb555Words[blend(a, b, 21, 11)];
    colours[3] = kRgb555Words[a & 0x7FFF];
}

}  // namespace

int decodeRpza(uint32_t *frame, const uint8_t *data, size_t size, int blocksWide, int blocksHigh,
               int rowPixels)
{
    if (frame == nullptr || blocksWide < 0 || blocksHigh < 0 || rowPixels < blocksWide * 4)
        return kQtBadCode;
    if (data == nullptr || size < 4)
        return kQtShortData;
    QtReader head({data, 4});
    if (head.u8() != 0xE1)
        return kQtBadCode;
    uint32_t chunk = head.u24();
    if (chunk < 4)
        return kQtBadCode;
    // A chunk length beyond the data is decoded as far as the data goes.
    int status = chunk > size ? kQtShortData : kQtOk;
    QtReader in({data + 4, std::min<size_t>(chunk, size) - 4});
    if (blocksWide == 0 || blocksHigh == 0)
        return status;

    BlockCursor cursor(frame, blocksWide, blocksHigh, rowPixels);
    const ptrdiff_t stride = cursor.stride();
    while (cursor.remaining() > 0 && !in.atEnd()) {
        unsigned opcode = in.u8();
        size_t count = (opcode & 0x1F) + 1;
        uint32_t colourA = 0;
        if ((opcode & 0x80) == 0) {
            colourA = opcode << 8 | in.u8();
            count = 1;
            opcode = (in.peek() & 0x80) ? 0x20 : 0x00;
        }
        if ((opcode & 0xE0) == 0xE0)
            return kQtBadCode;
        if (count > cursor.remaining()) {
            count = cursor.remaining();
            status = kQtOverrun;
        }
        switch (opcode & 0xE0) {
        case 0x80:
            cursor.advance(count);
            break;
        case 0xA0: {
            uint32_t colour = kRgb555Words[in.u16() & 0x7FFF];
            if (!in.ok())
                return kQtShortData;
            for (size_t i = 0; i < count; i++, cursor.advance(1))
                fillBlock(cursor.block(), stride, colour);
            break;
        }
        case 0xC0:
            colourA = in.u16();
            [[fallthrough]];
        case 0x20: {
            uint32_t colours[4];
            fourColours(colourA, in.u16(), colours);
            for (size_t i = 0; i < count; i++, cursor.advance(1)) {
                const uint8_t *rows = in.take(4);
                if (rows == nullptr)
                    return kQtShortData;
                indexBlock(cursor.block(), stride, colours, rows);
            }
            break;
        }
        default: {
            const uint8_t *rest = in.take(30);
            if (rest == nullptr)
                return kQtShortData;
            // Colour A came first; the other fifteen follow in row order.
            uint32_t *p = cursor.block();
            p[0] = kRgb555Words[colourA & 0x7FFF];
            for (int k = 1; k < 4; k++)
                p[k] = kRgb555Words[(rest[2 * k - 2] << 8 | rest[2 * k - 1]) & 0x7FFF];
            for (int y = 1; y < 4; y++) {
                p += stride;
                const uint8_t *c = rest + 8 * y - 2;
                for (int x = 0; x < 4; x++)
                    p[x] = kRgb555Words[(c[2 * x] << 8 | c[2 * x + 1]) & 0x7FFF];
            }
            cursor.advance(1);
            break;
        }
        }
        if (!in.ok())
            return kQtShortData;
        if (status == kQtOverrun)
            return status;
    }
    if (cursor.remaining() > 0)
        return kQtShortData;
    return status;
}

}  // namespace cinelark::playback
