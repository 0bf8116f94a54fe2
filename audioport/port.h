// The configuration and port records and the library's shared internals.
//
// An open port's mapping (see audiodev/device.h) holds the read index, the
// write index and the fill word in front of the ring of device words; the
// port keeps pointers to each. Only the writing thread moves the write index;
// the device thread moves the read index, so both are read and written
// through std::atomic_ref.
#ifndef CINELARK_AUDIOPORT_PORT_H
#define CINELARK_AUDIOPORT_PORT_H

#include <cinelark/audio.h>

#include "audiodev/device.h"
#include "converters.h"

#include <cstddef>
#include <cstdint>
#include <memory>

inline constexpr int32_t kConfigMagic = 48002;
inline constexpr int32_t kPortMagic = 48001;
inline constexpr int32_t kClosedPortMagic = 48018;

// Sample format word values; anything else means an integer of the width.
inline constexpr int32_t kFormatInteger = 1;
inline constexpr int32_t kFormatFloat = 32;
inline constexpr int32_t kFormatDouble = 64;

inline constexpr int32_t kMaxQueueSize = 262139;
inline constexpr std::size_t kMaxPortName = 19;

// Ten 32-bit words, in the order the library has always kept them.
struct ALconfigRec {
  int32_t magic;
  int32_t queue_size;  // in caller samples
  int32_t width;       // bytes of an integer sample: 1, 2 or 4
  int32_t format;      // kFormatFloat, kFormatDouble, or an integer
  int32_t channels;    // 1, 2 or 4
  int32_t reserved5;
  double scale;        // full scale of float and double samples
  int32_t reserved8;
  int32_t reserved9;
};
static_assert(sizeof(ALconfigRec) == 40, "a configuration is ten words");

extern const ALconfigRec _ALdefault_config;

struct ALportRec {
  int32_t magic = kPortMagic;
  std::size_t mapping_bytes = 0;
  int32_t ring_size = 0;  // in words
  int32_t* base = nullptr;
  int32_t* read_index = nullptr;
  int32_t* write_index = nullptr;
  int32_t* fill_word = nullptr;
  int32_t* data = nullptr;
  int32_t* end = nullptr;
  int descriptor = -1;
  std::unique_ptr<cinelark::audiodev::PortDevice> device;
  int direction = 1;  // 0 input, 1 output
  ALconfigRec config{};
  int device_channels = 2;
  cinelark::audioport::Converters convert;
  int bytes_per_sample = 2;
  int caller_channel_shift = 1;  // log2 of the caller's channels
  int device_channel_shift = 1;  // log2 of the device's channels
  char name[kMaxPortName + 1] = {};
};

// The master device's name.
extern const char _ALhdsp0master[];

namespace cinelark::audioport {

// Ring size in words for a queue of `queue_size` caller samples.
int32_t ring_words(int32_t queue_size, int caller_channels, int device_channels);

// The fill word for a fill point of `count` caller samples.
int32_t fill_word_for(const ALportRec& port, int32_t count);

inline bool valid_config(const ALconfigRec* c) { return c != nullptr && c->magic == kConfigMagic; }
inline bool valid_port(const ALportRec* p) { return p != nullptr && p->magic == kPortMagic; }

}  // namespace cinelark::audioport

#endif
