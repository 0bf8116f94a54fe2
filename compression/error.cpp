// The default error reporter, the two handler variables and the debug level.
//
// The default reporter writes the whole line with one call so that messages
// of threads reporting at the same time do not interleave. Its prefix says
// where the error came from: "Error: code=N OPERATION called " when the
// handle is in an operation, "clError: code=N " when a handle is given
// outside one, "Error: code=N " without a handle.
#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "core.h"

namespace {

void DefaultReporter(CL_Handle handle, int code, const char* format, ...) {
  char line[1024];
  int used;
  const char* operation = handle ? handle->operation.load(std::memory_order_relaxed) : nullptr;
  if (operation != nullptr) {
    used = std::snprintf(line, sizeof line, "Error: code=%d %s called ", code, operation);
  } else if (handle != nullptr) {
    used = std::snprintf(line, sizeof line, "%s: code=%d ", "clError", code);
  } else {
    used = std::snprintf(line, sizeof line, "Error: code=%d ", code);
  }
  if (used < 0) used = 0;
  if (static_cast<size_t>(used) < sizeof line) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(line + used, sizeof line - used, format, args);
    va_end(args);
  }
  std::fputs(line, stderr);
}

// Handler changes are expected from one thread, but codecs on other threads
// read the handlers while reporting, so the variables are atomic.
std::atomic<CL_ErrorHandler> core_handler{DefaultReporter};
std::atomic<CL_ErrorHandler> codec_handler{DefaultReporter};
std::atomic<int> debug_level{0};

}  // namespace

namespace cl {

CL_ErrorHandler CoreHandler() { return core_handler.load(std::memory_order_relaxed); }
CL_ErrorHandler CodecHandler() { return codec_handler.load(std::memory_order_relaxed); }
int DebugLevel() { return debug_level.load(std::memory_order_relaxed); }

}  // namespace cl

extern "C" {

CL_ErrorHandler clSetErrorHandler(CL_ErrorHandler handler) {
  // A null handler would make every report crash; it restores the default.
  if (handler == nullptr) handler = DefaultReporter;
  codec_handler.store(handler, std::memory_order_relaxed);
  return core_handler.exchange(handler, std::memory_order_relaxed);
}

int clDebug(int level) { return debug_level.exchange(level, std::memory_order_relaxed); }

}  // extern "C"
