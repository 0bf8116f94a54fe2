// Setting and reading device parameters, and the nearest-rate rule.
//
// Caller pairs are translated into device pairs: rates in Hz become the code
// of the nearest rate in _ALrate_table, the special negative rates name fixed
// codes, the two "second clock" switches set a rate code of 12, and the input
// attenuations are sent as gain words of _AL_atten_table. Anything else goes
// to the device as it is, and the device refuses what it does not know.
#include "errors.h"
#include "params.h"
#include "port.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>

using cinelark::audioport::fail;

namespace cinelark::audioport {

namespace {

// Codes for the special rates -1 ... -7.
constexpr std::array<int32_t, 7> kSpecialRateCodes = {1, 12, 28, 44, 60, 92, 14};

// The code of the second clock's 48000 Hz.
constexpr int32_t kAlt48kCode = 12;

constexpr int32_t kAttenMask = 0x7FFFFF;

// Translates one pair; false when it sends nothing.
bool translate(long param, long value, int32_t& out_param, int32_t& out_value) {
  switch (param) {
    case AL_PARAM_INPUT_RATE:
    case AL_PARAM_OUTPUT_RATE:
      out_param = static_cast<int32_t>(param);
      if (value < 0 && value >= -static_cast<long>(kSpecialRateCodes.size())) {
        out_value = kSpecialRateCodes[static_cast<std::size_t>(-value - 1)];
        return true;
      }
      if (value > 0) {
        out_value = ALnearestratecode(value);
        return true;
      }
      return false;
    case AL_PARAM_INPUT_RATE_ALT48K:
    case AL_PARAM_OUTPUT_RATE_ALT48K:
      if (value == 0) return false;
      out_param = param == AL_PARAM_INPUT_RATE_ALT48K ? AL_PARAM_INPUT_RATE : AL_PARAM_OUTPUT_RATE;
      out_value = kAlt48kCode;
      return true;
    case AL_PARAM_LEFT_INPUT_ATTEN:
    case AL_PARAM_RIGHT_INPUT_ATTEN:
      out_param = static_cast<int32_t>(param);
      out_value = _AL_atten_table[std::clamp(value, 0L, 255L)] & kAttenMask;
      return true;
    default:
      out_param = static_cast<int32_t>(param);
      out_value = static_cast<int32_t>(value);
      return true;
  }
}

// The checks both operations make; 0 when the call may go on.
int check_call(const char* op, long device, const long* pairs, long count) {
  if (device != AL_DEFAULT_DEVICE) return fail(AL_ERR_BAD_DEVICE, op, device);
  if (pairs == nullptr) return fail(AL_ERR_NO_PARAM_BUFFER, op, 0L);
  if (count < 0) return fail(AL_ERR_NEGATIVE_PARAM_COUNT, op, count);
  if (count % 2 != 0) return fail(AL_ERR_ODD_PARAM_COUNT, op, count);
  return 0;
}

}  // namespace

std::size_t translate_pairs(std::span<const long> pairs, std::span<int32_t, kRequestWords> request) {
  std::size_t used = 1;
  std::size_t consumed = 0;
  const std::size_t count = pairs.size() / 2;
  for (; consumed < count && used + 2 <= request.size(); ++consumed) {
    int32_t p = 0;
    int32_t v = 0;
    if (translate(pairs[consumed * 2], pairs[consumed * 2 + 1], p, v)) {
      request[used] = p;
      request[used + 1] = v;
      used += 2;
    }
  }
  request[0] = static_cast<int32_t>(used);
  return consumed;
}

}  // namespace cinelark::audioport

namespace {

// The bodies of ALsetparams and ALgetparams, which may allocate.
int set_params(long device, long* pairs, long count) {
  static constexpr const char* kOp = "ALsetparams";
  if (cinelark::audioport::check_call(kOp, device, pairs, count) != 0) return -1;
  std::string why;
  auto master = cinelark::audiodev::Master::open(_ALhdsp0master, why);
  if (!master) return fail(AL_ERR_NO_MASTER, kOp, why.c_str());
  // Long lists go to the device in several requests of at most 30 pairs.
  std::span<const long> rest(pairs, static_cast<std::size_t>(count));
  std::array<int32_t, cinelark::audioport::kRequestWords> request{};
  while (!rest.empty()) {
    std::size_t done = cinelark::audioport::translate_pairs(rest, request);
    if (master->set_params(std::span(request.data(), static_cast<std::size_t>(request[0]))) != 0)
      return fail(AL_ERR_DEVICE_FAILED, kOp, "the device refused a parameter or its value");
    rest = rest.subspan(done * 2);
  }
  return 0;
}

int get_params(long device, long* pairs, long count) {
  static constexpr const char* kOp = "ALgetparams";
  if (cinelark::audioport::check_call(kOp, device, pairs, count) != 0) return -1;
  std::string why;
  auto master = cinelark::audiodev::Master::open(_ALhdsp0master, why);
  if (!master) return fail(AL_ERR_NO_MASTER, kOp, why.c_str());
  for (long i = 0; i < count; i += 2) {
    std::array<int32_t, 2> pair = {static_cast<int32_t>(pairs[i]), 0};
    if (pairs[i] < INT32_MIN || pairs[i] > INT32_MAX || master->get_params(pair) != 0)
      return fail(AL_ERR_DEVICE_FAILED, kOp, "the device has no such parameter");
    pairs[i + 1] = pair[1];
  }
  return 0;
}

}  // namespace

extern "C" {

int ALnearestratecode(long rate) {
  int upper = -1;
  int lower = -1;
  for (int i = 0; i < _ALrate_table_size; ++i) {
    if (_ALrate_table[i].rate <= rate) {
      lower = i;
      break;
    }
    upper = i;
  }
  if (lower < 0) return _ALrate_table[upper].code;
  if (upper < 0) return _ALrate_table[lower].code;
  long below = rate - _ALrate_table[lower].rate;
  long above = _ALrate_table[upper].rate - rate;
  return below <= above ? _ALrate_table[lower].code : _ALrate_table[upper].code;
}

int ALsetparams(long device, long* pairs, long count) {
  try {
    return set_params(device, pairs, count);
  } catch (...) {
    return fail(AL_ERR_NO_MEMORY, "ALsetparams", 0L);
  }
}

int ALgetparams(long device, long* pairs, long count) {
  try {
    return get_params(device, pairs, count);
  } catch (...) {
    return fail(AL_ERR_NO_MEMORY, "ALgetparams", 0L);
  }
}

}  // extern "C"
