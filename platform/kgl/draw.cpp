// View set-up, colour and shapes.
//
// Integer coordinates name pixel centres under the usual pixel-exact set-up
// (see kgl.h). GL leaves out the last pixel of a line and fills a rectangle
// only between its corner points, while here lines include both end points
// and a box covers its corner pixels: lines therefore end with a point on
// their last vertex, and boxes are widened by half a unit on every side.
#include <GL/gl.h>

#include <algorithm>

#include "context.h"
#include "error_trap.h"
#include "kgl/kgl.h"

using kgl::Context;

extern "C" void viewport(short left, short right, short bottom, short top)
{
    Context *c = kgl::current();
    if (!c)
        return;
    c->viewLeft = left;
    c->viewRight = right;
    c->viewBottom = bottom;
    c->viewTop = top;
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
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(left, right, bottom, top, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

extern "C" void RGBcolor(short red, short green, short blue)
{
    if (!kgl::current())
        return;
    auto clamp = [](short v) { return GLubyte(std::clamp<int>(v, 0, 255)); };
    glColor3ub(clamp(red), clamp(green), clamp(blue));
}

extern "C" void cpack(uint32_t abgr)
{
    if (!kgl::current())
        return;
    glColor4ub(GLubyte(abgr), GLubyte(abgr >> 8), GLubyte(abgr >> 16), GLubyte(abgr >> 24));
}

extern "C" void sboxfi(int x1, int y1, int x2, int y2)
{
    if (!kgl::current())
        return;
    glRectf(float(std::min(x1, x2)) - 0.5f, float(std::min(y1, y2)) - 0.5f,
            float(std::max(x1, x2)) + 0.5f, float(std::max(y1, y2)) + 0.5f);
}

namespace {

void strokeLine(const std::vector<std::array<int, 2>> &points)
{
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

void fillPolygon(const std::vector<std::array<int, 2>> &points)
{
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
    if (!kgl::current() || n < 3 || !vertices)
        return;
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
    fillPolygon(c->vertices);
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
    strokeLine(c->vertices);
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
    // The flush is where the picture goes to the server; should the window
    // have gone meanwhile, the error is ours to absorb. Waiting for the
    // server here also keeps a fast painter from queueing frames ahead of it.
    kgl::ErrorTrap trap(c->display);
    glFinish();
}
