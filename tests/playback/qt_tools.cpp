#include "qt_tools.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "movie/temp_dir.h"
#include "quicktime/qt_files.h"

namespace qt_tools {

namespace {

uint32_t rgb(int r, int g, int b) { return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16; }

// A fixed pseudo-random byte per position (an integer hash).
int texture(int x, int y)
{
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return int((h ^ (h >> 16)) & 0xFF);
}

// Runs a shell command that reads the bytes on its standard input (mode
// "w") or whose standard output is added to them (mode "r"); true when it
// exits with status 0.
bool pipe(const std::string &command, const char *mode, Bytes &bytes)
{
    FILE *stream = popen(command.c_str(), mode);
    if (stream == nullptr)
        return false;
    if (*mode == 'w')
        std::fwrite(bytes.data(), 1, bytes.size(), stream);
    else
        for (int c; (c = std::fgetc(stream)) != EOF;)
            bytes.push_back(uint8_t(c));
    return pclose(stream) == 0;
}

}  // namespace

std::vector<Picture> movingClip(int width, int height, int frames)
{
    std::vector<Picture> clip;
    const int side = std::max(2, std::min(width, height) / 4);
    for (int f = 0; f < frames; f++) {
        Picture p(size_t(width) * size_t(height));
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) {
                int r = x * 255 / std::max(1, width - 1);
                int g = y * 255 / std::max(1, height - 1);
                int b = 128;
                if (y >= height * 3 / 4 && x < width / 2)
                    r = g = b = texture(x, y);
                p[size_t(y) * size_t(width) + size_t(x)] = rgb(r, g, b);
            }
        int x0 = (2 + 3 * f) % std::max(1, width - side), y0 = (1 + f) % std::max(1, height - side);
        for (int y = y0; y < y0 + side; y++)
            for (int x = x0; x < x0 + side; x++)
                p[size_t(y) * size_t(width) + size_t(x)] = rgb(220, 40, 30);
        clip.push_back(std::move(p));
    }
    return clip;
}

Picture flipRows(const Picture &picture, int width, int height)
{
    Picture out(picture.size());
    for (int y = 0; y < height; y++)
        std::copy_n(picture.begin() + ptrdiff_t(y) * width, width,
                    out.begin() + ptrdiff_t(height - 1 - y) * width);
    return out;
}

Bytes ffmpegEncode(const std::vector<Picture> &clip, int width, int height,
                   const std::string &codecArgs)
{
    Bytes raw;
    for (const Picture &p : clip)
        for (uint32_t px : p)
            raw.insert(raw.end(), {uint8_t(px), uint8_t(px >> 8), uint8_t(px >> 16), 0xFF});
    TempDir dir;
    const std::string mov = dir.file("clip.mov");
    if (!pipe("ffmpeg -v error -y -f rawvideo -pix_fmt rgba -s " + std::to_string(width) + "x" +
                  std::to_string(height) + " -r 25 -i - -threads 1 " + codecArgs + " " + mov,
              "w", raw))
        return {};
    return TempDir::read(mov);
}

std::vector<Bytes> ffmpegPackets(const Bytes &movie)
{
    TempDir dir;
    Bytes listing;
    pipe("ffprobe -v error -select_streams v:0 -show_entries packet=pos,size -of csv=p=0 " +
             dir.write("clip.mov", movie),
         "r", listing);
    listing.push_back(0);
    std::vector<Bytes> packets;
    unsigned long long pos = 0, size = 0;
    int used = 0;
    // ffprobe prints "size,pos" in the order of the entries it knows.
    for (const char *at = reinterpret_cast<const char *>(listing.data());
         std::sscanf(at, "%llu,%llu%n", &size, &pos, &used) == 2 && pos + size <= movie.size();
         at += used)
        packets.emplace_back(movie.begin() + ptrdiff_t(pos), movie.begin() + ptrdiff_t(pos + size));
    return packets;
}

std::vector<Picture> ffmpegDecode(const Bytes &movie, int width, int height)
{
    TempDir dir;
    Bytes bytes;
    std::vector<Picture> frames;
    if (!pipe("ffmpeg -nostdin -v error -threads 1 -i " + dir.write("clip.mov", movie) +
                  " -f rawvideo -pix_fmt rgba -",
              "r", bytes))
        return frames;
    const size_t frameBytes = size_t(width) * size_t(height) * 4;
    for (size_t at = 0; frameBytes > 0 && at + frameBytes <= bytes.size(); at += frameBytes) {
        Picture p(size_t(width) * size_t(height));
        for (size_t i = 0; i < p.size(); i++)
            p[i] = rgb(bytes[at + 4 * i], bytes[at + 4 * i + 1], bytes[at + 4 * i + 2]);
        frames.push_back(std::move(p));
    }
    return frames;
}

Bytes quickTimeFile(const char fourcc[4], int width, int height, int depth,
                    const std::vector<Bytes> &frames)
{
    qt_files::File file;
    qt_files::Video &video = file.videos[0];
    video.type.assign(fourcc, 4);
    video.width = width;
    video.height = height;
    video.depth = depth;
    video.data = frames;
    return qt_files::build(file);
}

double meanDifference(const Picture &a, const Picture &b)
{
    if (a.size() != b.size() || a.empty())
        return 256;
    long long total = 0;
    for (size_t i = 0; i < a.size(); i++)
        for (int shift = 0; shift < 24; shift += 8)
            total += std::abs(int((a[i] >> shift) & 0xFF) - int((b[i] >> shift) & 0xFF));
    return double(total) / double(a.size() * 3);
}

}  // namespace qt_tools
