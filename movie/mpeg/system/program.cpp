// Opening a system stream (".mpg") as a movie.
//
// The demultiplexer gathers the first video stream and the first audio
// stream. The movie's stream is then a block in memory: the video stream
// from its first sequence header on, which the video reader lays out as for
// an ".m1v" file, followed by the sound decoded to 16-bit big-endian
// samples, which the audio track's entries cover.
//
// Pictures and sound are lined up by their time stamps: the audio track
// starts at the time of the first picture shown. Sound that starts later
// is preceded by silence; sound that starts earlier loses its head.
#include <cinelark/dmparams.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "../../error.h"
#include "../../model.h"
#include "../../stream.h"
#include "../mpeg.h"
#include "demux.h"
#include "sound.h"

using namespace cinelark::mpeg;

namespace {

constexpr uint8_t kSequenceHeader[4] = {0, 0, 1, 0xB3};
// The first picture shown is the earliest of the pictures stamped near the
// stream's start (B pictures come after the reference they precede).
constexpr size_t kFirstStamps = 16;
// Time stamps further apart than this are taken for damage, and the sound
// is then started with the first picture.
constexpr int64_t kMaxOffset = 10 * 90000;
// Audio frames per directory entry.
constexpr int64_t kEntryFrames = 65536;
// How far into a file the detection looks for a pack, for files cut in
// the middle of one.
constexpr size_t kDetectBytes = 64 * 1024;

// The movie parameter that lists the audio streams not played.
constexpr const char *kOtherAudio = "OTHER_AUDIO_STREAMS";

int fail(int error)
{
    __mvSetErrno(error);
    return -1;
}

struct ParamsDeleter {
    void operator()(DMparams *p) const { dmParamsDestroy(p); }
};

// The 90 kHz time of the first picture shown, counted from where the
// video stream is cut (at offset start); -1 when no stamp says.
int64_t FirstPictureTime(const ElementaryStream &video, int64_t start)
{
    int64_t first = -1;
    size_t seen = 0;
    for (const Stamp &s : video.stamps) {
        if (s.end <= start || seen++ == kFirstStamps)
            continue;
        if (first < 0 || StampDifference(s.pts, first) < 0)
            first = s.pts;
    }
    return first;
}

// Audio frames to put ahead of the sound (negative: to drop from it).
int64_t SoundOffset(const Program &program, int64_t videoStart, int rate)
{
    const int64_t pictures = FirstPictureTime(program.video, videoStart);
    if (pictures < 0 || program.audio.stamps.empty())
        return 0;
    const int64_t d = StampDifference(program.audio.stamps.front().pts, pictures);
    if (d > kMaxOffset || d < -kMaxOffset)
        return 0;
    return std::llround(double(d) * rate / 90000.0);
}

// Appends the sound, lined up, as big-endian samples; returns its frames.
int64_t AppendSound(const Sound &sound, int64_t offset, std::vector<uint8_t> *image)
{
    const int64_t total = int64_t(sound.samples.size()) / sound.channels;
    const int64_t skip = std::min(std::max<int64_t>(-offset, 0), total);
    const int64_t silence = std::max<int64_t>(offset, 0);
    image->resize(image->size() + size_t(silence * sound.channels * 2), 0);
    for (size_t i = size_t(skip * sound.channels); i < sound.samples.size(); ++i) {
        const uint16_t v = uint16_t(sound.samples[i]);
        image->push_back(uint8_t(v >> 8));
        image->push_back(uint8_t(v));
    }
    return silence + total - skip;
}

int AddSoundTrack(MVid movie, const Sound &sound, int64_t offset, int64_t frames)
{
    std::unique_ptr<DMparams, ParamsDeleter> params;
    DMparams *p = nullptr;
    if (dmParamsCreate(&p) != 0)
        return MV_ERR_NO_MEMORY;
    params.reset(p);
    if (dmSetAudioDefaults(p, 16, double(sound.rate), sound.channels) != 0)
        return MV_ERR_NO_MEMORY;
    MVid track = 0;
    if (mvAddTrack(movie, DM_MEDIUM_AUDIO, p, nullptr, &track) != 0)
        return mvErrno;
    const int64_t frameBytes = 2 * sound.channels;
    for (int64_t f = 0; f < frames; f += kEntryFrames) {
        const int64_t n = std::min(kEntryFrames, frames - f);
        if (__mvT_InitDirEntry(track, uint32_t(offset + f * frameBytes), uint32_t(n * frameBytes), nullptr) != 0)
            return mvErrno;
    }
    return 0;
}

std::string DescribeOthers(const Program &program)
{
    std::string text;
    for (const OtherStream &o : program.otherAudio) {
        char id[8];
        std::snprintf(id, sizeof id, "0x%02X", o.id);
        const std::string what = DescribeSound(o.head);
        text += (text.empty() ? "" : "; ") + std::string(id) + (what.empty() ? "" : " (" + what + ")");
    }
    return text;
}

}  // namespace

bool __mvMP_FindsProgram(MVstream *stream)
{
    int64_t length = 0;
    if (__mvS_Length(stream, &length) != 0)
        return false;
    std::vector<uint8_t> head(size_t(std::min<int64_t>(length, kDetectBytes)));
    if (__mvS_Seek(stream, 0, SEEK_SET, nullptr) != 0 || __mvS_Read(stream, head.data(), head.size()) != 0)
        return false;
    for (size_t i = 0; i + 5 <= head.size(); ++i)
        if (IsPackHeader(&head[i], head.size() - i))
            return true;
    return false;
}

int __mvMP_ReadProgram(MVstream *file, MVid *movie)
{
    Program program;
    Sound sound;
    std::vector<uint8_t> image;
    int64_t videoLength = 0, soundFrames = 0;
    try {
        int64_t length = 0;
        const int lengthStatus = __mvS_Length(file, &length);
        if (lengthStatus == 0)
            Demultiplex(length, [file](int64_t at, uint8_t *out, size_t n) {
                return __mvS_SeeknRead(file, at, out, n) == 0;
            }, &program);
        __mvS_Destroy(file);
        if (lengthStatus != 0 || program.readFailed)
            return -1;  // the stream's error stands
        const auto at = std::search(program.video.bytes.begin(), program.video.bytes.end(),
                                    std::begin(kSequenceHeader), std::end(kSequenceHeader));
        if (at == program.video.bytes.end())
            return fail(program.audio.id >= 0 ? MV_ERR_NO_TRACK : MV_ERR_NOT_MOVIE);
        const int64_t videoStart = at - program.video.bytes.begin();
        image = std::move(program.video.bytes);
        image.erase(image.begin(), image.begin() + videoStart);
        videoLength = int64_t(image.size());
        if (DecodeSound(program.audio.bytes, &sound))
            soundFrames = AppendSound(sound, SoundOffset(program, videoStart, sound.rate), &image);
        program.audio.bytes = {};
    } catch (const std::bad_alloc &) {
        return fail(MV_ERR_NO_MEMORY);
    }
    // Directory entries address the block with 32-bit offsets.
    if (image.size() > UINT32_MAX)
        return fail(MV_ERR_NO_MEMORY);
    MVstream *memory = nullptr;
    if (__mvS_CreateWithBlock(std::move(image), &memory) != 0)
        return -1;
    const std::string others = DescribeOthers(program);
    const int status = __mvMP_ReadVideo(memory, videoLength, [&](MVid id) {
        if (soundFrames > 0)
            if (const int error = AddSoundTrack(id, sound, videoLength, soundFrames))
                return error;
        if (!others.empty() && dmParamsSetString(__mvFindMovie(id)->params, kOtherAudio, others.c_str()) != 0)
            return int(MV_ERR_NO_MEMORY);
        return 0;
    }, movie);
    if (status != 0 && mvErrno == MV_ERR_NOT_MOVIE && program.audio.id >= 0)
        __mvSetErrno(MV_ERR_NO_TRACK);
    return status;
}
