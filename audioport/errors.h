// Error reporting: each failure stores the library's error number in errno
// and calls the installed handler with (number, format, operation, argument).
#ifndef CINELARK_AUDIOPORT_ERRORS_H
#define CINELARK_AUDIOPORT_ERRORS_H

#include <cinelark/audio.h>

#include <atomic>

// The current handler; null when reporting is off. Atomic because the
// engine's threads switch it off and on around their calls.
extern std::atomic<ALerrfunc> _ALerror;

// Message formats indexed by error number. Each takes the operation's name
// and then one argument of the kind its error passes.
extern const char* const _ALerrortab[];
extern const int _ALerrortab_size;

// The default handler: "_ALerror: code=N " and the message on stderr.
extern "C" void _ALprinterror(long error, const char* format, ...);

namespace cinelark::audioport {

// Report `error` for operation `op` with its argument and return -1.
int fail(int error, const char* op, long value);
int fail(int error, const char* op, const void* object);
int fail(int error, const char* op, const char* text);

}  // namespace cinelark::audioport

#endif
