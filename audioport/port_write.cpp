// Writing samples: convert them into the ring and block while it is full.
//
// The loop works in units: device words for a stereo port (its samples map
// one to one onto words, and a count need not be whole frames), whole frames
// for the others. Free space is read index - write index - 1 words, since one
// word always stays empty to tell a full ring from an empty one. Chunks are at
// most 100 units, so the device sees new samples while a long write goes on.
// With no room, the writer sets the fill word to ask the device for
// min(ring / 2, remaining) free words and waits on the port's descriptor.
#include "errors.h"
#include "port.h"

#include <poll.h>

#include <algorithm>
#include <atomic>

using cinelark::audioport::fail;
using cinelark::audioport::valid_port;

namespace {

constexpr int64_t kMaxChunk = 100;

// How long one wait lasts before the writer looks at the ring again. The
// device wakes it much sooner; this only bounds a wait whose wake-up was lost
// to a device that has gone away.
constexpr int kWaitSliceMs = 250;

int64_t free_words(const ALportRec& port) {
  int64_t free = int64_t{std::atomic_ref(*port.read_index).load(std::memory_order_seq_cst)} -
                 *port.write_index - 1;
  return free < 0 ? free + port.ring_size : free;
}

// Blocks until at least one unit is free. `unit_shift` is log2 of the words
// per unit; `remaining` counts units. False when the device has stopped.
bool wait_for_room(ALportRec& port, int unit_shift, int64_t remaining) {
  const int64_t ring = port.ring_size;
  while ((free_words(port) >> unit_shift) == 0) {
    int64_t wanted = std::min(ring / 2, remaining << unit_shift);
    std::atomic_ref(*port.fill_word).store(static_cast<int32_t>(ring - wanted), std::memory_order_seq_cst);
    // The device may have made room between the first look and the fill
    // word's store; only then is waiting safe.
    if ((free_words(port) >> unit_shift) != 0) break;
    pollfd pfd{port.descriptor, POLLIN, 0};
    ::poll(&pfd, 1, kWaitSliceMs);
    port.device->clear_wakeup();
    if (!port.device->running()) return false;
  }
  return true;
}

}  // namespace

extern "C" int ALwritesamps(ALport port, const void* samples, long count) {
  static constexpr const char* kOp = "ALwritesamps";
  if (!valid_port(port) || port->direction != 1) return fail(AL_ERR_BAD_PORT, kOp, static_cast<const void*>(port));
  if (count < 0) return fail(AL_ERR_BAD_SAMPLE_COUNT, kOp, count);
  if (count > 0 && samples == nullptr) return fail(AL_ERR_NO_PARAM_BUFFER, kOp, 0L);

  const bool stereo = port->config.channels == 2;
  if (!stereo && (count & ((1L << port->caller_channel_shift) - 1)) != 0)
    return fail(AL_ERR_BAD_SAMPLE_COUNT, kOp, count);

  // Units: words for a stereo port, frames otherwise.
  const int unit_shift = stereo ? 0 : port->device_channel_shift;
  const int64_t unit_words = int64_t{1} << unit_shift;
  const std::size_t unit_bytes =
      static_cast<std::size_t>(port->bytes_per_sample) << (stereo ? 0 : port->caller_channel_shift);
  int64_t remaining = stereo ? count : count >> port->caller_channel_shift;
  const auto* src = static_cast<const unsigned char*>(samples);
  const double scale = port->config.scale;
  const int64_t ring = port->ring_size;
  int64_t write = *port->write_index;

  while (remaining > 0) {
    if (!wait_for_room(*port, unit_shift, remaining))
      return fail(AL_ERR_DEVICE_FAILED, kOp, "the audio device stopped");
    int64_t free_units = free_words(*port) >> unit_shift;
    int64_t room_units = (ring - write) >> unit_shift;
    if (room_units == 0) {
      // One frame straddles the ring's end: its first words fill the end,
      // the rest start the ring again.
      int tail = static_cast<int>(ring - write);
      port->convert.write_wrap(src, port->data + write, tail, port->data, scale);
      write = unit_words - tail;
      remaining -= 1;
      src += unit_bytes;
    } else {
      int64_t chunk = std::min({remaining, free_units, room_units, kMaxChunk});
      port->convert.write_bulk(src, port->data + write, static_cast<int>(chunk), scale);
      write += chunk << unit_shift;
      if (write == ring) write = 0;
      remaining -= chunk;
      src += static_cast<std::size_t>(chunk) * unit_bytes;
    }
    std::atomic_ref(*port->write_index).store(static_cast<int32_t>(write), std::memory_order_release);
  }
  return 0;
}
