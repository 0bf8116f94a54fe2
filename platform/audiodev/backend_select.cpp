// Choosing a backend from its selection string (the CINELARK_AUDIO value).
#include "backend.h"

#include <cstdlib>

namespace cinelark::audiodev {

namespace {

constexpr std::string_view kAlsa = "alsa";
constexpr std::string_view kAlsaPrefix = "alsa:";
constexpr std::string_view kNull = "null";
constexpr std::string_view kWavPrefix = "wav:";
constexpr std::string_view kDefaultSelection = "alsa:default";

}  // namespace

bool valid_backend_selection(std::string_view selection, std::string& why) {
  if (selection == kAlsa || selection == kNull) return true;
  if (selection.starts_with(kAlsaPrefix) && selection.size() > kAlsaPrefix.size()) return true;
  if (selection.starts_with(kWavPrefix) && selection.size() > kWavPrefix.size()) return true;
  why = "CINELARK_AUDIO=\"" + std::string(selection) +
        "\" names no audio backend (use alsa, alsa:DEVICE, null or wav:PATH)";
  return false;
}

std::unique_ptr<Backend> make_backend(std::string_view selection) {
  if (selection == kNull) return make_null_backend();
  if (selection.starts_with(kWavPrefix)) return make_wav_backend(std::string(selection.substr(kWavPrefix.size())));
  if (selection.starts_with(kAlsaPrefix)) return make_alsa_backend(std::string(selection.substr(kAlsaPrefix.size())));
  return make_alsa_backend("default");
}

std::string backend_selection_from_environment() {
  const char* value = std::getenv("CINELARK_AUDIO");
  if (value == nullptr || *value == '\0') return std::string(kDefaultSelection);
  return value;
}

}  // namespace cinelark::audiodev
