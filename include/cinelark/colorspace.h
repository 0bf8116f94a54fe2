/*
 * Colour-space conversion between the eight packed pixel layouts that the
 * codecs and the movie window exchange.
 *
 * Layouts (rows top to bottom, tightly packed; a row is width x bytes per
 * pixel bytes):
 *
 *   CS_RGB       3 bytes   B, G, R
 *   CS_RGBX      4 bytes   one native 32-bit word 0xXXBBGGRR (red in the low
 *                          byte); X is bits 24-31
 *   CS_RGBA      4 bytes   as RGBX with alpha in bits 24-31
 *   CS_RGB332    1 byte    bits 7-5 red, 4-3 blue, 2-0 green
 *   CS_GRAYSCALE 1 byte    grey level
 *   CS_YUV       3 bytes   U, Y, V
 *   CS_YUV422    2 bytes   pixel pairs of 4 bytes U, Y0, V, Y1
 *   CS_YUV422HC  2 bytes   same bytes as CS_YUV422
 *   CS_RGB8      the compression library's 8-bit layout; it passes the range
 *                check but has no converters
 *
 * The three switches are process-wide. A caller sets the ones it needs right
 * before csConvert and resets them right after; callers converting from
 * several threads serialise around that sequence. Conversion itself is safe
 * from any thread: the tables are built once, on first use, under the
 * language's one-time initialisation.
 */
#ifndef CINELARK_COLORSPACE_H
#define CINELARK_COLORSPACE_H

#ifdef __cplusplus
extern "C" {
#endif

enum {
    CS_RGB = 0,
    CS_RGBX = 1,
    CS_RGBA = 2,
    CS_RGB332 = 3,
    CS_GRAYSCALE = 4,
    CS_YUV = 5,
    CS_YUV422 = 6,
    CS_YUV422HC = 7,
    CS_RGB8 = 8
};

/*
 * Converts width x height pixels from srcFormat at src to dstFormat at dst.
 * dst must hold width x height x bytes-per-pixel(dstFormat) bytes; with a
 * zoom factor of 2 or more set by csZoom, the YUV-to-RGBX and
 * YUV422HC-to-RGB332 conversions write a zoomed picture (see csZoom).
 * Equal formats copy (mirrored when csFlipVertically is on); src and dst may
 * then overlap or be the same buffer. Between different formats the buffers
 * must not overlap.
 *
 * Returns 0, or -1 when a format is outside 0..8, when CS_RGB8 is paired with
 * another format, when width or height is negative or so large that offsets
 * in the picture would overflow an int (width above INT_MAX / 8, height
 * above INT_MAX / 4), when a pointer is null
 * while there is something to convert, or when memory for a table runs out.
 * Nothing is written on failure.
 */
int csConvert(int width, int height, int srcFormat, const void *src,
              int dstFormat, void *dst);

/* Sets the vertical-flip switch: when non-zero, source row 0 is written to
 * the last destination row. Returns the previous value. */
int csFlipVertically(int flag);

/* Sets the fast switch: when non-zero, YUV-to-RGBX and YUV422HC-to-RGB332 use
 * a 32 x 32 x 32 lookup table instead of exact arithmetic. Returns the
 * previous value. */
int csFast(int flag);

/* Sets both zoom factors and returns the previous vertical one. Only the
 * vertical factor chooses a variant of the YUV-to-RGBX conversions:
 * 2 or 3 writes 2*width x 2*height pixels, 4 or more writes
 * 2*width x 4*height pixels (for CS_YUV422HC, 5 or more interpolates luma
 * between rows). YUV422HC-to-RGB332 writes 2*width x 2*height bytes from 2
 * upwards. Zoomed output always uses the lookup table. */
int csZoom(int x, int y);

#ifdef __cplusplus
}
#endif

#endif
