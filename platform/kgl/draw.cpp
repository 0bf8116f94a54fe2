// View set-up, colour and shapes.
//
// Integer coordinates name pixel centres under the usual pixel-exact set-up
// (see kgl.h). GL leaves out the last pixel of a line and fills a rectangle
// only between its corner points, while here lines include both end points
// and a box covers its corner pixels: lines therefore end with a point on
// their last vertex, and boxes are widened by half a unit on every side.
//
// A context of the X image painter gets the same shapes as window pixels:
// a vertex goes to the pixel whose area holds it, and a box covers the
// pixels whose centres lie inside it once widened.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "context.h"
#include "error_trap.h"
#include "kgl/kgl.h"

using kgl::Context;

namespace {

// The window pixel of a vertex, for the X image painter.
std::array<int, 2> pixelOf(const Context &c, int x, int y)
{
    float wx = 0.0f, wy = 0.0f;
    kgl::toWindow(c, float(x), float(y), wx, wy);
    return {int(std::floor(wx)), int(std::floor(wy))};
}

std::vector<std::array<int, 2>> pixelsOf(const Context &c,
                                         const std::vector<std::array<int, 2>> &points)
{
    std::vector<std::array<int, 2>> out;
    out.reserve(points.size());
    for (const auto &p : points)
        out.push_back(pixelOf(c, p[0], p[1]));
    return out;
}

void setColour(Context &c, uint32_t word)
{
    c.colour = word;
    c.ximage->setColour(word);
}

}  // namespace

extern "C" void viewport(short left, short right, short bottom, short top)
{
    Context *c = kgl::current();
    if (!c)
        return;
    c->viewLeft = left;
    c->viewRight = right;
    c->viewBottom = bottom;
    c->viewTop = top;
    if (c->ximage) {
        c->ximage->learnSize();
        return;
    }
    glViewport(left, bottom, right - left + 1, top - bottom + 1);
}

extern "C" void ortho2(float left, float right, float bottom, float top)
{
    Context *c = kgl::current();
    if (!c || left == right || bottom == top)
        return;
    c->orthoLeft = left;
    c->orthoRight = right;
    c->orthoBottom = bottom;
    c->orthoTop = top;
    if (c->ximage)
        return;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(left, right, bottom, top, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

extern "C" void RGBcolor(short red, short green, short blue)
{
    Context *c = kgl::current();
    if (!c)
        return;
    auto clamp = [](short v) { return GLubyte(std::clamp<int>(v, 0, 255)); };
    if (c->ximage)
        return setColour(*c, 0xFF000000u | uint32_t(clamp(blue)) << 16 |
                                 uint32_t(clamp(green)) << 8 | clamp(red));
    glColor3ub(clamp(red), clamp(green), clamp(blue));
}

extern "C" void cpack(uint32_t abgr)
{
    Context *c = kgl::current();
    if (!c)
        return;
    if (c->ximage)
        return setColour(*c, abgr);
    glColor4ub(GLubyte(abgr), GLubyte(abgr >> 8), GLubyte(abgr >> 16), GLubyte(abgr >> 24));
}

extern "C" void sboxfi(int x1, int y1, int x2, int y2)
{
    Context *c = kgl::current();
    if (!c)
        return;
    if (c->ximage) {
        // Pixels whose centre (a whole number plus one half) lies in the
        // widened box.
        float left = 0, bottom = 0, right = 0, top = 0;
        kgl::toWindow(*c, float(std::min(x1, x2)) - 0.5f, float(std::min(y1, y2)) - 0.5f,
                      left, bottom);
        kgl::toWindow(*c, float(std::max(x1, x2)) + 0.5f, float(std::max(y1, y2)) + 0.5f,
                      right, top);
        c->ximage->fillBox(int(std::ceil(left - 0.5f)), int(std::ceil(bottom - 0.5f)),
                           int(std::ceil(right - 0.5f)) - 1, int(std::ceil(top - 0.5f)) - 1);
        return;
    }
    glRectf(float(std::min(x1, x2)) - 0.5f, float(std::min(y1, y2)) - 0.5f,
            float(std::max(x1, x2)) + 0.5f, float(std::max(y1, y2)) + 0.5f);
}

namespace {

void strokeLine(Context &c, const std::vector<std::array<int, 2>> &points)
{
    if (c.ximage)
        return c.ximage->line(pixelsOf(c, points));
    if (points.empty())
        return;
    glBegin(GL_LINE_STRIP);
    for (const auto &p : points)
        glVertex2i(p[0], p[1]);
    glEnd();
    glBegin(GL_POINTS);
    glVertex2i(points.back()[0], points.back()[1]);
    glEnd();
}

void fillPolygon(Context &c, const std::vector<std::array<int, 2>> &points)
{
    if (c.ximage)
        return c.ximage->fillPolygon(pixelsOf(c, points));
    if (points.size() < 3)
        return;
    glBegin(GL_POLYGON);
    for (const auto &p : points)
        glVertex2i(p[0], p[1]);
    glEnd();
}

}  // namespace

extern "C" void polf2i(long n, const int vertices[][2])
{
    Context *c = kgl::current();
    if (!c || n < 3 || !vertices)
        return;
    if (c->ximage) {
        std::vector<std::array<int, 2>> points;
        for (long i = 0; i < n; ++i)
            points.push_back({vertices[i][0], vertices[i][1]});
        return fillPolygon(*c, points);
    }
    glBegin(GL_POLYGON);
    for (long i = 0; i < n; ++i)
        glVertex2i(vertices[i][0], vertices[i][1]);
    glEnd();
}

extern "C" void bgnpolygon(void)
{
    if (Context *c = kgl::current()) {
        c->shape = Context::Shape::Polygon;
        c->vertices.clear();
    }
}

extern "C" void endpolygon(void)
{
    Context *c = kgl::current();
    if (!c || c->shape != Context::Shape::Polygon)
        return;
    fillPolygon(*c, c->vertices);
    c->shape = Context::Shape::Idle;
    c->vertices.clear();
}

extern "C" void bgnline(void)
{
    if (Context *c = kgl::current()) {
        c->shape = Context::Shape::Line;
        c->vertices.clear();
    }
}

extern "C" void endline(void)
{
    Context *c = kgl::current();
    if (!c || c->shape != Context::Shape::Line)
        return;
    strokeLine(*c, c->vertices);
    c->shape = Context::Shape::Idle;
    c->vertices.clear();
}

extern "C" void v2i(const int vertex[2])
{
    Context *c = kgl::current();
    if (!c || c->shape == Context::Shape::Idle || !vertex)
        return;
    c->vertices.push_back({vertex[0], vertex[1]});
}

extern "C" void move2i(int x, int y)
{
    if (Context *c = kgl::current()) {
        c->penX = x;
        c->penY = y;
    }
}

extern "C" void draw2i(int x, int y)
{
    Context *c = kgl::current();
    if (!c)
        return;
    if (c->ximage) {
        strokeLine(*c, {{c->penX, c->penY}, {x, y}});
        c->penX = x;
        c->penY = y;
        return;
    }
    glBegin(GL_LINES);
    glVertex2i(c->penX, c->penY);
    glVertex2i(x, y);
    glEnd();
    glBegin(GL_POINTS);
    glVertex2i(x, y);
    glEnd();
    c->penX = x;
    c->penY = y;
}

extern "C" void gflush(void)
{
    Context *c = kgl::current();
    if (!c)
        return;
    if (c->ximage)
        return c->ximage->flush();
    // The flush is where the picture goes to the server; should the window
    // have gone meanwhile, the error is ours to absorb. Waiting for the
    // server here also keeps a fast painter from queueing frames ahead of it.
    kgl::ErrorTrap trap(c->display);
    glFinish();
}
