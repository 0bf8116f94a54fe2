// MPEG audio through libmpg123, fed from memory. The decoder is asked for
// 16-bit signed samples at the stream's own rate and channel count, so it
// never resamples.
#include "sound.h"

#include <mpg123.h>

#include <algorithm>
#include <memory>
#include <new>

namespace cinelark::mpeg {
namespace {

// Bytes handed to the decoder per feed: it copies what it is fed.
constexpr size_t kFeed = 64 * 1024;

struct HandleDeleter {
    void operator()(mpg123_handle *h) const { mpg123_delete(h); }
};
using Handle = std::unique_ptr<mpg123_handle, HandleDeleter>;

Handle OpenDecoder()
{
    // The library's set-up is needed once per process before 1.27 and does
    // nothing later; the static makes it once and thread-safe.
    static const int ready = mpg123_init();
    if (ready != MPG123_OK)
        return nullptr;
    int error = 0;
    Handle h(mpg123_new(nullptr, &error));
    if (!h)
        return nullptr;
    const long *rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    // Quiet: a damaged frame is skipped, not reported on standard error.
    // Resynchronising without limit lets a stream that starts in the
    // middle of a frame, or holds garbage, go on at the next good frame.
    if (mpg123_param(h.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0) != MPG123_OK ||
        mpg123_param(h.get(), MPG123_RESYNC_LIMIT, -1, 0) != MPG123_OK || mpg123_format_none(h.get()) != MPG123_OK)
        return nullptr;
    for (size_t i = 0; i < count; ++i)
        if (mpg123_format(h.get(), rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16) != MPG123_OK)
            return nullptr;
    if (mpg123_open_feed(h.get()) != MPG123_OK)
        return nullptr;
    return h;
}

}  // namespace

bool DecodeSound(std::span<const uint8_t> stream, Sound *out)
{
    Handle h = OpenDecoder();
    if (!h)
        return false;
    size_t fed = 0;
    bool sameFormat = true;
    for (;;) {
        off_t frame = 0;
        unsigned char *audio = nullptr;
        size_t bytes = 0;
        const int status = mpg123_decode_frame(h.get(), &frame, &audio, &bytes);
        if (status == MPG123_NEED_MORE) {
            if (fed == stream.size())
                break;
            const size_t n = std::min(kFeed, stream.size() - fed);
            if (mpg123_feed(h.get(), stream.data() + fed, n) != MPG123_OK)
                throw std::bad_alloc();
            fed += n;
        } else if (status == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0, encoding = 0;
            mpg123_getformat(h.get(), &rate, &channels, &encoding);
            if (out->rate == 0) {
                out->rate = int(rate);
                out->channels = channels;
            }
            sameFormat = rate == out->rate && channels == out->channels;
        } else if (status == MPG123_OK) {
            const int16_t *samples = reinterpret_cast<const int16_t *>(audio);
            if (sameFormat)
                out->samples.insert(out->samples.end(), samples, samples + bytes / 2);
        } else {
            break;  // the end of the data, or an error the decoder cannot pass
        }
    }
    return out->rate != 0 && !out->samples.empty();
}

std::string DescribeSound(std::span<const uint8_t> b)
{
    // Frame header: 11 sync bits, version (2), layer (2), protection (1),
    // bit rate (4), sample rate (2), padding, private, channel mode (2).
    constexpr int kRates[4][3] = {{11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
    constexpr const char *kLayers[4] = {"", "layer III", "layer II", "layer I"};
    for (size_t i = 0; i + 4 <= b.size(); ++i) {
        if (b[i] != 0xFF || (b[i + 1] & 0xE0) != 0xE0)
            continue;
        const int version = b[i + 1] >> 3 & 3, layer = b[i + 1] >> 1 & 3, rateCode = b[i + 2] >> 2 & 3;
        if (version == 1 || layer == 0 || rateCode == 3 || (b[i + 2] >> 4) == 15)
            continue;
        return std::string(kLayers[layer]) + ", " + std::to_string(kRates[version][rateCode]) + " Hz, " +
               ((b[i + 3] >> 6) == 3 ? "mono" : "stereo");
    }
    return "";
}

}  // namespace cinelark::mpeg
