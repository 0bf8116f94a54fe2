// Small QuickTime files made in memory, with switches that put each
// construct the reader refuses into an otherwise valid file.
#ifndef CINELARK_TESTS_QUICKTIME_QT_FILES_H
#define CINELARK_TESTS_QUICKTIME_QT_FILES_H

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "quicktime/atom_writer.h"

namespace qt_files {

struct Video {
    std::string type = "raw ";
    int width = 4;
    int height = 2;
    int depth = 16;
    int frames = 3;            // unless data is given
    uint32_t frameBytes = 16;  // bytes of each sample, unless data is given
    std::vector<std::vector<uint8_t>> data;  // the samples, in place of the pattern
    uint32_t timeScale = 600;
    uint32_t sampleDuration = 40;
    uint32_t samplesPerChunk = 1;
};

struct Sound {
    std::string type = "twos";
    int channels = 1;
    int bits = 16;
    int rate = 8000;
    uint32_t samples = 400;
    uint32_t chunks = 2;  // samples split evenly
};

struct File {
    std::vector<Video> videos{Video{}};
    std::optional<Sound> sound;
    uint32_t movieMatrixFirst = 0x00010000;
    uint32_t trackMatrixFirst = 0x00010000;
    int edits = 1;
    uint32_t dataReferences = 1;
    std::string referenceType = "alis";
    uint32_t referenceFlags = 1;
    std::string dataInformationChild = "dref";
    uint32_t descriptions = 1;
    bool mediaHeader = true;  // "vmhd" or "smhd"
    // A child atom of this type with an empty body, added to the container.
    std::string extraInMovie, extraInTrack, extraInMedia, extraInMediaInfo, extraInSampleTable;
};

using cinelark::quicktime::AtomWriter;

template <typename Body>
void atom(AtomWriter &w, const std::string &type, Body body)
{
    w.open(type);
    body();
    w.close();
}

inline void u32s(AtomWriter &w, std::initializer_list<uint32_t> values)
{
    for (uint32_t v : values)
        w.u32(v);
}

inline void u16s(AtomWriter &w, std::initializer_list<uint16_t> values)
{
    for (uint16_t v : values)
        w.u16(v);
}

inline void emptyAtom(AtomWriter &w, const std::string &type)
{
    if (!type.empty())
        atom(w, type, [] {});
}

inline std::vector<uint32_t> sampleSizes(const Video &v)
{
    if (v.data.empty())
        return std::vector<uint32_t>(size_t(v.frames), v.frameBytes);
    std::vector<uint32_t> sizes;
    for (const auto &frame : v.data)
        sizes.push_back(uint32_t(frame.size()));
    return sizes;
}

inline uint32_t videoBytes(const Video &v)
{
    const std::vector<uint32_t> sizes = sampleSizes(v);
    return std::accumulate(sizes.begin(), sizes.end(), 0u);
}

// A track's length in its media's time scale, and in the movie's (600).
inline uint32_t mediaDuration(const Video *video, const Sound *sound)
{
    return video ? uint32_t(sampleSizes(*video).size()) * video->sampleDuration : sound->samples;
}

inline uint32_t movieDuration(const Video *video, const Sound *sound)
{
    const uint64_t scale = video ? video->timeScale : uint32_t(sound->rate);
    return uint32_t(mediaDuration(video, sound) * uint64_t(600) / scale);
}

inline uint32_t soundBytes(const Sound &s)
{
    return s.samples * uint32_t(s.channels * s.bits / 8);
}

// Pattern data: every byte is its file offset's low byte, so a read from the
// wrong place shows.
inline void sampleTables(AtomWriter &w, const File &f, const Video *video, const Sound *sound,
                         uint32_t dataAt)
{
    atom(w, "stsd", [&] {
        u32s(w, {0, f.descriptions});
        atom(w, video ? video->type : sound->type, [&] {
            w.zeros(6);
            u16s(w, {1, 0, 0});
            w.code("test");
            if (video) {
                u32s(w, {0, 512});
                u16s(w, {uint16_t(video->width), uint16_t(video->height)});
                u32s(w, {0x00480000, 0x00480000, 0});
                w.u16(1);
                w.fixedPascal("test", 32);
                u16s(w, {uint16_t(video->depth), 0xFFFF});  // the depth's own colour table
            } else {
                u16s(w, {uint16_t(sound->channels), uint16_t(sound->bits), 0, 0});
                w.u32(uint32_t(sound->rate) << 16);
            }
        });
    });
    const uint32_t perChunk = video ? video->samplesPerChunk : sound->samples / sound->chunks;
    const uint32_t soundBytes = sound ? uint32_t(sound->channels * sound->bits / 8) : 0;
    const std::vector<uint32_t> sizes =
        video ? sampleSizes(*video) : std::vector<uint32_t>(sound->samples, soundBytes);
    atom(w, "stts", [&] { u32s(w, {0, 1, uint32_t(sizes.size()), video ? video->sampleDuration : 1}); });
    atom(w, "stsc", [&] { u32s(w, {0, 1, 1, perChunk, 1}); });
    atom(w, "stsz", [&] {
        if (video) {
            u32s(w, {0, 0, uint32_t(sizes.size())});
            for (uint32_t size : sizes)
                w.u32(size);
        } else {
            u32s(w, {0, soundBytes, sound->samples});
        }
    });
    atom(w, "stco", [&] {
        u32s(w, {0, uint32_t(sizes.size() + perChunk - 1) / perChunk});
        uint32_t at = dataAt;
        for (size_t i = 0; i < sizes.size(); ++i) {
            if (i % perChunk == 0)
                w.u32(at);
            at += sizes[i];
        }
    });
    emptyAtom(w, f.extraInSampleTable);
}

inline void matrix(AtomWriter &w, uint32_t first)
{
    u32s(w, {first, 0u, 0u, 0u, 0x00010000u, 0u, 0u, 0u, 0x40000000u});
}

inline void track(AtomWriter &w, const File &f, const Video *video, const Sound *sound, uint32_t dataAt)
{
    atom(w, "trak", [&] {
        atom(w, "tkhd", [&] {
            u32s(w, {15, 0, 0, 1, 0, movieDuration(video, sound), 0, 0, 0, 0});
            matrix(w, f.trackMatrixFirst);
            u32s(w, {video ? uint32_t(video->width) << 16 : 0, video ? uint32_t(video->height) << 16 : 0});
        });
        atom(w, "edts", [&] {
            atom(w, "elst", [&] {
                u32s(w, {0, uint32_t(f.edits)});
                for (int i = 0; i < f.edits; ++i)
                    u32s(w, {movieDuration(video, sound), 0, 0x00010000});
            });
        });
        emptyAtom(w, f.extraInTrack);
        atom(w, "mdia", [&] {
            atom(w, "mdhd", [&] {
                u32s(w, {0, 0, 0, video ? video->timeScale : uint32_t(sound->rate),
                         mediaDuration(video, sound)});
                u16s(w, {0, 0});
            });
            atom(w, "hdlr", [&] {
                w.u32(0);
                for (const char *code : {"mhlr", video ? "vide" : "soun", "test"})
                    w.code(code);
                u32s(w, {0, 0});
                w.pascal("handler");
            });
            emptyAtom(w, f.extraInMedia);
            atom(w, "minf", [&] {
                if (f.mediaHeader && video)
                    atom(w, "vmhd", [&] { w.u32(1), u16s(w, {64, 0, 0, 0}); });
                else if (f.mediaHeader)
                    atom(w, "smhd", [&] { u32s(w, {0, 0}); });
                atom(w, "dinf", [&] {
                    atom(w, f.dataInformationChild, [&] {
                        u32s(w, {0, f.dataReferences});
                        for (uint32_t i = 0; i < f.dataReferences; ++i)
                            atom(w, f.referenceType, [&] { w.u32(f.referenceFlags); });
                    });
                });
                emptyAtom(w, f.extraInMediaInfo);
                atom(w, "stbl", [&] { sampleTables(w, f, video, sound, dataAt); });
            });
        });
    });
}

inline AtomWriter movieAtom(const File &f, uint32_t dataAt)
{
    uint32_t length = f.sound ? movieDuration(nullptr, &*f.sound) : 0;
    for (const Video &v : f.videos)
        length = std::max(length, movieDuration(&v, nullptr));
    AtomWriter w;
    atom(w, "moov", [&] {
        atom(w, "mvhd", [&] {
            u32s(w, {0, 0, 0, 600, length, 0x00010000});
            u16s(w, {255, 0});
            u32s(w, {0, 0});
            matrix(w, f.movieMatrixFirst);
            w.zeros(7 * 4);
        });
        emptyAtom(w, f.extraInMovie);
        uint32_t at = dataAt;
        for (const Video &v : f.videos) {
            track(w, f, &v, nullptr, at);
            at += videoBytes(v);
        }
        if (f.sound)
            track(w, f, nullptr, &*f.sound, at);
    });
    return w;
}

inline std::vector<uint8_t> build(const File &f)
{
    uint32_t data = 0;
    for (const Video &v : f.videos)
        data += videoBytes(v);
    if (f.sound)
        data += soundBytes(*f.sound);
    const AtomWriter moov = movieAtom(f, 8);
    AtomWriter mdat;
    mdat.u32(data + 8);
    mdat.code("mdat");
    for (uint32_t i = 0; i < data; ++i)
        mdat.u8(uint8_t(8 + i));
    // Real frames take the place of their track's pattern.
    size_t at = 8;
    for (const Video &v : f.videos) {
        size_t frameAt = at;
        for (const std::vector<uint8_t> &frame : v.data) {
            mdat.patch(frameAt, frame);
            frameAt += frame.size();
        }
        at += videoBytes(v);
    }
    std::vector<uint8_t> file = mdat.bytes();
    file.insert(file.end(), moov.bytes().begin(), moov.bytes().end());
    return file;
}

}  // namespace qt_files

#endif
