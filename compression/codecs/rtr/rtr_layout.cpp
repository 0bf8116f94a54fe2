// Block orders and edge handling of "RTR" frames; see rtr_layout.h.
#include "rtr_layout.h"

#include <algorithm>

namespace cl::codecs::rtr {
namespace {

Plane MakePlane(int offset, int step, int width, int height, size_t rowBytes, int mbWidth, int mbHeight) {
  Plane p;
  p.offset = offset;
  p.step = step;
  p.width = width;
  p.height = height;
  p.rowBytes = rowBytes;
  p.mbWidth = mbWidth;
  p.mbHeight = mbHeight;
  return p;
}

template <int Step>
void StoreRows(const uint8_t* samples, uint8_t* at, size_t rowBytes, int columns, int rows) {
  if (columns == 8) {
    for (int i = 0; i < rows; ++i, at += rowBytes) {
      for (int j = 0; j < 8; ++j) at[j * Step] = samples[8 * i + j];
    }
    return;
  }
  for (int i = 0; i < rows; ++i, at += rowBytes) {
    for (int j = 0; j < columns; ++j) at[j * Step] = samples[8 * i + j];
  }
}

void StoreRows(int step, const uint8_t* samples, uint8_t* at, size_t rowBytes, int columns, int rows) {
  switch (step) {
    case 1:
      return StoreRows<1>(samples, at, rowBytes, columns, rows);
    case 2:
      return StoreRows<2>(samples, at, rowBytes, columns, rows);
    case 3:
      return StoreRows<3>(samples, at, rowBytes, columns, rows);
    default:
      return StoreRows<4>(samples, at, rowBytes, columns, rows);
  }
}

}  // namespace

Layout MakeLayout(int internal, int width, int height) {
  Layout l;
  if (internal == 4) {
    l.planes[0] = MakePlane(0, 1, width, height, size_t(width), 8, 8);
    l.blocks[0] = {0, 0, 0, false};
    l.blockCount = 1;
  } else if (internal == 5) {
    const size_t row = size_t(width) * 3;
    l.planes[0] = MakePlane(1, 3, width, height, row, 8, 8);
    l.planes[1] = MakePlane(0, 3, width, height, row, 8, 8);
    l.planes[2] = MakePlane(2, 3, width, height, row, 8, 8);
    l.blocks[0] = {0, 0, 0, false};
    l.blocks[1] = {1, 0, 0, true};
    l.blocks[2] = {2, 0, 0, true};
    l.blockCount = 3;
  } else {
    // 4:2:2: rows of width x 2 bytes holding width / 2 whole pairs.
    const size_t row = size_t(width) * 2;
    const int pairs = width / 2;
    const bool halfChroma = internal == 7;
    const int mbHeight = halfChroma ? 16 : 8;
    l.planes[0] = MakePlane(1, 2, 2 * pairs, height, row, 16, mbHeight);
    const int chromaRows = halfChroma ? (height + 1) / 2 : height;
    const size_t chromaRow = halfChroma ? 2 * row : row;
    l.planes[1] = MakePlane(0, 4, pairs, chromaRows, chromaRow, 8, 8);
    l.planes[2] = MakePlane(2, 4, pairs, chromaRows, chromaRow, 8, 8);
    if (halfChroma) {
      for (int p = 1; p < 3; ++p) {
        l.planes[p].twinBytes = row;
        l.planes[p].twinRows = height / 2;
      }
    }
    int n = 0;
    l.blocks[n++] = {0, 0, 0, false};
    l.blocks[n++] = {0, 8, 0, false};
    if (halfChroma) {
      l.blocks[n++] = {0, 0, 8, false};
      l.blocks[n++] = {0, 8, 8, false};
    }
    l.blocks[n++] = {1, 0, 0, true};
    l.blocks[n++] = {2, 0, 0, true};
    l.blockCount = n;
  }
  const Plane& luma = l.planes[0];
  if (luma.width > 0 && luma.height > 0) {
    l.mbColumns = (luma.width + luma.mbWidth - 1) / luma.mbWidth;
    l.mbRows = (luma.height + luma.mbHeight - 1) / luma.mbHeight;
  }
  return l;
}

void GatherBlock(const uint8_t* frame, const Plane& plane, int x, int y, uint8_t* samples) {
  const uint8_t* base = frame + plane.offset;
  int columns[8];
  for (int j = 0; j < 8; ++j) columns[j] = std::min(x + j, plane.width - 1) * plane.step;
  for (int i = 0; i < 8; ++i) {
    const uint8_t* row = base + size_t(std::min(y + i, plane.height - 1)) * plane.rowBytes;
    for (int j = 0; j < 8; ++j) samples[8 * i + j] = row[columns[j]];
  }
}

void StoreBlock(const uint8_t* samples, const Plane& plane, int x, int y, uint8_t* frame) {
  const int columns = std::min(8, plane.width - x);
  const int rows = std::min(8, plane.height - y);
  if (columns <= 0 || rows <= 0) return;
  uint8_t* at = frame + plane.offset + size_t(y) * plane.rowBytes + size_t(x) * size_t(plane.step);
  StoreRows(plane.step, samples, at, plane.rowBytes, columns, rows);
  if (plane.twinBytes != 0) {
    const int twins = std::min(rows, plane.twinRows - y);
    if (twins > 0) StoreRows(plane.step, samples, at + plane.twinBytes, plane.rowBytes, columns, twins);
  }
}

}  // namespace cl::codecs::rtr
