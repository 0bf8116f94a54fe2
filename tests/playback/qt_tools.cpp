#include "qt_tools.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

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

// Appends QuickTime atoms: a 32-bit size, a 4-character type, the body.
class Atoms {
public:
    void u8(unsigned v) { bytes_.push_back(uint8_t(v)); }
    void u16(unsigned v)
    {
        u8(v >> 8);
        u8(v);
    }
    void u32(uint32_t v)
    {
        u16(v >> 16);
        u16(v & 0xFFFF);
    }
    void zeros(size_t n) { bytes_.insert(bytes_.end(), n, 0); }
    void append(const Bytes &b) { bytes_.insert(bytes_.end(), b.begin(), b.end()); }
    void fourcc(const char *t) { bytes_.insert(bytes_.end(), t, t + 4); }
    size_t open(const char *type)
    {
        size_t at = bytes_.size();
        u32(0);
        fourcc(type);
        return at;
    }
    void close(size_t at)
    {
        uint32_t size = uint32_t(bytes_.size() - at);
        for (int i = 0; i < 4; i++)
            bytes_[at + size_t(i)] = uint8_t(size >> (24 - 8 * i));
    }
    // The identity transformation matrix of movie and track headers.
    void matrix()
    {
        const uint32_t m[9] = {0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x40000000};
        for (uint32_t v : m)
            u32(v);
    }
    size_t size() const { return bytes_.size(); }
    Bytes take() { return std::move(bytes_); }

private:
    Bytes bytes_;
};

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

TempDir::TempDir()
{
    char pattern[] = "/tmp/cinelark-qt-XXXXXX";
    const char *made = mkdtemp(pattern);
    dir_ = made != nullptr ? made : "/tmp";
}

TempDir::~TempDir()
{
    std::error_code ignored;
    if (dir_ != "/tmp")
        std::filesystem::remove_all(dir_, ignored);
}

Bytes readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string &path, const Bytes &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

bool run(const std::string &command) { return std::system(command.c_str()) == 0; }

bool ffmpegEncode(const std::vector<Picture> &clip, int width, int height,
                  const std::string &codecArgs, const std::string &movPath)
{
    std::string raw = movPath + ".rgba";
    Bytes bytes;
    for (const Picture &p : clip)
        for (uint32_t px : p) {
            bytes.push_back(uint8_t(px));
            bytes.push_back(uint8_t(px >> 8));
            bytes.push_back(uint8_t(px >> 16));
            bytes.push_back(0xFF);
        }
    writeFile(raw, bytes);
    return run("ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt rgba -s " +
               std::to_string(width) + "x" + std::to_string(height) + " -r 25 -i " + raw +
               " -threads 1 " + codecArgs + " " + movPath);
}

std::vector<Bytes> ffmpegPackets(const std::string &movPath)
{
    std::vector<Bytes> packets;
    Bytes file = readFile(movPath);
    std::string command = "ffprobe -v error -select_streams v:0 -show_entries packet=pos,size "
                          "-of csv=p=0 " + movPath;
    FILE *list = popen(command.c_str(), "r");
    if (list == nullptr)
        return packets;
    unsigned long long pos = 0, size = 0;
    // ffprobe prints "size,pos" in the order of the entries it knows.
    while (std::fscanf(list, "%llu,%llu", &size, &pos) == 2) {
        if (pos + size > file.size())
            break;
        packets.emplace_back(file.begin() + ptrdiff_t(pos), file.begin() + ptrdiff_t(pos + size));
    }
    pclose(list);
    return packets;
}

std::vector<Picture> ffmpegDecode(const std::string &movPath, int width, int height)
{
    std::string raw = movPath + ".decoded";
    std::vector<Picture> frames;
    if (!run("ffmpeg -nostdin -v error -y -threads 1 -i " + movPath +
             " -f rawvideo -pix_fmt rgba " + raw))
        return frames;
    Bytes bytes = readFile(raw);
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
                    const std::vector<Bytes> &frames, uint16_t colourTable)
{
    Atoms a;
    size_t data = 0;
    for (const Bytes &f : frames)
        data += f.size();
    // The frames first, in one chunk.
    a.u32(uint32_t(8 + data));
    a.fourcc("mdat");
    const uint32_t chunkOffset = 8;
    for (const Bytes &f : frames)
        a.append(f);

    const uint32_t count = uint32_t(frames.size());
    size_t moov = a.open("moov");
    size_t mvhd = a.open("mvhd");
    a.u32(0);                  // version and flags
    a.zeros(8);                // creation and modification times
    a.u32(25);                 // time scale
    a.u32(count);              // duration
    a.u32(0x10000);            // preferred rate
    a.u16(0x100);              // preferred volume
    a.zeros(10);
    a.matrix();
    a.zeros(24);               // preview, poster, selection and current times
    a.u32(2);                  // next track id
    a.close(mvhd);
    size_t trak = a.open("trak");
    size_t tkhd = a.open("tkhd");
    a.u32(0x0000000F);
    a.zeros(8);
    a.u32(1);                  // track id
    a.zeros(4);
    a.u32(count);
    a.zeros(8);
    a.zeros(8);                // layer, alternate group, volume, reserved
    a.matrix();
    a.u32(uint32_t(width) << 16);
    a.u32(uint32_t(height) << 16);
    a.close(tkhd);
    size_t mdia = a.open("mdia");
    size_t mdhd = a.open("mdhd");
    a.u32(0);
    a.zeros(8);
    a.u32(25);
    a.u32(count);
    a.u16(0);
    a.u16(0);
    a.close(mdhd);
    size_t hdlr = a.open("hdlr");
    a.u32(0);
    a.fourcc("mhlr");
    a.fourcc("vide");
    a.zeros(12);
    a.u8(0);                   // empty name
    a.close(hdlr);
    size_t minf = a.open("minf");
    size_t vmhd = a.open("vmhd");
    a.u32(1);
    a.zeros(8);
    a.close(vmhd);
    size_t dinf = a.open("dinf");
    size_t dref = a.open("dref");
    a.u32(0);
    a.u32(1);
    size_t alis = a.open("alis");
    a.u32(1);                  // the data is in this file
    a.close(alis);
    a.close(dref);
    a.close(dinf);
    size_t stbl = a.open("stbl");
    size_t stsd = a.open("stsd");
    a.u32(0);
    a.u32(1);
    size_t entry = a.open(fourcc);
    a.zeros(6);
    a.u16(1);                  // data reference index
    a.u16(0);                  // version
    a.u16(0);                  // revision
    a.zeros(4);                // vendor
    a.u32(0);                  // temporal quality
    a.u32(512);                // spatial quality
    a.u16(unsigned(width));
    a.u16(unsigned(height));
    a.u32(0x480000);           // 72 dpi
    a.u32(0x480000);
    a.u32(0);
    a.u16(1);                  // frames per sample
    a.zeros(32);               // compressor name
    a.u16(unsigned(depth));
    a.u16(colourTable);
    a.close(entry);
    a.close(stsd);
    size_t stts = a.open("stts");
    a.u32(0);
    a.u32(1);
    a.u32(count);
    a.u32(1);
    a.close(stts);
    size_t stsc = a.open("stsc");
    a.u32(0);
    a.u32(1);
    a.u32(1);
    a.u32(count);
    a.u32(1);
    a.close(stsc);
    size_t stsz = a.open("stsz");
    a.u32(0);
    a.u32(0);
    a.u32(count);
    for (const Bytes &f : frames)
        a.u32(uint32_t(f.size()));
    a.close(stsz);
    size_t stco = a.open("stco");
    a.u32(0);
    a.u32(1);
    a.u32(chunkOffset);
    a.close(stco);
    a.close(stbl);
    a.close(minf);
    a.close(mdia);
    a.close(trak);
    a.close(moov);
    return a.take();
}

Difference compare(const Picture &a, const Picture &b)
{
    Difference d;
    if (a.size() != b.size() || a.empty()) {
        d.largest = 256;
        return d;
    }
    long long total = 0;
    for (size_t i = 0; i < a.size(); i++)
        for (int shift = 0; shift < 24; shift += 8) {
            int diff = std::abs(int((a[i] >> shift) & 0xFF) - int((b[i] >> shift) & 0xFF));
            d.largest = std::max(d.largest, diff);
            total += diff;
        }
    d.mean = double(total) / double(a.size() * 3);
    return d;
}

}  // namespace qt_tools
