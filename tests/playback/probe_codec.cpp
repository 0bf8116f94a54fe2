#include "probe_codec.h"

#include <cinelark/cl.h>

#include <cstdint>
#include <mutex>

namespace {

// Several threads may drive probe handles at once; the record is shared, so
// its updates take this lock (the tests read it after their threads joined).
ProbeRecord record;
std::mutex recordLock;

// The handler installed at the moment, called the way a codec reports.
template <typename... Args>
void report(CL_Handle h, int code, const char *format, Args... args)
{
    CL_ErrorHandler current = clSetErrorHandler(nullptr);
    clSetErrorHandler(current);
    current(h, code, format, args...);
}

int frameBytes(CL_Handle h)
{
    return clGetParam(h, CL_IMAGE_WIDTH) * clGetParam(h, CL_IMAGE_HEIGHT) * 4;
}

int open(int, CL_Handle *) { return 0; }
int close(CL_Handle) { return 0; }

int compress(CL_Handle h, int frames, void *, int *size, void *)
{
    bool refuse = false;
    {
        std::lock_guard<std::mutex> hold(recordLock);
        record.compressions++;
        refuse = record.refuseNext;
        record.refuseNext = false;
    }
    if (refuse) {
        report(h, CL_ERR_BAD_AMOUNT, "%s: refused frame %d\n", "clCompress Bridge Probe", 7);
        return CL_ERR_BAD_AMOUNT;
    }
    CL_BufferHdl frameBuf = clQueryBufferHdl(h, CL_FRAME, nullptr);
    CL_BufferHdl data = clQueryBufferHdl(h, CL_DATA, nullptr);
    const int bytes = frameBytes(h);
    for (int f = 0; f < frames; f++) {
        void *at = nullptr;
        int wrap = 0;
        if (clQueryValid(frameBuf, 1, &at, &wrap) < 1)
            return CL_ERR_NO_DATA;
        const auto *in = static_cast<const uint8_t *>(at);
        for (int left = bytes; left > 0;) {
            void *out = nullptr;
            int k = clWriteData(data, left, &out);
            if (k <= 0)
                return CL_ERR_NO_DATA;
            for (int i = 0; i < k; i++)
                static_cast<uint8_t *>(out)[i] = uint8_t(~in[i]);
            in += k;
            left -= k;
        }
        clUpdateTail(frameBuf, 1);
        clWriteDone(data, -1);
        *size += bytes;
    }
    return frames;
}

int decompress(CL_Handle h, int frames, int, void *, void *)
{
    CL_BufferHdl frameBuf = clQueryBufferHdl(h, CL_FRAME, nullptr);
    CL_BufferHdl data = clQueryBufferHdl(h, CL_DATA, nullptr);
    const int bytes = frameBytes(h);
    for (int f = 0; f < frames; f++) {
        void *at = nullptr;
        int wrap = 0;
        if (clQueryFree(frameBuf, 1, &at, &wrap) < 1)
            return CL_ERR_NO_DATA;
        auto *out = static_cast<uint8_t *>(at);
        for (int left = bytes; left > 0;) {
            void *in = nullptr;
            int k = clReadDataRange(data, 1, left, &in);
            if (k <= 0) {
                report(h, CL_ERR_NO_DATA, "%s: frame is cut short\n", "clDecompress Bridge Probe");
                return CL_ERR_NO_DATA;
            }
            for (int i = 0; i < k; i++)
                out[i] = uint8_t(~static_cast<const uint8_t *>(in)[i]);
            out += k;
            left -= k;
        }
        clDone(data, -1);
        clUpdateHead(frameBuf, 1);
    }
    return frames;
}

// The probe's stream has no header of its own.
int readHeader(CL_Handle, int, void *) { return 0; }
int queryScheme(const void *) { return -1; }

int getParams(CL_Handle h, int *pv, int n)
{
    for (int k = 0; k + 1 < n; k += 2)
        if (pv[k] == CL_COMPRESSED_BUFFER_SIZE && pv[k + 1] == 0)
            pv[k + 1] = frameBytes(h) + 64;
    return 0;
}

int setParams(CL_Handle, int *pv, int n)
{
    std::lock_guard<std::mutex> hold(recordLock);
    for (int k = 0; k + 1 < n; k += 2)
        record.params[pv[k]] = pv[k + 1];
    return 0;
}

}  // namespace

int probeScheme()
{
    static int scheme = -1;
    if (scheme < 0)
        clAddAlgorithm(kProbeName, CL_VIDEO, 0, open, compress, close, open, decompress, close,
                       readHeader, queryScheme, getParams, setParams, &scheme);
    return scheme;
}

ProbeRecord &probeRecord() { return record; }
