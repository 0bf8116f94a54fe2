// The start-code scan and the display-order plan. The plan follows the
// rules of the "MPEG Video" decoder: a picture's display number is its
// temporal reference plus one past the largest number before its group;
// the newer reference comes due (once) when a later-numbered picture
// arrives, a B picture comes out at once, and the sequence end code hands
// out the last reference.
#include <algorithm>
#include <cstring>

#include "../stream.h"
#include "scan.h"

namespace cinelark::mpeg {
namespace {

constexpr size_t kChunk = 1 << 20;
// Bytes a unit's fields need after its start code.
constexpr size_t kFieldBytes = 8;

bool IsUnit(uint8_t code) { return code == 0x00 || code == 0xB3 || code == 0xB7 || code == 0xB8; }

int64_t EndOf(const StreamLayout &layout, size_t unit)
{
    return unit + 1 < layout.units.size() ? layout.units[unit + 1].offset : layout.length;
}

}  // namespace

bool ScanStream(MVstream *stream, int64_t length, StreamLayout *layout)
{
    if (__mvS_Length(stream, &layout->length) != 0)
        return false;
    if (length >= 0 && length < layout->length)
        layout->length = length;
    std::vector<uint8_t> buffer(kChunk + 3 + kFieldBytes);
    for (int64_t at = 0; at < layout->length; at += int64_t(kChunk)) {
        const size_t want = size_t(std::min<int64_t>(int64_t(buffer.size()), layout->length - at));
        if (__mvS_SeeknRead(stream, at, buffer.data(), want) != 0)
            return false;
        std::memset(buffer.data() + want, 0, buffer.size() - want);
        const size_t scanEnd = std::min(kChunk, want);
        for (size_t i = 0; i < scanEnd && i + 3 < want; ++i) {
            if (buffer[i + 2] > 1) {
                i += 2;  // no start code prefix can end in the next two bytes
                continue;
            }
            if (buffer[i] != 0 || buffer[i + 1] != 0 || buffer[i + 2] != 1 || !IsUnit(buffer[i + 3]))
                continue;
            const uint8_t *f = buffer.data() + i + 4;
            Unit u;
            u.offset = at + int64_t(i);
            u.code = buffer[i + 3];
            if (u.code == 0x00) {
                u.temporalReference = f[0] << 2 | f[1] >> 6;
                u.type = f[1] >> 3 & 7;
            } else if (u.code == 0xB3 && layout->width == 0) {
                layout->width = f[0] << 4 | f[1] >> 4;
                layout->height = (f[1] & 15) << 8 | f[2];
                layout->rateCode = f[3] & 15;
            }
            layout->units.push_back(u);
            i += 3;
        }
    }
    return !layout->units.empty() && layout->units.front().code == 0xB3 && layout->units.front().offset == 0;
}

std::vector<Delivery> PlanDeliveries(const StreamLayout &layout, size_t first)
{
    std::vector<Delivery> out;
    int gopBase = -1;
    int maxFrame = -1;
    int newest = 0;
    bool haveNewer = false;
    bool newerDue = false;
    size_t newer = 0;
    for (size_t k = first; k < layout.units.size(); ++k) {
        const Unit &u = layout.units[k];
        if (u.code == 0xB8) {
            gopBase = maxFrame + 1;
        } else if (u.code == 0xB7) {
            if (haveNewer && !newerDue)
                out.push_back({newer, u.offset + 4});
            return out;
        } else if (u.code == 0x00 && u.type >= 1 && u.type <= 3) {
            const int display = u.temporalReference + std::max(gopBase, 0);
            maxFrame = std::max(maxFrame, display);
            bool delivered = false;
            if (display > newest && haveNewer && !newerDue) {
                out.push_back({newer, EndOf(layout, k)});
                newerDue = true;
                delivered = true;
            }
            if (u.type == 3) {
                if (!delivered)
                    out.push_back({k, EndOf(layout, k)});
            } else {
                newest = display;
                haveNewer = true;
                newerDue = false;
                newer = k;
            }
        }
    }
    // A stream without its end code: the last reference comes out when the
    // data ends.
    if (haveNewer && !newerDue)
        out.push_back({newer, layout.length});
    return out;
}

}  // namespace cinelark::mpeg
