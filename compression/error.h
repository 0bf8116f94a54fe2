// Error reporting of the compression library.
//
// The library keeps two handler variables, one for the core and one for the
// codecs; both start at the default reporter, which prints one line on
// standard error, and clSetErrorHandler sets both. A handler is a C variadic
// function, so every report site passes its arguments directly: the
// templates below forward them without a va_list in between. Arguments must
// match the format exactly (pointers printed with %x go through Hex).
#ifndef CINELARK_COMPRESSION_ERROR_H
#define CINELARK_COMPRESSION_ERROR_H

#include <cinelark/cl.h>

#include <cstdint>

namespace cl {

CL_ErrorHandler CoreHandler();
CL_ErrorHandler CodecHandler();

// Reports an error through the core handler.
template <typename... Args>
void Report(CL_Handle handle, int code, const char* format, Args... args) {
  CoreHandler()(handle, code, format, args...);
}

// The low 32 bits of a pointer, for the "0x%x" fields of the messages.
inline unsigned Hex(const void* p) { return static_cast<unsigned>(reinterpret_cast<uintptr_t>(p)); }

}  // namespace cl

#endif
