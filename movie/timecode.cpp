// Timecodes of image frames: a movie position as hours, minutes, seconds and
// frames, and as the text "HH:MM:SS:FF" a user reads and types.
//
// The frames part always counts thirtieths of a second, whatever the movie's
// own rate, so a frame maps to a time exactly only when the rate divides 30
// (at 24 frames per second frame 37 reads 00:00:01:13 and that time reads back
// as frame 34). Format 2 is the only format with a meaning; the others leave
// their outputs alone.
#include <cinelark/movie.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The one format the conversions understand: thirtieths of a second.
constexpr int kThirtiethsFormat = 2;

// The rate of the movie's first image track, or false without one.
bool imageRate(MVid movie, double *rate, MVid *track)
{
    MVid image = 0;
    if (mvFindTrackByMedium(movie, DM_MEDIUM_IMAGE, &image) != 0)
        return false;
    *rate = mvGetImageRate(image);
    if (track)
        *track = image;
    return true;
}

bool allDigits(const std::string &field)
{
    for (char c : field)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// Parses one field of digits; values past the range of int saturate so that
// the range checks below refuse them instead of wrapping.
int fieldValue(const std::string &field)
{
    long long v = 0;
    for (char c : field) {
        v = v * 10 + (c - '0');
        if (v > 0x7fffffff)
            return 0x7fffffff;
    }
    return static_cast<int>(v);
}

}  // namespace

extern "C" {

int mvFrameToTime(MVid movie, unsigned int frame, int format, int *hours, int *minutes,
                  int *seconds, int *frames)
{
    double rate = 0.0;
    if (!imageRate(movie, &rate, nullptr))
        return -1;
    if (format != kThirtiethsFormat)
        return 0;
    long long whole = 0;
    if (rate > 0.0)
        whole = static_cast<long long>(frame / rate);
    int part = 0;
    if (rate > 1.0) {
        // Both floors are taken as integers: frames into the second, times
        // the whole number of thirtieths one frame lasts.
        unsigned perSecond = static_cast<unsigned>(rate);
        part = static_cast<int>(frame % perSecond) * static_cast<int>(30.0 / rate);
    }
    long long h = whole / 3600;
    long long m = (whole - h * 3600) / 60;
    if (hours)
        *hours = static_cast<int>(h);
    if (minutes)
        *minutes = static_cast<int>(m);
    if (seconds)
        *seconds = static_cast<int>(whole - h * 3600 - m * 60);
    if (frames)
        *frames = part;
    return 0;
}

int mvTimeToFrame(MVid movie, int hours, int minutes, int seconds, unsigned int frames,
                  int format, unsigned int *frame)
{
    double rate = 0.0;
    if (!imageRate(movie, &rate, nullptr))
        return -1;
    if (format != kThirtiethsFormat)
        return 0;
    // The whole seconds are summed in 32-bit arithmetic, as the time field
    // has always done; unsigned wrap keeps the sum defined for huge inputs.
    int32_t secondsTotal = static_cast<int32_t>(3600u * static_cast<uint32_t>(hours) +
                                                60u * static_cast<uint32_t>(minutes) +
                                                static_cast<uint32_t>(seconds));
    double value = secondsTotal * rate + frames / (30.0 / rate);
    unsigned int result = 0xffffffffu;
    if (std::isfinite(value) && value >= 0.0 && value < 4294967296.0)
        result = static_cast<unsigned int>(value);
    if (frame)
        *frame = result;
    return 0;
}

int mvFrameToString(MVid movie, unsigned int frame, int format, char *text)
{
    int h = 0, m = 0, s = 0, f = 0;
    if (mvFrameToTime(movie, frame, format, &h, &m, &s, &f) != 0)
        return -1;
    if (text)
        std::sprintf(text, "%.2d:%.2d:%.2d:%.2d", h, m, s, f);
    return 0;
}

int mvStringToFrame(MVid movie, const char *text, int /*format*/, unsigned int *frame)
{
    double rate = 0.0;
    MVid track = 0;
    if (!text || !imageRate(movie, &rate, &track))
        return -1;
    int length = mvGetTrackLength(track);

    // Parts the text does not give keep the movie's current position; a
    // movie that is not playing anywhere stands at frame 0.
    int parts[4] = {0, 0, 0, 0};
    int current = mvGetCurrentFrame(movie);
    if (current < 0)
        current = 0;
    mvFrameToTime(movie, static_cast<unsigned>(current), kThirtiethsFormat, &parts[0],
                  &parts[1], &parts[2], &parts[3]);

    std::vector<std::string> fields;
    std::string field;
    for (const char *p = text;; ++p) {
        if (*p == ':' || *p == '\0') {
            if (!field.empty())
                fields.push_back(field);
            field.clear();
            if (*p == '\0')
                break;
        } else {
            field.push_back(*p);
        }
    }
    if (fields.empty() || fields.size() > 4)
        return -1;
    for (const std::string &f : fields)
        if (!allDigits(f))
            return -1;
    // Fields fill the time from the right: the last one is always frames.
    size_t first = 4 - fields.size();
    for (size_t i = 0; i < fields.size(); ++i)
        parts[first + i] = fieldValue(fields[i]);
    if (parts[2] >= 60 || parts[3] >= 30 || parts[0] < 0 || parts[1] < 0 || parts[2] < 0)
        return -1;

    unsigned int result = 0;
    if (mvTimeToFrame(movie, parts[0], parts[1], parts[2], static_cast<unsigned>(parts[3]),
                      kThirtiethsFormat, &result) != 0)
        return -1;
    if (length > 0 && result >= static_cast<unsigned>(length))
        result = static_cast<unsigned>(length - 1);
    if (frame)
        *frame = result;
    return 0;
}

}  // extern "C"
