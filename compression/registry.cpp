// The algorithm registry: the two tables, registration of new algorithms,
// lookups by name and scheme, and scheme detection from stream headers.
//
// The tables are process-wide and built on first use. Registration is
// expected from one thread; rows are only ever appended, so lookups from
// other threads see either the old count or a fully made row.
#include <cinelark/cl.h>

#include <new>
#include <strings.h>
#include <cstring>

#include "core.h"

namespace cl {
namespace {

struct Registry {
  AlgorithmTable audio;
  AlgorithmTable video;
  Registry() { InstallBuiltinRows(audio, video); }
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

AlgorithmTable& Table(int type) { return type ? TheRegistry().video : TheRegistry().audio; }

Algorithm* FindAlgorithm(int scheme) {
  if (scheme < 0 || scheme > 0xFFFF) return nullptr;
  AlgorithmTable& table = Table(TypeOfScheme(scheme));
  int row = scheme & 0x7FFF;
  return row < table.count ? &table.rows[row] : nullptr;
}

}  // namespace cl

using namespace cl;

extern "C" {

int clQueryAlgorithms(int type, intptr_t* buffer, int bufferLength) {
  if (type != CL_AUDIO && type != CL_VIDEO) {
    Report(nullptr, CL_ERR_BAD_ALGORITHM_TYPE, "%s: unknown compression scheme %d\n", "clQueryAlgorithms", type);
    return CL_ERR_BAD_ALGORITHM_TYPE;
  }
  AlgorithmTable& table = Table(type);
  if (buffer != nullptr) {
    for (int k = 0; k < bufferLength && k < 2 * table.count; k += 2) {
      buffer[k] = reinterpret_cast<intptr_t>(table.rows[k / 2].name);
      // An odd length leaves room for the name only.
      if (k + 1 < bufferLength) buffer[k + 1] = table.rows[k / 2].capabilities;
    }
  }
  return 2 * table.count;
}

int clAddAlgorithm(const char* name, int type, int maximumHeaderSize, CL_OpenRoutine openCompressor,
                   CL_CompressRoutine compress, CL_CloseRoutine closeCompressor,
                   CL_OpenRoutine openDecompressor, CL_DecompressRoutine decompress,
                   CL_CloseRoutine closeDecompressor, CL_ReadHeaderRoutine readHeader,
                   CL_QuerySchemeRoutine queryScheme, CL_ParamsRoutine getParams,
                   CL_ParamsRoutine setParams, int* scheme) {
  const char* op = "clAddAlgorithm";
  if (name == nullptr) {
    Report(nullptr, CL_ERR_BAD_PARAM_NAME, "%s: invalid name pointer %d\n", op, 0);
    return CL_ERR_BAD_PARAM_NAME;
  }
  if (maximumHeaderSize < 0) {
    Report(nullptr, CL_ERR_BAD_HEADER_SIZE, "%s: invalid maximum header size %d\n", op, maximumHeaderSize);
    return CL_ERR_BAD_HEADER_SIZE;
  }
  // Each routine slot is checked in row order; the first empty one is named.
  struct Slot {
    bool missing;
    const char* format;
  };
  const Slot slots[] = {
      {openCompressor == nullptr, "%s: invalid openCompressor routine %d\n"},
      {compress == nullptr, "%s: invalid compress routine 0x%x\n"},
      {closeCompressor == nullptr, "%s: invalid closeCompressor routine 0x%x\n"},
      {openDecompressor == nullptr, "%s: invalid openDecompressor routine 0x%x\n"},
      {decompress == nullptr, "%s: invalid decompress routine 0x%x\n"},
      {closeDecompressor == nullptr, "%s: invalid closeDecompressor routine 0x%x\n"},
      {readHeader == nullptr, "%s: invalid readHeader routine 0x%x\n"},
      {queryScheme == nullptr, "%s: invalid queryScheme routine 0x%x\n"},
      {getParams == nullptr, "%s: invalid getParams routine 0x%x\n"},
      {setParams == nullptr, "%s: invalid setParams routine 0x%x\n"},
  };
  for (const Slot& slot : slots) {
    if (slot.missing) {
      Report(nullptr, CL_ERR_BAD_ROUTINE, slot.format, op, 0);
      return CL_ERR_BAD_ROUTINE;
    }
  }
  if (scheme == nullptr) {
    Report(nullptr, CL_ERR_NULL_SCHEME_POINTER, "%s: invalid compressionScheme 0x%x\n", op, 0u);
    return CL_ERR_NULL_SCHEME_POINTER;
  }
  if (type != CL_AUDIO && type != CL_VIDEO) {
    Report(nullptr, CL_ERR_BAD_ALGORITHM_TYPE, "%s: unknown compression scheme %d\n", op, type);
    return CL_ERR_BAD_ALGORITHM_TYPE;
  }
  AlgorithmTable& table = Table(type);
  if (table.count >= kMaxRows) {
    Report(nullptr, CL_ERR_BAD_SCHEME, "%s: no room for another algorithm of type %d (%d rows)\n", op, type,
           kMaxRows);
    return CL_ERR_BAD_SCHEME;
  }
  Algorithm& row = table.rows[table.count];
  row.params.reset(new (std::nothrow) ParamTable());
  if (!row.params) {
    Report(nullptr, CL_ERR_NO_MEMORY, "%s: no buffer space available from malloc %d\n", op,
           static_cast<int>(sizeof(ParamTable)));
    return CL_ERR_NO_MEMORY;
  }
  const int newScheme = type ? (table.count | kVideoBit) : table.count;
  row.scheme = newScheme;
  row.capabilities = 3;
  std::memset(row.name, 0, sizeof row.name);
  std::strncpy(row.name, name, kNameBytes - 1);
  row.maxHeaderSize = maximumHeaderSize;
  row.paramCount = 0;
  row.routines = {openCompressor, compress,   closeCompressor, openDecompressor, decompress,
                  closeDecompressor, queryScheme, readHeader,  getParams,        setParams};
  ++table.count;
  *scheme = newScheme;

  // The common parameter set of a registered algorithm. It differs from the
  // built-in tables in a few places (frame rate typed as an integer range
  // over float bits, "Number of frames" starting at 1, "Block size" spelt
  // with a small s); the names are only reported, never looked up.
  struct Common {
    const char* name;
    int type, min, max, def;
  };
  const int32_t f0 = 0;                  // 0.0f
  const int32_t f1 = 0x3F800000;         // 1.0f
  const int32_t f30 = 0x41F00000;        // 30.0f
  const int32_t f44100 = 0x472C4400;     // 44100.0f
  const int32_t fMillion = 0x49742400;   // 1000000.0f
  const bool video = type == CL_VIDEO;
  const Common common[] = {
      {"Image width", 1, video ? 0 : 1, video ? 1000000 : 1, video ? 320 : 1},
      {"Image height", 1, video ? 0 : 1, video ? 1000000 : 1, video ? 240 : 1},
      {"Original format", 1, 1, 32, 1},
      {"Internal format", 1, -1, 32, -1},
      {"Number of components", 1, 0, 8, video ? 3 : 2},
      {"Bits per component", 1, 0, 16, video ? 8 : 16},
      {"Frame rate", 1, f0, video ? fMillion : f44100, video ? f30 : f44100},
      {"Compression ratio", 3, f1, fMillion, f1},
      {"Exact compression ratio flag", 1, 0, 1, 0},
      {"Frame buffer size", 1, 0, 2147483647, 0},
      {"Compressed buffer size", 1, 0, 2147483647, 0},
      {"Block size (in frames)", 1, 0, 2147483647, 1},
      {"Preroll (in blocks)", 1, 0, 2147483647, 0},
      {"Frame type", 1, 0, 3, 1},
      {"Algorithm ID", 1, newScheme, newScheme, newScheme},
      {"Algorithm version", 1, 1, 1, 1},
      {"Orientation", 0, 0, 1, 0},
      {"Number of frames", 1, 1, 2147483647, 1},
      {"Speed of playback", 3, f1, f1, f1},
      {"Last frame index", 1, 0, 2147483647, 0},
  };
  for (const Common& c : common) {
    int id = 0;
    clAddParam(newScheme, c.name, c.type, c.min, c.max, c.def, &id);
  }
  return 0;
}

int clQuerySchemeFromName(int type, const char* name) {
  const char* op = "clQuerySchemeFromName";
  if (type != CL_AUDIO && type != CL_VIDEO) {
    Report(nullptr, CL_ERR_BAD_ALGORITHM_TYPE, "%s: unknown algorithm type %d\n", op, type);
    return CL_ERR_BAD_ALGORITHM_TYPE;
  }
  if (name != nullptr) {
    // The first row whose name begins with the given text wins, ignoring
    // case, so "rle" finds "RLE" before "RLE24" and "" finds the first row.
    const size_t length = std::strlen(name);
    AlgorithmTable& table = Table(type);
    for (int row = 0; row < table.count; ++row) {
      if (strncasecmp(table.rows[row].name, name, length) == 0) return type ? (row | kVideoBit) : row;
    }
  }
  Report(nullptr, CL_ERR_BAD_ALGORITHM_NAME, "%s: unknown compression scheme %s\n", op,
         name ? name : "(null)");
  return CL_ERR_BAD_ALGORITHM_NAME;
}

const char* clGetAlgorithmName(int scheme) {
  const Algorithm* row = FindAlgorithm(scheme);
  if (row == nullptr) {
    Report(nullptr, CL_ERR_BAD_SCHEME, "%s: unknown compression scheme %d\n", "clGetAlgorithmName", scheme);
    return nullptr;
  }
  return row->name;
}

int clQueryMaxHeaderSize(int scheme) {
  const Algorithm* row = FindAlgorithm(scheme);
  if (row == nullptr) {
    Report(nullptr, CL_ERR_BAD_SCHEME, "%s: unknown compression scheme %d\n", "clQueryMaxHeaderSize", scheme);
    return CL_ERR_BAD_SCHEME;
  }
  return row->maxHeaderSize;
}

int clQueryScheme(const void* header) {
  if (header == nullptr) return -1;
  // Video rows first, then audio, each in table order.
  for (int type : {CL_VIDEO, CL_AUDIO}) {
    AlgorithmTable& table = Table(type);
    for (int row = 0; row < table.count; ++row) {
      CL_QuerySchemeRoutine query = table.rows[row].routines.queryScheme;
      if (query == nullptr) continue;
      int answer = query(header);
      if (answer != -1) return answer;
    }
  }
  return -1;
}

}  // extern "C"
