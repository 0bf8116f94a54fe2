// The position marker's mapping between frames and pixels.
//
// The marker is 26 pixels wide and travels along the picture's bottom edge;
// its left edge goes from 0 to the slider length, the picture's width less
// 25. Frame 0 sits at the left end and the last frame at the right end.
#ifndef CINELARK_APP_MARKER_MAP_H
#define CINELARK_APP_MARKER_MAP_H

namespace marker {

// Left edge of the marker for frame f of a movie of frameCount frames.
int frameToPixel(int f, int sliderLength, int frameCount);

// The frame nearest to a marker whose left edge is at x (clamped to the
// slider); never past the last frame.
int pixelToFrame(int x, int sliderLength, int frameCount);

// True when s is empty or holds decimal digits only (the frame field).
bool isWholeNumber(const char *s);

}  // namespace marker

#endif
