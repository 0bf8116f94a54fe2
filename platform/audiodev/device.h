// The audio device as the audio port library sees it: a master device that
// hands out port devices and holds the device-wide parameters, and port
// devices that share a ring of 32-bit words with the library.
//
// Shared ring layout (words of the port's mapping; both sides reach the
// index words through std::atomic_ref):
//   word 0  read index, advanced by the device thread
//   word 1  write index, advanced by the library after each chunk
//   word 2  unused
//   word 3  fill word: the device reports the port writable (makes the
//           descriptor readable) once at least ring size - fill word words
//           are free
//   words 4 ...  the ring: `ring words` device words, signed 24-bit samples
//           interleaved by the device's channel count
// One word always stays empty, so free = read - write - 1 (mod ring size).
//
// Requests (numbered as the library fixes them): 2 free port number,
// 3 ring size and direction (starts the port), 4 set parameters, 8 port
// name, 10 channel count. Parameters of request 4 carry device codes: rates
// as codes of _ALrate_table, gains 5 and 6 as settings 0-255, 13 and 14 as
// attenuation words.
#ifndef CINELARK_AUDIODEV_DEVICE_H
#define CINELARK_AUDIODEV_DEVICE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace cinelark::audiodev {

// Device parameter numbers.
inline constexpr int32_t kParamInputRate = 3;
inline constexpr int32_t kParamOutputRate = 4;
inline constexpr int32_t kParamLeftGain = 5;
inline constexpr int32_t kParamRightGain = 6;
inline constexpr int32_t kParamLeftInputAtten = 13;
inline constexpr int32_t kParamRightInputAtten = 14;

// Rate code meaning "the same rate as the input".
inline constexpr int32_t kRateCodeFollowInput = 1;

// Ports the device serves at once.
inline constexpr int kMaxPorts = 8;

// Header words in front of the ring in a port's mapping.
inline constexpr std::size_t kHeaderWords = 4;

// Largest ring (in words, header included) a port device accepts.
inline constexpr std::size_t kMaxMappingWords = std::size_t{1} << 21;

// The rate in Hz of a device rate code, or 0 for a code the table lacks.
int32_t rate_for_code(int32_t code);

// The multiplier a gain setting 0-255 stands for, in units of 1/2^23; 255 is
// exactly 2^23 (unity).
int32_t gain_multiplier(int32_t setting);

// A watcher of what the device plays: called on a port's device thread with
// each run of frames it takes from the ring (16-bit, interleaved by the
// port's channel count, gains applied), just before they go to the output,
// so that a measurement can tell when a sample left the ring (a sound card
// that takes only part of a run is shown the rest again). Set it before
// the ports to be watched open and clear it (null) after they closed.
using OutputTap = void (*)(void* context, const int16_t* samples, long frames, int channels,
                           int rate);
void set_output_tap(OutputTap tap, void* context);

class PortDevice;

// The master device: opening it selects the backend named by CINELARK_AUDIO.
class Master {
 public:
  // Opens the master device at `path` (the library's master device name).
  // On failure returns null, sets `why` and errno.
  static std::unique_ptr<Master> open(std::string_view path, std::string& why);

  // Request 2: the lowest free port number, or -1 when every port is taken.
  int free_port_number() const;

  // Opens the port device "<port prefix><number>"; null with errno EBUSY when
  // the number was taken meanwhile, ENOENT when the path names no port.
  std::unique_ptr<PortDevice> open_port(std::string_view path);

  // Request 4: words[0] is the number of words used, then (parameter, value)
  // pairs. Returns 0, or EINVAL when a parameter or value is unknown, in
  // which case nothing changes.
  int set_params(std::span<const int32_t> words);

  // Reads parameters into the value half of each (parameter, value) pair:
  // rates in Hz, gains 0-255, attenuation words as stored. Returns 0, or
  // EINVAL for an unknown parameter.
  int get_params(std::span<int32_t> pairs) const;

  const std::string& backend_selection() const { return selection_; }

 private:
  explicit Master(std::string selection) : selection_(std::move(selection)) {}
  std::string selection_;
};

// The master device's name, and the name prefix of port devices (the port
// number follows it).
inline constexpr std::string_view kMasterPath = "/dev/hdsp/hdsp0master";
inline constexpr std::string_view kPortPathPrefix = "/dev/hdsp/hdsp0r";

struct PortThread;

// One port device. The library thread that opened it calls every method;
// the device thread it starts only touches the mapping and the descriptor.
class PortDevice {
 public:
  PortDevice(int number, std::string backend_selection);
  ~PortDevice();  // stops and joins the device thread, finishes the backend
  PortDevice(const PortDevice&) = delete;
  PortDevice& operator=(const PortDevice&) = delete;

  // Request 10: 0 when the device grants `channels`, -1 (EINVAL) otherwise.
  int set_channels(int channels);
  int channels() const { return channels_; }

  // Maps `bytes` of the port: returns the zero-filled base, or null (errno
  // ENOMEM or EFBIG). The mapping belongs to the device until it closes.
  int32_t* map(std::size_t bytes);

  // Request 8.
  int set_name(std::string_view name);

  // Request 3: `words` is the ring size plus the header words, `direction`
  // 1 for output. Opens the backend and starts the device thread. Returns 0,
  // or an errno value (ENOMEM, EBUSY, EFBIG, EINVAL, EIO...) with `why` set.
  int start(std::size_t words, int direction, std::string& why);

  // The descriptor that is readable once the port is writable at its fill
  // level; `clear_wakeup` drains it before the writer waits again.
  int descriptor() const { return wake_fd_; }
  void clear_wakeup();

  // False once the device thread has stopped for good.
  bool running() const;

  int number() const { return number_; }

 private:
  int number_;
  std::string backend_selection_;
  std::string name_;
  int channels_ = 2;
  int wake_fd_ = -1;
  std::unique_ptr<int32_t[]> mapping_;
  std::size_t mapping_words_ = 0;
  std::unique_ptr<PortThread> thread_;
};

}  // namespace cinelark::audiodev

#endif
