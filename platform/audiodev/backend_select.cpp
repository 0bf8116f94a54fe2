// Choosing a backend from its selection string (the CINELARK_AUDIO value).
#include "backend.h"

#include <cstdlib>

namespace cinelark::audiodev {

namespace {

constexpr std::string_view kAlsa = "alsa";
constexpr std::string_view kAlsaPrefix = "alsa:";
constexpr std::string_view kNull = "null";
constexpr std::string_view kWavPrefix = "wav:";
constexpr std::string_view kDefaultSpec = "alsa:default";

}  // namespace

bool valid_backend_spec(std::string_view spec, std::string& why) {
  if (spec == kAlsa || spec == kNull) return true;
  if (spec.starts_with(kAlsaPrefix) && spec.size() > kAlsaPrefix.size()) return true;
  if (spec.starts_with(kWavPrefix) && spec.size() > kWavPrefix.size()) return true;
  why = "CINELARK_AUDIO=\"" + std::string(spec) +
        "\" names no audio backend (use alsa, alsa:DEVICE, null or wav:PATH)";
  return false;
}

std::unique_ptr<Backend> make_backend(std::string_view spec) {
  if (spec == kNull) return make_null_backend();
  if (spec.starts_with(kWavPrefix)) return make_wav_backend(std::string(spec.substr(kWavPrefix.size())));
  if (spec.starts_with(kAlsaPrefix)) return make_alsa_backend(std::string(spec.substr(kAlsaPrefix.size())));
  return make_alsa_backend("default");
}

std::string backend_spec_from_environment() {
  const char* value = std::getenv("CINELARK_AUDIO");
  if (value == nullptr || *value == '\0') return std::string(kDefaultSpec);
  return value;
}

}  // namespace cinelark::audiodev
