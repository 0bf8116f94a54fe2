// Port configurations.
#include "errors.h"
#include "port.h"

#include <new>

using cinelark::audioport::fail;
using cinelark::audioport::valid_config;

const ALconfigRec _ALdefault_config = {
    kConfigMagic, 100000, 2, kFormatInteger, 2, 0, 1.0, 1, 0,
};

extern "C" {

ALconfig ALnewconfig(void) {
  ALconfig config = new (std::nothrow) ALconfigRec(_ALdefault_config);
  if (config == nullptr) fail(AL_ERR_NO_MEMORY, "ALnewconfig", static_cast<long>(sizeof(ALconfigRec)));
  return config;
}

int ALfreeconfig(ALconfig config) {
  if (!valid_config(config)) return fail(AL_ERR_BAD_CONFIG, "ALfreeconfig", static_cast<const void*>(config));
  delete config;
  return 0;
}

int ALsetwidth(ALconfig config, long width) {
  if (!valid_config(config)) return fail(AL_ERR_BAD_CONFIG, "ALsetwidth", static_cast<const void*>(config));
  switch (width) {
    case AL_WIDTH_8:
    case AL_WIDTH_16:
    case AL_WIDTH_24:
      config->width = static_cast<int32_t>(width);
      config->format = kFormatInteger;
      return 0;
    case AL_WIDTH_FLOAT:
    case AL_WIDTH_DOUBLE:
      config->format = static_cast<int32_t>(width);
      return 0;
    default:
      return fail(AL_ERR_BAD_WIDTH, "ALsetwidth", width);
  }
}

int ALsetchannels(ALconfig config, long channels) {
  if (!valid_config(config)) return fail(AL_ERR_BAD_CONFIG, "ALsetchannels", static_cast<const void*>(config));
  if (channels != 1 && channels != 2 && channels != 4) return fail(AL_ERR_BAD_CHANNELS, "ALsetchannels", channels);
  config->channels = static_cast<int32_t>(channels);
  return 0;
}

int ALsetqueuesize(ALconfig config, long size) {
  if (!valid_config(config)) return fail(AL_ERR_BAD_CONFIG, "ALsetqueuesize", static_cast<const void*>(config));
  if (size < 1 || size > kMaxQueueSize) return fail(AL_ERR_BAD_QUEUE_SIZE, "ALsetqueuesize", size);
  config->queue_size = static_cast<int32_t>(size);
  return 0;
}

}  // extern "C"
