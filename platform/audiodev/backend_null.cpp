// The null backend: takes every frame and keeps none. The device thread paces
// it in real time, so ports behave as on a sound card without one.
#include "backend.h"

namespace cinelark::audiodev {

namespace {

class NullBackend final : public Backend {
 public:
  int open(int, int, std::string&) override { return 0; }
  bool keeps_time() const override { return false; }
  long write(std::span<const int16_t>, long frames) override { return frames; }
  bool set_rate(int) override { return true; }
  void finish() override {}
};

}  // namespace

std::unique_ptr<Backend> make_null_backend() { return std::make_unique<NullBackend>(); }

}  // namespace cinelark::audiodev
