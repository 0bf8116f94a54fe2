/*
 * cinelark audio port library: output ports on the audio device.
 *
 * A configuration (ALconfig) describes the samples a program will write:
 * their width (8, 16 or 24-bit integers, single or double floats), the number
 * of interleaved channels (1, 2 or 4) and the queue size in samples. A port
 * (ALport) opened with a configuration is a ring of 32-bit device words, each
 * holding one signed 24-bit sample; ALwritesamps converts the caller's
 * samples into device words and blocks while the ring is full. A device
 * thread consumes the ring at the device's output rate.
 *
 * Every call returns 0 or -1 (constructors a pointer or NULL). A failure sets
 * errno to one of the AL_ERR_ numbers below and, unless reporting was switched
 * off with ALseterrorhandler(NULL), calls the error handler with the error
 * number, a printf format, the operation's name and one argument that the
 * format describes.
 *
 * Threads: a port is written by one thread at a time. Configurations are not
 * shared between threads while they change. ALsetparams and ALgetparams may be
 * called from any thread. The device backend is chosen by the environment
 * variable CINELARK_AUDIO when a port opens: "alsa" or "alsa:DEVICE" (the
 * default, "alsa:default"), "null" (consumed in real time and discarded) or
 * "wav:PATH" (consumed in real time into a 16-bit PCM WAV file).
 */
#ifndef CINELARK_AUDIO_H
#define CINELARK_AUDIO_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ALconfigRec* ALconfig;
typedef struct ALportRec* ALport;

/* The error handler: (error number, format, operation name, argument). */
typedef void (*ALerrfunc)(long error, const char* format, ...);

/* Error numbers, stored in errno by a failing call. */
enum {
  AL_ERR_BAD_PORT = 1,
  AL_ERR_BAD_CONFIG = 2,
  AL_ERR_BAD_DEVICE = 3,
  AL_ERR_NO_MASTER = 4,
  AL_ERR_BAD_DIRECTION = 5,
  AL_ERR_NO_MEMORY = 6,
  AL_ERR_NO_PORT = 7,
  AL_ERR_BAD_WIDTH = 8,
  AL_ERR_DEVICE_FAILED = 9,
  AL_ERR_BAD_QUEUE_SIZE = 10,
  AL_ERR_BAD_FILL_POINT = 11,
  AL_ERR_NO_PARAM_BUFFER = 14,
  AL_ERR_NEGATIVE_PARAM_COUNT = 15,
  AL_ERR_ODD_PARAM_COUNT = 16,
  AL_ERR_BAD_CHANNELS = 17,
  AL_ERR_BAD_SAMPLE_COUNT = 21
};

/* Sample widths for ALsetwidth: integer sizes in bytes, or a float format. */
enum {
  AL_WIDTH_8 = 1,
  AL_WIDTH_16 = 2,
  AL_WIDTH_24 = 4, /* a signed 24-bit value in an int32_t */
  AL_WIDTH_FLOAT = 32,
  AL_WIDTH_DOUBLE = 64
};

/* The one audio device. */
enum { AL_DEFAULT_DEVICE = 1 };

/* Device parameters for ALsetparams and ALgetparams, as (parameter, value)
 * pairs of longs. Rates are in Hz; a positive rate is set to the nearest rate
 * the device's clocks make. The gains run from 0 (silent) to 255 (full). */
enum {
  AL_PARAM_INPUT_RATE = 3,
  AL_PARAM_OUTPUT_RATE = 4,
  AL_PARAM_LEFT_GAIN = 5,
  AL_PARAM_RIGHT_GAIN = 6,
  AL_PARAM_INPUT_RATE_ALT48K = 10,  /* non-zero: input on the second clock's 48000 Hz */
  AL_PARAM_OUTPUT_RATE_ALT48K = 11, /* non-zero: output on the second clock's 48000 Hz */
  AL_PARAM_LEFT_INPUT_ATTEN = 13,   /* 0-255, stored as an attenuation word */
  AL_PARAM_RIGHT_INPUT_ATTEN = 14
};

/* Special rate values: the output follows the input's rate, or runs at one
 * of the second clock's rates. */
enum {
  AL_RATE_FOLLOW_INPUT = -1,
  AL_RATE_ALT_48000 = -2,
  AL_RATE_ALT_24000 = -3,
  AL_RATE_ALT_16000 = -4,
  AL_RATE_ALT_12000 = -5,
  AL_RATE_ALT_8000 = -6,
  AL_RATE_ALT_32000 = -7
};

/* One row of the device's rate table: the device's code for a rate, the
 * rate in Hz, and the clock that makes it (0 the first, 1 the second). */
typedef struct {
  int32_t code;
  int32_t rate;
  int32_t clock;
} ALrateEntry;

extern const ALrateEntry _ALrate_table[];
extern const int _ALrate_table_size;

/* The device's gain words for the settings 0-255 (see ALgetparams). */
extern const int32_t _AL_atten_table[256];

ALerrfunc ALseterrorhandler(ALerrfunc handler);

/* A new configuration: 16-bit stereo samples, a queue of 100000 samples;
 * float and double samples are full scale at magnitude 1.0. */
ALconfig ALnewconfig(void);
int ALfreeconfig(ALconfig config);
int ALsetwidth(ALconfig config, long width);
int ALsetchannels(ALconfig config, long channels);
int ALsetqueuesize(ALconfig config, long size);

ALport ALopenport(const char* name, const char* direction, ALconfig config);
int ALcloseport(ALport port);
int ALsetfillpoint(ALport port, long count);
int ALwritesamps(ALport port, const void* samples, long count);
/* Samples (in the caller's channels) written but not yet consumed by the
 * device, or -1 for a bad port. */
long ALgetqueued(ALport port);

/* Device parameters of AL_DEFAULT_DEVICE as `count` longs of (parameter,
 * value) pairs. ALsetparams sends them in requests of at most 30 pairs; a
 * request with a parameter or value the device does not know changes
 * nothing and fails with AL_ERR_DEVICE_FAILED. ALgetparams fills in the
 * values: rates in Hz, gains 0-255, input attenuations as gain words; the
 * two clock switches (10, 11) cannot be read back. The parameters belong to
 * this process: they never change other programs' sound. */
int ALsetparams(long device, long* pairs, long count);
int ALgetparams(long device, long* pairs, long count);

/* The device rate code nearest to `rate` Hz (a positive rate; see
 * _ALrate_table). */
int ALnearestratecode(long rate);

#ifdef __cplusplus
}
#endif

#endif
