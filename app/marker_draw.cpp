// Drawing the position marker: a grey right-pointing triangle, 26 pixels
// high, with light and dark edges that make it look raised, in the picture's
// bottom-left corner at the marker's x. The picture under it is saved before
// drawing and written back to take the marker away. The marker is drawn only
// while the movie is stopped, so the engine never paints under it.
#include "movie_controller.h"

namespace {

constexpr int kSize = 26;

void line(int x1, int y1, int x2, int y2)
{
    move2i(x1, y1);
    draw2i(x2, y2);
}

}  // namespace

void MovieController::putTriangleUp()
{
    if (!window_)
        return;
    const int x = markerX_;
    mvGrabKelvoGL();
    if (GLXwinset(display_, window_) != 0) {
        mvReleaseKelvoGL();
        return;
    }
    rectzoom(1.0f, 1.0f);
    lrectread(static_cast<short>(x), 0, static_cast<short>(x + kSize - 1), kSize - 1,
              savedPixels_);
    const int body[3][2] = {{x, 0}, {x, 25}, {x + 25, 12}};
    RGBcolor(200, 200, 200);
    polf2i(3, body);
    cpack(0xFF000000);
    line(x, 0, x, 25);
    RGBcolor(50, 50, 50);
    line(x, 0, x + 25, 12);
    draw2i(x + 1, 0);
    cpack(0xFFFFFFFF);
    line(x + 1, 1, x + 1, 24);
    RGBcolor(85, 85, 85);
    line(x + 1, 1, x + 24, 13);
    RGBcolor(128, 128, 128);
    draw2i(x + 2, 1);
    cpack(0xFFFFFFFF);
    line(x + 2, 2, x + 2, 23);
    RGBcolor(50, 50, 50);
    line(x + 2, 2, x + 23, 13);
    gflush();
    mvReleaseKelvoGL();
}

void MovieController::takeTriangleDown()
{
    if (!window_)
        return;
    const int x = markerX_;
    mvGrabKelvoGL();
    if (GLXwinset(display_, window_) == 0) {
        rectzoom(1.0f, 1.0f);
        lrectwrite(static_cast<short>(x), 0, static_cast<short>(x + kSize - 1), kSize - 1,
                   savedPixels_);
        gflush();
    }
    mvReleaseKelvoGL();
}

void MovieController::setTriangleActive(int on)
{
    if (on == markerShown_)
        return;
    if (on)
        putTriangleUp();
    else
        takeTriangleDown();
    markerShown_ = on;
}

void MovieController::setTrianglePos(int x)
{
    if (markerShown_)
        takeTriangleDown();
    markerX_ = x;
    if (markerShown_)
        putTriangleUp();
}
