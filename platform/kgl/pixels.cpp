// Pixel rectangles: rectzoom, lrectwrite, lrectread.
//
// A pixel word 0xAABBGGRR lies in memory as the bytes R, G, B, A on a
// little-endian machine, which is exactly GL's GL_RGBA / GL_UNSIGNED_BYTE, so
// rectangles go to and from GL without conversion.
//
// GL drops a whole glDrawPixels whose raster position falls outside the view,
// yet a frame larger than its view is drawn with its corner at negative
// coordinates and must appear cropped. The raster position is therefore set
// at the centre of the view, always valid, and moved to the corner with a
// bitmap of no pixels, which GL allows to go anywhere.
#include <GL/gl.h>

#include <cmath>
#include <cstring>

#include "context.h"
#include "kgl/kgl.h"

using kgl::Context;

namespace {

// The window pixel (column, row) that holds the point (x, y).
void windowPixel(const Context &c, float x, float y, float &column, float &row)
{
    float wx = 0.0f, wy = 0.0f;
    kgl::toWindow(c, x, y, wx, wy);
    column = std::floor(wx);
    row = std::floor(wy);
}

void placeRaster(const Context &c, float column, float row)
{
    glRasterPos2f(0.5f * (c.orthoLeft + c.orthoRight), 0.5f * (c.orthoBottom + c.orthoTop));
    GLfloat at[4] = {0, 0, 0, 0};
    glGetFloatv(GL_CURRENT_RASTER_POSITION, at);
    glBitmap(0, 0, 0.0f, 0.0f, column - at[0], row - at[1], nullptr);
}

}  // namespace

extern "C" void rectzoom(float xfactor, float yfactor)
{
    Context *c = kgl::current();
    if (!c || !(xfactor > 0.0f) || !(yfactor > 0.0f))
        return;
    c->zoomX = xfactor;
    c->zoomY = yfactor;
    if (!c->ximage)
        glPixelZoom(xfactor, yfactor);
}

extern "C" void lrectwrite(short x1, short y1, short x2, short y2, const uint32_t *pixels)
{
    Context *c = kgl::current();
    const int width = x2 - x1 + 1, height = y2 - y1 + 1;
    if (!c || !pixels || width <= 0 || height <= 0)
        return;
    float column = 0.0f, row = 0.0f;
    windowPixel(*c, x1, y1, column, row);
    if (c->ximage)
        return c->ximage->writePixels(int(column), int(row), width, height, pixels, c->zoomX,
                                      c->zoomY);
    placeRaster(*c, column, row);
    glDrawPixels(width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
}

extern "C" long lrectread(short x1, short y1, short x2, short y2, uint32_t *pixels)
{
    Context *c = kgl::current();
    const int width = x2 - x1 + 1, height = y2 - y1 + 1;
    if (!c || !pixels || width <= 0 || height <= 0)
        return 0;
    const long count = long(width) * height;
    if (c->ximage) {
        float column = 0.0f, row = 0.0f;
        windowPixel(*c, x1, y1, column, row);
        c->ximage->readPixels(int(column), int(row), width, height, pixels);
        return count;
    }
    // GL leaves the parts outside the window untouched: they read as 0.
    std::memset(pixels, 0, size_t(count) * sizeof(uint32_t));
    float column = 0.0f, row = 0.0f;
    windowPixel(*c, x1, y1, column, row);
    glReadPixels(int(column), int(row), width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    // The window's alpha (255 when it has none) is not part of the picture.
    for (long i = 0; i < count; ++i)
        pixels[i] &= 0x00FFFFFFu;
    return count;
}
