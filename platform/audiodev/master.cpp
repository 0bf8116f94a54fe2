// The master device: backend selection, port numbers and the device-wide
// parameters.
#include "audiodev/device.h"
#include "backend.h"
#include "device_state.h"

#include <cerrno>
#include <charconv>

namespace cinelark::audiodev {

DeviceState& device_state() {
  static DeviceState state;
  return state;
}

std::unique_ptr<Master> Master::open(std::string_view path, std::string& why) {
  if (path != kMasterPath) {
    why = "no audio master device " + std::string(path);
    errno = ENOENT;
    return nullptr;
  }
  std::string selection = backend_selection_from_environment();
  if (!valid_backend_selection(selection, why)) {
    errno = ENXIO;
    return nullptr;
  }
  return std::unique_ptr<Master>(new Master(std::move(selection)));
}

int Master::free_port_number() const {
  DeviceState& dev = device_state();
  std::lock_guard hold(dev.lock);
  for (int i = 0; i < kMaxPorts; ++i)
    if (!dev.port_used[i]) return i;
  return -1;
}

std::unique_ptr<PortDevice> Master::open_port(std::string_view path) {
  int number = -1;
  if (!path.starts_with(kPortPathPrefix)) {
    errno = ENOENT;
    return nullptr;
  }
  std::string_view digits = path.substr(kPortPathPrefix.size());
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (ec != std::errc() || end != digits.data() + digits.size() || number < 0 ||
      number >= kMaxPorts) {
    errno = ENOENT;
    return nullptr;
  }
  DeviceState& dev = device_state();
  {
    std::lock_guard hold(dev.lock);
    if (dev.port_used[number]) {
      errno = EBUSY;
      return nullptr;
    }
    dev.port_used[number] = true;
  }
  return std::make_unique<PortDevice>(number, selection_);
}

namespace {

// The new values of one request, checked in full before any is stored.
struct Staged {
  int32_t input_rate;
  int32_t output_rate;
  int32_t gain[2];
  int32_t atten[2];
};

bool stage_rate(int32_t code, int32_t follow, int32_t& rate) {
  if (code == kRateCodeFollowInput) {
    rate = follow;
    return true;
  }
  int32_t hz = rate_for_code(code);
  if (hz == 0) return false;
  rate = hz;
  return true;
}

}  // namespace

int Master::set_params(std::span<const int32_t> words) {
  if (words.empty() || words[0] < 1 || static_cast<std::size_t>(words[0]) > words.size() ||
      (words[0] - 1) % 2 != 0)
    return EINVAL;
  DeviceState& dev = device_state();
  std::lock_guard hold(dev.lock);
  Staged s{dev.input_rate.load(), dev.output_rate.load(),
           {dev.gain[0].load(), dev.gain[1].load()},
           {dev.input_atten[0].load(), dev.input_atten[1].load()}};
  for (int32_t i = 1; i < words[0]; i += 2) {
    int32_t param = words[i];
    int32_t value = words[i + 1];
    bool ok = true;
    switch (param) {
      case kParamInputRate:
        ok = stage_rate(value, s.input_rate, s.input_rate);
        break;
      case kParamOutputRate:
        ok = stage_rate(value, s.input_rate, s.output_rate);
        break;
      case kParamLeftGain:
      case kParamRightGain:
        ok = value >= 0 && value <= 255;
        s.gain[param - kParamLeftGain] = value;
        break;
      case kParamLeftInputAtten:
      case kParamRightInputAtten:
        s.atten[param - kParamLeftInputAtten] = value;
        break;
      default:
        ok = false;
    }
    if (!ok) return EINVAL;
  }
  dev.input_rate.store(s.input_rate);
  dev.output_rate.store(s.output_rate);
  for (int c = 0; c < 2; ++c) {
    dev.gain[c].store(s.gain[c]);
    dev.input_atten[c].store(s.atten[c]);
  }
  dev.generation.fetch_add(1);
  return 0;
}

int Master::get_params(std::span<int32_t> pairs) const {
  DeviceState& dev = device_state();
  for (std::size_t i = 0; i + 1 < pairs.size(); i += 2) {
    switch (pairs[i]) {
      case kParamInputRate:
        pairs[i + 1] = dev.input_rate.load();
        break;
      case kParamOutputRate:
        pairs[i + 1] = dev.output_rate.load();
        break;
      case kParamLeftGain:
      case kParamRightGain:
        pairs[i + 1] = dev.gain[pairs[i] - kParamLeftGain].load();
        break;
      case kParamLeftInputAtten:
      case kParamRightInputAtten:
        pairs[i + 1] = dev.input_atten[pairs[i] - kParamLeftInputAtten].load();
        break;
      default:
        return EINVAL;
    }
  }
  return 0;
}

}  // namespace cinelark::audiodev
