// Opening and closing ports, and the fill point.
//
// Opening follows the device's protocol: open the master device, ask it for
// a free port number and open that port device (another program may take
// the number first, so the pair is retried), agree on the channel count,
// map the ring, name the port and start it with the ring's size.
#include "errors.h"
#include "port.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>

using cinelark::audioport::fail;
using cinelark::audioport::SampleKind;
using cinelark::audioport::valid_config;
using cinelark::audioport::valid_port;
namespace audiodev = cinelark::audiodev;

const char _ALhdsp0master[] = "/dev/hdsp/hdsp0master";

namespace {

// Attempts at claiming a free port number before giving up.
constexpr int kPortAttempts = 100;

int log2_channels(int channels) { return channels == 4 ? 2 : channels == 2 ? 1 : 0; }

SampleKind kind_of(const ALconfigRec& c) {
  if (c.format == kFormatFloat) return SampleKind::kFloat;
  if (c.format == kFormatDouble) return SampleKind::kDouble;
  return c.width == 1 ? SampleKind::kInt8 : c.width == 2 ? SampleKind::kInt16 : SampleKind::kInt24;
}

int bytes_of(const ALconfigRec& c) {
  if (c.format == kFormatFloat) return 4;
  if (c.format == kFormatDouble) return 8;
  return c.width;
}

}  // namespace

namespace cinelark::audioport {

int32_t ring_words(int32_t queue_size, int caller_channels, int device_channels) {
  int64_t words = int64_t{queue_size} * device_channels;
  int64_t ring = (words + caller_channels - 1) / caller_channels + 1;
  // A queue of a sample or two of a four-channel port would make a ring too
  // small for one frame beside the empty word, and a writer would wait for
  // room that can never come.
  return static_cast<int32_t>(std::max<int64_t>(ring, device_channels + 1));
}

int32_t fill_word_for(const ALportRec& port, int32_t count) {
  int32_t words = count;
  if (port.config.channels == 1) words = count * 2;
  else if (port.config.channels == 4 && port.device_channels == 2) words = count / 2;
  return port.ring_size - words;
}

}  // namespace cinelark::audioport

using cinelark::audioport::fill_word_for;
using cinelark::audioport::ring_words;

namespace {

constexpr const char* kOpenOp = "ALopenport";

ALport open_port(const char* name, const char* direction, ALconfig config) {
  static constexpr const char* kOp = kOpenOp;
  if (config != nullptr && !valid_config(config)) {
    fail(AL_ERR_BAD_CONFIG, kOp, static_cast<const void*>(config));
    return nullptr;
  }
  const ALconfigRec& cfg = config != nullptr ? *config : _ALdefault_config;
  int dir = -1;
  if (direction != nullptr && direction[0] == 'r') dir = 0;
  if (direction != nullptr && direction[0] == 'w') dir = 1;
  if (dir < 0) {
    fail(AL_ERR_BAD_DIRECTION, kOp, direction);
    return nullptr;
  }

  std::unique_ptr<ALportRec> port(new (std::nothrow) ALportRec);
  if (!port) {
    fail(AL_ERR_NO_MEMORY, kOp, static_cast<long>(sizeof(ALportRec)));
    return nullptr;
  }
  if (name != nullptr) std::strncpy(port->name, name, kMaxPortName);
  port->config = cfg;
  port->direction = dir;

  std::string why;
  std::unique_ptr<audiodev::Master> master = audiodev::Master::open(_ALhdsp0master, why);
  if (!master) {
    fail(AL_ERR_NO_MASTER, kOp, why.c_str());
    return nullptr;
  }
  for (int attempt = 0; attempt < kPortAttempts && !port->device; ++attempt) {
    int number = master->free_port_number();
    if (number < 0) break;
    port->device = master->open_port(std::string(audiodev::kPortPathPrefix) + std::to_string(number));
  }
  master.reset();
  if (!port->device) {
    fail(AL_ERR_NO_PORT, kOp, "all audio ports are in use");
    return nullptr;
  }
  audiodev::PortDevice& device = *port->device;

  if (device.set_channels(cfg.channels) != 0 && device.set_channels(2) != 0) {
    fail(AL_ERR_DEVICE_FAILED, kOp, "the device accepts no channel count");
    return nullptr;
  }
  port->device_channels = device.channels();

  port->ring_size = ring_words(cfg.queue_size, cfg.channels, port->device_channels);
  port->mapping_bytes = static_cast<std::size_t>(port->ring_size) * 4 + audiodev::kHeaderWords * 4;
  port->base = device.map(port->mapping_bytes);
  if (port->base == nullptr) {
    if (errno == ENOMEM) fail(AL_ERR_NO_MEMORY, kOp, static_cast<long>(port->mapping_bytes));
    else if (errno == EFBIG) fail(AL_ERR_BAD_QUEUE_SIZE, kOp, static_cast<long>(cfg.queue_size));
    else fail(AL_ERR_DEVICE_FAILED, kOp, "cannot map the port's ring");
    return nullptr;
  }

  device.set_name(port->name);
  int err = device.start(static_cast<std::size_t>(port->ring_size) + audiodev::kHeaderWords, dir, why);
  if (err != 0) {
    if (err == ENOMEM) fail(AL_ERR_NO_MEMORY, kOp, static_cast<long>(port->mapping_bytes));
    else if (err == EBUSY) fail(AL_ERR_NO_PORT, kOp, why.c_str());
    else if (err == EFBIG) fail(AL_ERR_BAD_QUEUE_SIZE, kOp, static_cast<long>(cfg.queue_size));
    else fail(AL_ERR_DEVICE_FAILED, kOp, why.c_str());
    return nullptr;
  }

  port->read_index = port->base + 0;
  port->write_index = port->base + 1;
  port->fill_word = port->base + 3;
  port->data = port->base + audiodev::kHeaderWords;
  port->end = port->data + port->ring_size;
  port->descriptor = device.descriptor();
  port->bytes_per_sample = bytes_of(cfg);
  port->caller_channel_shift = log2_channels(cfg.channels);
  port->device_channel_shift = log2_channels(port->device_channels);
  port->convert = cinelark::audioport::_ALassignfuncs(dir == 1, kind_of(cfg),
                                                      cfg.channels, port->device_channels);
  return port.release();
}

}  // namespace

extern "C" {

// The device layer allocates (names, reasons, threads); an allocation or
// thread failure becomes an error number here rather than an exception.
ALport ALopenport(const char* name, const char* direction, ALconfig config) {
  try {
    return open_port(name, direction, config);
  } catch (const std::bad_alloc&) {
    fail(AL_ERR_NO_MEMORY, kOpenOp, 0L);
  } catch (...) {
    fail(AL_ERR_DEVICE_FAILED, kOpenOp, "unexpected failure of the device layer");
  }
  return nullptr;
}

int ALcloseport(ALport port) {
  if (!valid_port(port)) return fail(AL_ERR_BAD_PORT, "ALcloseport", static_cast<const void*>(port));
  // Closing the device stops its thread before the ring goes away. Joining
  // a thread can only fail on a broken thread library; the port is freed
  // all the same.
  try {
    port->device.reset();
  } catch (...) {
  }
  port->magic = kClosedPortMagic;
  delete port;
  return 0;
}

int ALsetfillpoint(ALport port, long count) {
  if (!valid_port(port)) return fail(AL_ERR_BAD_PORT, "ALsetfillpoint", static_cast<const void*>(port));
  if (count < 0 || count > port->config.queue_size)
    return fail(AL_ERR_BAD_FILL_POINT, "ALsetfillpoint", count);
  std::atomic_ref(*port->fill_word).store(fill_word_for(*port, static_cast<int32_t>(count)));
  return 0;
}

long ALgetqueued(ALport port) {
  if (!valid_port(port)) return fail(AL_ERR_BAD_PORT, "ALgetqueued", static_cast<const void*>(port));
  int64_t queued = int64_t{std::atomic_ref(*port->write_index).load()} -
                   std::atomic_ref(*port->read_index).load();
  if (queued < 0) queued += port->ring_size;
  // A stereo port counts words; the others count whole device frames.
  if (port->config.channels == 2) return static_cast<long>(queued);
  return static_cast<long>((queued >> port->device_channel_shift) << port->caller_channel_shift);
}

}  // extern "C"
