// The compression library's core records: parameter descriptors, algorithm
// rows, the two registry tables and the handle record.
//
// The registry holds two tables of 32 rows (audio and video) with a count of
// rows in use each; rows are never removed, so a row pointer stays valid for
// the life of the process. A row's parameter table has room for 256
// descriptors; identifiers are table positions, 0-19 for the common set and
// 0x80000000 | (position - 20) above it.
#ifndef CINELARK_COMPRESSION_CORE_H
#define CINELARK_COMPRESSION_CORE_H

#include <cinelark/cl.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "codec.h"

namespace cl {

constexpr int kMaxRows = 32;
constexpr int kMaxParams = 256;
constexpr int kCommonParams = 20;
constexpr int kNameBytes = 20;
constexpr int kVideoBit = 0x8000;

struct ParamDesc {
  int32_t id = 0;
  int32_t type = 0;
  int32_t min = 0;
  int32_t max = 0;
  int32_t def = 0;
  const char* name = nullptr;
};

using ParamTable = std::array<ParamDesc, kMaxParams>;

struct Algorithm {
  int32_t scheme = 0;
  int32_t capabilities = 0;
  char name[kNameBytes] = {};
  int32_t maxHeaderSize = 0;
  int32_t paramCount = 0;
  std::unique_ptr<ParamTable> params;
  CL_RoutineSet routines = {};
};

struct AlgorithmTable {
  std::array<Algorithm, kMaxRows> rows;
  int count = 0;
};

// The two tables, filled with the built-in rows on first use.
AlgorithmTable& Table(int type);

// The row a scheme names, or null when the identifier is outside 0..0xFFFF
// or its row is not in use.
Algorithm* FindAlgorithm(int scheme);

inline int TypeOfScheme(int scheme) { return (scheme & kVideoBit) ? 1 : 0; }

// The table position an identifier names (may lie beyond any table).
inline int64_t ParamPosition(int32_t id) {
  uint32_t u = static_cast<uint32_t>(id);
  return (u & 0x80000000u) ? int64_t(u & 0x7FFFFFFFu) + kCommonParams : int64_t(u);
}

inline int32_t ParamIdentifier(int position) {
  return position < kCommonParams ? position
                                  : static_cast<int32_t>(0x80000000u | uint32_t(position - kCommonParams));
}

// Appends the built-in rows to empty tables (builtin_rows.cpp).
void InstallBuiltinRows(AlgorithmTable& audio, AlgorithmTable& video);

}  // namespace cl

// A compressor or decompressor. Used by one thread at a time.
struct clHandleRecord {
  int32_t scheme = 0;
  void* unique = nullptr;
  int32_t valueCount = 0;
  std::vector<int32_t> values;
  CL_BufferHdl frameBuffer = nullptr;
  CL_BufferHdl dataBuffer = nullptr;
  // Name of the cl operation in progress. Written by the thread using the
  // handle; read by the default reporter, which a producer or consumer on
  // another thread may run for an error on one of the handle's buffers.
  std::atomic<const char*> operation{nullptr};
};

namespace cl {

// Names the handle's operation for the life of the scope unless an outer
// operation already named it, then restores the previous name.
class OperationScope {
 public:
  OperationScope(CL_Handle handle, const char* name)
      : handle_(handle), saved_(handle->operation.load(std::memory_order_relaxed)) {
    if (saved_ == nullptr) handle_->operation.store(name, std::memory_order_relaxed);
  }
  ~OperationScope() { handle_->operation.store(saved_, std::memory_order_relaxed); }
  OperationScope(const OperationScope&) = delete;
  OperationScope& operator=(const OperationScope&) = delete;

 private:
  CL_Handle handle_;
  const char* saved_;
};

// The algorithm row of an open handle (never null for a handle the library
// opened).
inline Algorithm& AlgorithmOf(CL_Handle handle) { return *FindAlgorithm(handle->scheme); }

}  // namespace cl

#endif
