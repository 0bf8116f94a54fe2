// The headers of an MPEG-1 video stream: sequence, group of pictures and
// picture, each read from the bytes that follow its start code.
#ifndef CINELARK_COMPRESSION_CODECS_MPEG_VIDEO_HEADERS_H
#define CINELARK_COMPRESSION_CODECS_MPEG_VIDEO_HEADERS_H

#include <cstdint>
#include <span>

namespace cl::codecs::mpeg {

// Start codes (the byte after 00 00 01).
constexpr uint8_t kPictureStart = 0x00;
constexpr uint8_t kFirstSlice = 0x01;
constexpr uint8_t kLastSlice = 0xAF;
constexpr uint8_t kUserData = 0xB2;
constexpr uint8_t kSequenceHeader = 0xB3;
constexpr uint8_t kExtension = 0xB5;
constexpr uint8_t kSequenceEnd = 0xB7;
constexpr uint8_t kGroupStart = 0xB8;

constexpr bool IsSlice(int code) { return code >= kFirstSlice && code <= kLastSlice; }

// Frame rates by picture_rate code; 0 for the reserved codes 9 to 15.
extern const float kPictureRates[16];

struct SequenceHeader {
  int width = 0;   // horizontal_size
  int height = 0;  // vertical_size
  int aspectCode = 0;
  int rateCode = 0;
  int bitRate = 0;  // units of 400 bit/s; 0x3FFFF: variable
  int vbvBufferSize = 0;
  bool constrained = false;
  uint8_t intraMatrix[64] = {};     // raster order
  uint8_t nonIntraMatrix[64] = {};  // raster order
};

struct GroupHeader {
  bool dropFrame = false;
  int hours = 0;
  int minutes = 0;
  int seconds = 0;
  int pictures = 0;
  bool closed = false;
  bool brokenLink = false;
};

enum PictureType { kIPicture = 1, kPPicture = 2, kBPicture = 3, kDPicture = 4 };

struct PictureHeader {
  int temporalReference = 0;
  int type = 0;
  int vbvDelay = 0;
  bool fullPelForward = false;
  int forwardFCode = 0;
  bool fullPelBackward = false;
  int backwardFCode = 0;
};

// Each parser reads the bytes after the start code and returns false when
// they are too few or hold values the standard forbids (a zero size, a
// zero quantiser matrix entry, an f-code of 0, a picture type of 0 or above
// 4). A matrix the header does not load is set to its default.
bool ParseSequenceHeader(std::span<const uint8_t> bytes, SequenceHeader* out);
bool ParseGroupHeader(std::span<const uint8_t> bytes, GroupHeader* out);
bool ParsePictureHeader(std::span<const uint8_t> bytes, PictureHeader* out);

// The frame number a group's time code names at the given frame rate.
int TimeCodeFrame(const GroupHeader& group, int framesPerSecond);

}  // namespace cl::codecs::mpeg

#endif
