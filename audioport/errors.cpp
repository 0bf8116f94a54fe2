// The error table, the default handler and the reporting helpers.
#include "errors.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>

std::atomic<ALerrfunc> _ALerror{&_ALprinterror};

// Formats by error number; numbers the library does not use read "unknown".
const char* const _ALerrortab[] = {
    /* 0 */ "%s: unknown error\n",
    /* 1 */ "%s: bad port %p\n",
    /* 2 */ "%s: bad configuration %p\n",
    /* 3 */ "%s: no audio device %ld\n",
    /* 4 */ "%s: cannot open the audio device: %s\n",
    /* 5 */ "%s: bad direction \"%s\" (use \"r\" or \"w\")\n",
    /* 6 */ "%s: out of memory (%ld bytes)\n",
    /* 7 */ "%s: no free audio port: %s\n",
    /* 8 */ "%s: bad sample width %ld (use 1, 2, 4, 32 or 64)\n",
    /* 9 */ "%s: audio device failure: %s\n",
    /* 10 */ "%s: bad queue size %ld (use 1 to 262139)\n",
    /* 11 */ "%s: bad fill point %ld (use 0 to the queue size)\n",
    /* 12 */ "%s: unknown error\n",
    /* 13 */ "%s: unknown error\n",
    /* 14 */ "%s: no buffer given\n",
    /* 15 */ "%s: negative parameter count %ld\n",
    /* 16 */ "%s: odd parameter count %ld (parameters come in pairs)\n",
    /* 17 */ "%s: bad channel count %ld (use 1, 2 or 4)\n",
    /* 18 */ "%s: unknown error\n",
    /* 19 */ "%s: unknown error\n",
    /* 20 */ "%s: unknown error\n",
    /* 21 */ "%s: sample count %ld is not a whole number of frames\n",
};
const int _ALerrortab_size = sizeof(_ALerrortab) / sizeof(_ALerrortab[0]);

extern "C" void _ALprinterror(long error, const char* format, ...) {
  std::fprintf(stderr, "%s: code=%0lx ", "_ALerror", static_cast<unsigned long>(error));
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
}

namespace cinelark::audioport {

namespace {

const char* format_for(int error) {
  return error >= 0 && error < _ALerrortab_size ? _ALerrortab[error] : _ALerrortab[0];
}

}  // namespace

int fail(int error, const char* op, long value) {
  errno = error;
  if (ALerrfunc handler = _ALerror.load()) handler(error, format_for(error), op, value);
  errno = error;
  return -1;
}

int fail(int error, const char* op, const void* object) {
  errno = error;
  if (ALerrfunc handler = _ALerror.load()) handler(error, format_for(error), op, object);
  errno = error;
  return -1;
}

int fail(int error, const char* op, const char* text) {
  errno = error;
  if (ALerrfunc handler = _ALerror.load())
    handler(error, format_for(error), op, text != nullptr ? text : "(none)");
  errno = error;
  return -1;
}

}  // namespace cinelark::audioport

extern "C" ALerrfunc ALseterrorhandler(ALerrfunc handler) { return _ALerror.exchange(handler); }
