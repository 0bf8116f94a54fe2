// The converters. Each takes (width, height, srcFormat, src, dstFormat, dst),
// converts a whole picture from one layout to another, honours the flip
// switch and returns 0. Arguments are checked once by csConvert, the only
// caller; the format arguments are passed along unused so that every entry of
// the dispatch table has the same shape.
#pragma once

#include <cstdint>

namespace cinelark::cs {

using Converter = int(int width, int height, int srcFormat, const uint8_t* src, int dstFormat,
                      uint8_t* dst);

// The 8 x 8 table indexed [source][destination]; the diagonal is empty.
extern Converter* const kConverters[8][8];

// From RGB.
Converter RGBToRGBX;
Converter RGBToRGBA;
Converter RGBToRGB332;
Converter RGBToGrayscale;
Converter RGBToYUV;
Converter RGBToYUV422;
Converter RGBToYUV422HC;

// From RGBX.
Converter RGBXToRGB;
Converter RGBXToRGBA;
Converter RGBXToRGB332;
Converter RGBXToGrayscale;
Converter RGBXToYUV;
Converter RGBXToYUV422;
Converter RGBXToYUV422HC;

// From RGBA.
Converter RGBAToRGB;
Converter RGBAToRGBX;
Converter RGBAToRGB332;
Converter RGBAToGrayscale;
Converter RGBAToYUV;
Converter RGBAToYUV422;
Converter RGBAToYUV422HC;

// From RGB332.
Converter RGB332ToRGB;
Converter RGB332ToRGBX;
Converter RGB332ToRGBA;
Converter RGB332ToGrayscale;
Converter RGB332ToYUV;
Converter RGB332ToYUV422;
Converter RGB332ToYUV422HC;

// From Grayscale.
Converter GrayscaleToRGB;
Converter GrayscaleToRGBX;
Converter GrayscaleToRGBA;
Converter GrayscaleToRGB332;
Converter GrayscaleToYUV;
Converter GrayscaleToYUV422;
Converter GrayscaleToYUV422HC;

// From YUV.
Converter YUVToRGB;
Converter YUVToRGBX;
Converter YUVToRGBA;
Converter YUVToRGB332;
Converter YUVToGrayscale;
Converter YUVToYUV422;
Converter YUVToYUV422HC;

// From YUV422.
Converter YUV422ToRGB;
Converter YUV422ToRGBX;
Converter YUV422ToRGBA;
Converter YUV422ToRGB332;
Converter YUV422ToGrayscale;
Converter YUV422ToYUV;
Converter YUV422ToYUV422HC;

// From YUV422HC.
Converter YUV422HCToRGB;
Converter YUV422HCToRGBX;
Converter YUV422HCToRGBA;
Converter YUV422HCToRGB332;
Converter YUV422HCToGrayscale;
Converter YUV422HCToYUV;
Converter YUV422HCToYUV422;

// Variants chosen by YUVToRGBX, YUV422ToRGBX, YUV422HCToRGBX and
// YUV422HCToRGB332 from the fast and zoom switches; all use the fast table.
Converter FastYUVToRGBX;
Converter FastZoom2YUVToRGBX;
Converter FastZoomX2Y4YUVToRGBX;
Converter FastYUV422ToRGBX;
Converter FastZoom2YUV422ToRGBX;
Converter FastZoomX2Y4YUV422ToRGBX;
Converter FastYUV422HCToRGBX;
Converter FastZoom2YUV422HCToRGBX;
Converter FastZoomX2Y4YUV422HCToRGBX;
Converter FastZoomX2Y4YUV422HCToRGBXInt;
Converter FastYUV422HCToRGB332;
Converter FastZoom2YUV422HCToRGB332;

}  // namespace cinelark::cs
