// Ordered dithering to RGB332 for the converters that write it. The matrix
// phase of a pixel is its row and column counted down from the end of the
// picture and of the row (rows left, pixels left), each modulo 4.
#pragma once

#include <cstdint>

#include "tables.h"

namespace cinelark::cs {

class RowDither {
public:
    explicit RowDither(int rowsLeft) : matrixRow_(kDither[rowsLeft & 3]) {}

    uint8_t code(int pixelsLeft, int r, int g, int b) const
    {
        int d = matrixRow_[pixelsLeft & 3];
        return static_cast<uint8_t>(kDitherSteps.red[d][r] | kDitherSteps.green[d][g] |
                                    kDitherSteps.blue[d][b]);
    }

    uint8_t code(int pixelsLeft, uint32_t rgbx) const
    {
        return code(pixelsLeft, rgbx & 0xFF, rgbx >> 8 & 0xFF, rgbx >> 16 & 0xFF);
    }

private:
    const uint8_t* matrixRow_;
};

}  // namespace cinelark::cs
