// Image frames: one picture per directory entry, stored as it is
// (big-endian pixel words) or compressed through the track's codec.
//
// Inter-frame codecs ("Apple Video", "Apple Animation") code a frame as its
// changes from the one before, so the decoder must have seen the frames in
// order. The track remembers the last frame it decoded; before a read that
// does not follow it, the frames from the nearest point the decoder can
// start from are decoded first (see bringDecoderInStep).
#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>

#include <cinelark/movie.h>

#include "byteorder.h"
#include "directory.h"
#include "engine_hooks.h"
#include "error.h"
#include "frames.h"
#include "model.h"
#include "mpeg/mpeg.h"

using cinelark::movie::swap16;
using cinelark::movie::swap32;

namespace {

// Without key frames the decoder starts this many frames back: enough for
// an inter-frame codec to repaint most of a picture.
constexpr int kRecoveryFrames = 10;

// Decoded MPEG-1 pictures kept per track: about 64 MB, and never fewer than
// a group's worth of small pictures.
constexpr size_t kPictureCacheBytes = size_t(64) << 20;
constexpr size_t kMinCachedPictures = 16;

int fail(int error)
{
    __mvSetErrno(error);
    return -1;
}

size_t codecFrameBytes(const MVimageTrack *track)
{
    return size_t(dmParamsGetInt(track->params, DM_IMAGE_WIDTH)) *
           size_t(dmParamsGetInt(track->params, DM_IMAGE_HEIGHT)) * 4;
}

// Pixels of packing p are stored as big-endian words of this many bytes.
void swapPixels(const MVimageTrack *track, void *data)
{
    switch (track->packing) {
    case DM_PACKING_RGBX:
    case DM_PACKING_XBGR:
        swap32(data, size_t(track->frameSize) / 4);
        break;
    case DM_PACKING_RGB555:
        swap16(data, size_t(track->frameSize) / 2);
        break;
    default:
        break;
    }
}

bool grow(std::vector<uint8_t> &buffer, size_t size)
{
    try {
        if (buffer.size() < size)
            buffer.resize(size);
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

// Reads the stored bytes of the cursor's frame into the track's compressed
// buffer.
int readStoredAtCursor(MVimageTrack *track, uint32_t size)
{
    if (!grow(track->compressed, size))
        return fail(MV_ERR_NO_MEMORY);
    return __mvDL_Read(track->directory, track->compressed.data());
}

bool isMpeg(const MVimageTrack *track)
{
    const char *scheme = dmParamsGetString(track->params, DM_IMAGE_COMPRESSION);
    return scheme != nullptr && std::strcmp(scheme, "MPEG Video") == 0;
}

// Makes the track's block of cached pictures: one piece of address space,
// on 2 MB boundaries and asked to be backed by huge pages, so that filling
// it does not fault in one small page at a time. False when it cannot be had.
bool reserveCache(MVimageTrack *track)
{
    MVpictureCache &c = track->pictureCache;
    const size_t bytes = size_t(track->frameSize);
    if (c.block && c.slotBytes == bytes)
        return true;
    constexpr size_t kAlign = size_t(2) << 20;
    const size_t slots = std::max(kMinCachedPictures, kPictureCacheBytes / std::max<size_t>(bytes, 1));
    const size_t total = (slots * bytes + kAlign - 1) / kAlign * kAlign;
    auto *block = static_cast<uint8_t *>(std::aligned_alloc(kAlign, total));
    if (block == nullptr)
        return false;
    madvise(block, total, MADV_HUGEPAGE);  // only a hint: small pages do too
    c.slotOf.clear();
    c.order.clear();
    c.block.reset(block);
    c.slotBytes = bytes;
    c.slots = slots;
    return true;
}

// Keeps a decoded MPEG-1 picture; a full cache gives the oldest one's slot.
void keepPicture(MVimageTrack *track, int frame, const uint8_t *picture)
{
    MVpictureCache &c = track->pictureCache;
    if (!reserveCache(track))
        return;  // only a cache: reads go on without it
    try {
        auto at = c.slotOf.find(frame);
        size_t slot = 0;
        if (at != c.slotOf.end()) {
            slot = at->second;
        } else {
            if (c.order.size() < c.slots) {
                slot = c.order.size();
            } else {
                slot = c.slotOf[c.order.front()];
                c.slotOf.erase(c.order.front());
                c.order.pop_front();
            }
            c.slotOf.emplace(frame, slot);
            c.order.push_back(frame);
        }
        std::memcpy(c.slot(slot), picture, c.slotBytes);
    } catch (const std::bad_alloc &) {
        c.slotOf.clear();
        c.order.clear();
    }
}

// Tells the decoder a new playing speed. Leaving P pictures out leaves its
// references stale, so back at a lower speed it restarts before going on.
// Returns -1 on failure.
int applySpeed(MVimageTrack *track)
{
    const double speed = track->playSpeed.load();
    if (speed == track->codecSpeed)
        return 0;
    const bool wasSkippingP = track->codecSpeed > 3.0;
    if (__mvCD_SetSpeed(track->codec, speed) != 0)
        return -1;
    track->codecSpeed = speed;
    if (wasSkippingP && speed <= 3.0)
        track->lastDecoded = -1;
    return 0;
}

// MPEG-1 video (movie/mpeg/mpeg.h): one entry per call; the last frame is
// the sequence end code, which hands out the last picture also for a
// stream that lacks one. Pictures the decoder hands out right are kept.
int decodeMpeg(MVimageTrack *track, int frame, uint32_t size, uint8_t *out)
{
    static const uint8_t kSequenceEnd[4] = {0, 0, 1, 0xB7};
    int status = 0;
    if (applySpeed(track) != 0)
        return -1;
    if (frame == __mvT_Length(track) - 1) {
        status = __mvCD_Decompress(track->codec, sizeof kSequenceEnd, kSequenceEnd, out);
    } else {
        if (readStoredAtCursor(track, size) != 0)
            return -1;
        status = __mvCD_Decompress(track->codec, size, track->compressed.data(), out);
    }
    if (status != 0)
        return status;
    if (!__mvCD_Delivered(track->codec)) {
        // Left out at speed: the last picture handed out stands in for it.
        const MVpictureCache &c = track->pictureCache;
        if (!c.order.empty())
            std::memcpy(out, c.slot(c.slotOf.at(c.order.back())), c.slotBytes);
        return 0;
    }
    if (frame >= track->validFrom)
        keepPicture(track, frame, out);
    return 0;
}

bool cachedPicture(MVimageTrack *track, int frame, uint8_t *out)
{
    const MVpictureCache &c = track->pictureCache;
    auto at = c.slotOf.find(frame);
    if (at == c.slotOf.end())
        return false;
    std::memcpy(out, c.slot(at->second), c.slotBytes);
    return true;
}

// Decodes one frame into out (frameSize bytes). The codec produces 32-bit
// pixels; for packings of other sizes they pass through the conversion
// buffer and the frame's share of them is kept.
int decodeFrame(MVimageTrack *track, int frame, uint8_t *out)
{
    uint32_t size = 0;
    if (__mvDL_Seek(track->directory, frame, nullptr, nullptr, nullptr, &size) != 0)
        return -1;
    if (track->codec == nullptr) {
        uint32_t bytes = size < uint32_t(track->frameSize) ? size : uint32_t(track->frameSize);
        if (__mvDL_ReadPart(track->directory, 0, bytes, out) != 0)
            return -1;
        // A stored frame shorter than a picture is shown with the rest black.
        std::memset(out + bytes, 0, size_t(track->frameSize) - bytes);
        swapPixels(track, out);
        return 0;
    }
    if (isMpeg(track))
        return decodeMpeg(track, frame, size, out);
    if (readStoredAtCursor(track, size) != 0)
        return -1;
    size_t pixels = codecFrameBytes(track);
    if (pixels == size_t(track->frameSize))
        return __mvCD_Decompress(track->codec, size, track->compressed.data(), out);
    if (!grow(track->conversion, pixels))
        return fail(MV_ERR_NO_MEMORY);
    if (__mvCD_Decompress(track->codec, size, track->compressed.data(),
                          track->conversion.data()) != 0)
        return -1;
    std::memcpy(out, track->conversion.data(), size_t(track->frameSize));
    return 0;
}

bool needsKeyFrames(const MVimageTrack *track)
{
    const char *scheme = dmParamsGetString(track->params, DM_IMAGE_COMPRESSION);
    return scheme != nullptr && (std::strcmp(scheme, "Apple Video") == 0 ||
                                 std::strcmp(scheme, "Apple Animation") == 0 || isMpeg(track));
}

// MPEG-1 video frames (movie/mpeg/mpeg.h): an entry whose bytes start with a
// sequence header is where a fresh decoder can begin.
bool startsSequence(MVimageTrack *track, int frame)
{
    uint8_t head[4] = {};
    return __mvDL_Seek(track->directory, frame, nullptr, nullptr, nullptr, nullptr) == 0 &&
           __mvDL_ReadPart(track->directory, 0, 4, head) == 0 && __mvMP_IsSequenceStart(head);
}

int isKey(MVimageTrack *track, int frame)
{
    if (!needsKeyFrames(track))
        return 1;
    // The engine asks from its main thread while its file thread decodes
    // through the cursor.
    const DMparams *params = __mvDL_FrameParams(track->directory, frame);
    if (params == nullptr || !dmParamsIsPresent(params, MV_KEY_FRAME))
        return 0;
    return dmParamsGetInt(params, MV_KEY_FRAME);
}

// Decodes, into scratch, every frame from the starting point chosen by
// __mvIT_StepStart up to frame - 1.
int bringDecoderInStep(MVimageTrack *track, int frame, uint8_t *scratch)
{
    if (track->codec == nullptr)
        return 0;
    int start = __mvIT_StepStart(frame, track->lastDecoded,
                                 [track](int j) { return isKey(track, j) != 0; });
    // An MPEG-1 decoder that does not go on from where it stands starts
    // afresh at the sequence header before the key frame; the frames up to
    // the key frame only warm it up.
    if (isMpeg(track) && (start != track->lastDecoded + 1 || track->lastDecoded < 0)) {
        track->validFrom = start;
        while (start > 0 && !startsSequence(track, start))
            start--;
        if (__mvIT_RestartCodec(track) != 0)
            return -1;
    }
    for (int j = start; j < frame; j++) {
        if (decodeFrame(track, j, scratch) != 0) {
            // The picture holds part of a frame: no frame follows it.
            track->lastDecoded = -1;
            return -1;
        }
    }
    return 0;
}

int changed(MVimageTrack *track)
{
    __mvMV_FramesChanged(track->movie);
    return __mvT_UpdateLength(track);
}

// Compresses one caller frame into the track's compressed buffer. The codec
// may turn the frame it is given upside down, so it works on a copy.
int compressFrame(MVimageTrack *track, const uint8_t *frame, size_t *size, int *key)
{
    size_t pixels = codecFrameBytes(track);
    if (!grow(track->conversion, pixels))
        return fail(MV_ERR_NO_MEMORY);
    std::memcpy(track->conversion.data(), frame, size_t(track->frameSize));
    if (pixels > size_t(track->frameSize))
        std::memset(track->conversion.data() + track->frameSize, 0,
                    pixels - size_t(track->frameSize));
    return __mvCD_Compress(track->codec, size, key, track->conversion.data(),
                           track->compressed.size(), track->compressed.data());
}

}  // namespace

int __mvIT_StepStart(int frame, int lastDecoded, const std::function<bool(int)> &isKeyFrame)
{
    if (frame == lastDecoded + 1 || isKeyFrame(frame))
        return frame;
    for (int j = frame - 1; j >= 0; j--)
        if (j == lastDecoded + 1 || isKeyFrame(j))
            return j;
    return frame > kRecoveryFrames ? frame - kRecoveryFrames : 0;
}

int __mvIT_ReadFrames(MVimageTrack *track, int first, int count, void *buffer)
{
    if (first < 0 || count < 0 || count > __mvT_Length(track) - first)
        return fail(MV_ERR_FRAME_RANGE);
    if (count == 0)
        return 0;
    auto *out = static_cast<uint8_t *>(buffer);
    if (isMpeg(track)) {
        for (int i = 0; i < count; i++) {
            uint8_t *frame = out + size_t(i) * size_t(track->frameSize);
            if (cachedPicture(track, first + i, frame))
                continue;
            if (applySpeed(track) != 0 || bringDecoderInStep(track, first + i, frame) != 0 || decodeFrame(track, first + i, frame) != 0) {
                track->lastDecoded = -1;
                return -1;
            }
            track->lastDecoded = first + i;
        }
        return 0;
    }
    if (bringDecoderInStep(track, first, out) != 0)
        return -1;
    for (int i = 0; i < count; i++) {
        if (decodeFrame(track, first + i, out + size_t(i) * size_t(track->frameSize)) != 0) {
            // The decoder's state is unknown after a failure.
            track->lastDecoded = -1;
            return -1;
        }
    }
    if (track->codec != nullptr)
        track->lastDecoded = first + count - 1;
    return 0;
}

int __mvIT_InsertFrames(MVimageTrack *track, int first, int count, const void *buffer)
{
    if (first < 0 || first > __mvT_Length(track) || count < 0)
        return fail(MV_ERR_FRAME_RANGE);
    const auto *in = static_cast<const uint8_t *>(buffer);
    std::vector<uint8_t> stored;
    // Frames from here on move; what the decoder saw of them is gone.
    if (track->lastDecoded >= first)
        track->lastDecoded = -1;
    for (int i = 0; i < count; i++) {
        const uint8_t *frame = in + size_t(i) * size_t(track->frameSize);
        const void *data = nullptr;
        size_t size = 0;
        int key = 0;
        if (track->codec != nullptr) {
            if (compressFrame(track, frame, &size, &key) != 0)
                break;
            data = track->compressed.data();
        } else {
            // Pixels go to the file big-endian; the caller's frame stays.
            if (!grow(stored, size_t(track->frameSize))) {
                fail(MV_ERR_NO_MEMORY);
                break;
            }
            std::memcpy(stored.data(), frame, size_t(track->frameSize));
            swapPixels(track, stored.data());
            data = stored.data();
            size = size_t(track->frameSize);
        }
        if (__mvDL_Seek(track->directory, first + i, nullptr, nullptr, nullptr, nullptr) != 0 ||
            __mvDL_InsertEntry(track->directory, 1, uint32_t(size), data) != 0)
            break;
        if (key) {
            DMparams *params = nullptr;
            if (__mvDL_Seek(track->directory, first + i, nullptr, nullptr, nullptr, nullptr) != 0 ||
                (params = __mvDL_GetParams(track->directory)) == nullptr ||
                dmParamsSetInt(params, MV_KEY_FRAME, 1) != 0) {
                fail(MV_ERR_NO_MEMORY);
                break;
            }
        }
        if (i + 1 == count)
            return changed(track);
    }
    if (count == 0)
        return 0;
    int error = mvErrno;
    changed(track);
    return fail(error);
}

int __mvIT_DeleteFrames(MVimageTrack *track, int first, int count)
{
    if (first < 0 || count < 0 || count > __mvT_Length(track) - first)
        return fail(MV_ERR_FRAME_RANGE);
    if (count == 0)
        return 0;
    for (int i = 0; i < count; i++) {
        if (__mvDL_Seek(track->directory, first, nullptr, nullptr, nullptr, nullptr) != 0 ||
            __mvDL_DeleteEntry(track->directory) != 0) {
            int error = mvErrno;
            changed(track);
            return fail(error);
        }
    }
    // Frames after the deleted ones moved; the decoder's memory of them is
    // no longer valid.
    track->lastDecoded = -1;
    return changed(track);
}

int __mvIT_StoredSize(MVimageTrack *track, int frame, uint32_t *size)
{
    int count = 0;
    if (__mvDL_Seek(track->directory, frame, nullptr, &count, nullptr, size) != 0)
        return -1;
    if (count == 0)
        return fail(MV_ERR_FRAME_RANGE);
    return 0;
}

int __mvIT_ReadStored(MVimageTrack *track, int frame, size_t bufferSize, void *buffer)
{
    uint32_t size = 0;
    if (__mvIT_StoredSize(track, frame, &size) != 0)
        return -1;
    // The stored frame must fit whole.
    if (bufferSize < size)
        return fail(MV_ERR_FRAME_RANGE);
    return __mvDL_Read(track->directory, buffer);
}

int __mvIT_InsertStored(MVimageTrack *track, int frame, uint32_t size, const void *data)
{
    if (frame < 0 || frame > __mvT_Length(track))
        return fail(MV_ERR_FRAME_RANGE);
    if (__mvDL_Seek(track->directory, frame, nullptr, nullptr, nullptr, nullptr) != 0 ||
        __mvDL_InsertEntry(track->directory, 1, size, data) != 0)
        return -1;
    if (track->lastDecoded >= frame)
        track->lastDecoded = -1;
    return changed(track);
}

int __mvT_IsKeyFrame(MVid id, int frame)
{
    MVimageTrack *track = __mvFindImageTrack(id);
    if (track == nullptr)
        return 0;
    return isKey(track, frame);
}

DMparams *__mvGetFrameParams(MVid id, int frame)
{
    MVimageTrack *track = __mvFindImageTrack(id);
    if (track == nullptr ||
        __mvDL_Seek(track->directory, frame, nullptr, nullptr, nullptr, nullptr) != 0)
        return nullptr;
    return __mvDL_GetParams(track->directory);
}

int __mvSetFrameParams(MVid id, int frame, const DMparams *list, DMparams *returned)
{
    MVimageTrack *track = __mvFindImageTrack(id);
    if (track == nullptr)
        return -1;
    if (list == nullptr)
        return fail(EINVAL);
    if (__mvDL_Seek(track->directory, frame, nullptr, nullptr, nullptr, nullptr) != 0 ||
        __mvDL_SetParams(track->directory, list, returned) != 0)
        return -1;
    __mvMV_SetDirty(track->movie);
    return 0;
}

void __mvT_SetPlaySpeed(MVid id, double speed)
{
    MVtrack *track = __mvFindTrack(id);
    if (track != nullptr && track->kind == MV_KIND_IMAGE)
        static_cast<MVimageTrack *>(track)->playSpeed = speed;
}
