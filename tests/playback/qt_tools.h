// Test helpers for the QuickTime coders: pictures, a minimal QuickTime
// movie writer, and ffmpeg run as the reference encoder and decoder.
//
// Pictures here are top row first, one 0x00BBGGRR word per pixel; the
// decoders under test write bottom-up frames, which flipRows turns over.
#ifndef CINELARK_TESTS_PLAYBACK_QT_TOOLS_H
#define CINELARK_TESTS_PLAYBACK_QT_TOOLS_H

#include <cstdint>
#include <string>
#include <vector>

namespace qt_tools {

using Picture = std::vector<uint32_t>;
using Bytes = std::vector<uint8_t>;

// A short clip: a smooth background with a square that moves a few pixels
// per frame over it, and a band of fine texture, so that coders meet
// unchanged areas, flat areas, edges and detail.
std::vector<Picture> movingClip(int width, int height, int frames);

Picture flipRows(const Picture &picture, int width, int height);

// Encodes the clip with ffmpeg into a QuickTime file and returns the file's
// bytes (none when ffmpeg fails). codecArgs names the encoder and its pixel
// format, e.g. "-c:v qtrle -pix_fmt rgb24".
Bytes ffmpegEncode(const std::vector<Picture> &clip, int width, int height,
                   const std::string &codecArgs);

// The compressed frames of a QuickTime file's video track, as ffprobe lists
// them.
std::vector<Bytes> ffmpegPackets(const Bytes &movie);

// ffmpeg's decode of a QuickTime file as RGBA, the alpha byte dropped.
std::vector<Picture> ffmpegDecode(const Bytes &movie, int width, int height);

// A QuickTime file with one video track holding the given frames, with the
// depth's own colour table.
Bytes quickTimeFile(const char fourcc[4], int width, int height, int depth,
                    const std::vector<Bytes> &frames);

// The mean absolute difference of the red, green and blue bytes (256 when
// the sizes differ).
double meanDifference(const Picture &a, const Picture &b);

}  // namespace qt_tools

#endif
