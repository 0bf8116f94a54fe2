// The private state of an "HDCC" handle (its unique data) and the steps the
// routines are made of. The same record serves compressors and
// decompressors; each uses its own part.
#ifndef CINELARK_COMPRESSION_CODECS_HDCC_HDCC_STATE_H
#define CINELARK_COMPRESSION_CODECS_HDCC_HDCC_STATE_H

#include <cinelark/cl.h>

#include <cstdint>
#include <vector>

namespace cl::codecs::hdcc {

constexpr int kRecordBytes = 20;  // 16 pixel bytes, x and y big-endian

// One 4 x 4 tile of the picture, in raster order in the tile table.
struct Tile {
  int32_t link;        // the next tile in its difference bucket, -1 at the end
  uint32_t offset;     // of its first pixel: row x 4 x stride + column x 4
  uint8_t pixels[16];  // as the decoder has them (RGB8 for RGB332 input)
  uint16_t x, y;
};

}  // namespace cl::codecs::hdcc

struct HDCCStateRecord {
  int originalFormat = CL_RGB8;
  int samples = 2;  // pixels tested per tile and frame
  int shift = 1;    // log2 of samples
  std::vector<cl::codecs::hdcc::Tile> tiles;
  int stride = 0;         // the width rounded down to a multiple of 4
  int roundedHeight = 0;  // the height likewise
  int width = 0;
  int height = 0;
  int nextSample = 0;  // index into the sample order, 0..15
  int tileRows = 0;
  int tileColumns = 0;
  int tilesPerUpdate = 0;
  int threshold = 10;
  bool headerRead = false;
  bool setUp = false;          // the first compress or decompress call has run
  bool bufferSizeSet = false;  // the caller chose "Compressed buffer size"
  std::vector<uint8_t> records;  // one frame's records
};

namespace cl::codecs::hdcc {

int Compress(CL_Handle handle, int frames, void* frameBuffer, int* compressedSize, void* compressedData);
int Decompress(CL_Handle handle, int frames, int compressedDataSize, void* compressedData, void* frameBuffer);

}  // namespace cl::codecs::hdcc

#endif
