// The device-wide state shared by the master device and every port device:
// the parameters and the table of port numbers in use.
#ifndef CINELARK_AUDIODEV_DEVICE_STATE_H
#define CINELARK_AUDIODEV_DEVICE_STATE_H

#include "audiodev/device.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

namespace cinelark::audiodev {

inline constexpr int32_t kInitialRate = 48000;
inline constexpr int32_t kInitialGain = 255;

struct DeviceState {
  // Taken by parameter changes and by claiming and releasing port numbers.
  std::mutex lock;

  // Written under `lock` by the master device; read without it by device
  // threads, which notice a change through `generation` (bumped after the
  // new values are stored).
  std::atomic<int32_t> input_rate{kInitialRate};
  std::atomic<int32_t> output_rate{kInitialRate};
  std::array<std::atomic<int32_t>, 2> gain{kInitialGain, kInitialGain};
  std::array<std::atomic<int32_t>, 2> input_atten{0x7FFFFF, 0x7FFFFF};
  std::atomic<uint32_t> generation{0};

  // Port numbers in use; guarded by `lock`.
  std::array<bool, kMaxPorts> port_used{};
};

DeviceState& device_state();

}  // namespace cinelark::audiodev

#endif
