// Parameter values on handles (clGetParams, clSetParams and the single-value
// forms), descriptions (clQueryParams) and registry-level changes
// (clAddParam, clSetDefault, clSetMin, clSetMax).
//
// Identifiers decode to table positions; a pair is valid when its position
// lies below both the algorithm's descriptor count and the handle's value
// count (an algorithm may have grown since the handle was opened). Values of
// types 0 and 1 compare as signed integers, of types 2 and 3 as floats.
#include <cinelark/cl.h>

#include <bit>
#include <cmath>

#include "core.h"

namespace cl {
namespace {

bool ValidPosition(CL_Handle handle, const Algorithm& row, int64_t position) {
  return position < row.paramCount && position < handle->valueCount;
}

// Returns 0 when the parameter/value buffer may be walked, else the code
// after reporting it.
int CheckBuffer(CL_Handle handle, const char* op, const int* buffer, int length, bool nullAllowedWhenEmpty) {
  if (buffer == nullptr && !(nullAllowedWhenEmpty && length <= 0)) {
    Report(handle, CL_ERR_NULL_PVBUFFER, "%s: invalid PVbuffer parameter %d\n", op, 0);
    return CL_ERR_NULL_PVBUFFER;
  }
  if (length < 0) {
    Report(handle, CL_ERR_BAD_BUFFER_LENGTH, "%s: negative bufferlength parameter %d\n", op, length);
    return CL_ERR_BAD_BUFFER_LENGTH;
  }
  if (length % 2 != 0) {
    Report(handle, CL_ERR_ODD_BUFFER_LENGTH, "%s: odd bufferlength parameter %d\n", op, length);
    return CL_ERR_ODD_BUFFER_LENGTH;
  }
  return 0;
}

// Clamps value into the descriptor's range and reports the clamp; returns
// true when the value was changed.
bool Clamp(CL_Handle handle, const ParamDesc& d, int32_t& value) {
  const char* op = "clSetParams";
  const char* name = d.name ? d.name : "";
  if (d.type >= CL_FLOATING_ENUM_VALUE) {
    const float v = std::bit_cast<float>(value);
    const float lo = std::bit_cast<float>(d.min);
    const float hi = std::bit_cast<float>(d.max);
    // A NaN lies in no range; it is taken as below the minimum.
    const bool below = std::isnan(v) || v < lo;
    if (!below && !(v > hi)) return false;
    const int32_t bound = below ? d.min : d.max;
    const double bd = std::bit_cast<float>(bound);
    if (d.min == d.max) {
      Report(handle, CL_ERR_VALUE_CLAMPED,
             "%s: Attempt to set param <%s>\n  to %f, only legal value is %f. Setting to %f.\n", op, name,
             double(v), bd, bd);
    } else if (below) {
      Report(handle, CL_ERR_VALUE_CLAMPED, "%s: Attempt to set param <%s>\n  to %f, min is %f. Setting to %f.\n",
             op, name, double(v), bd, bd);
    } else {
      Report(handle, CL_ERR_VALUE_CLAMPED, "%s: Attempt to set param <%s>\n  to %f, max is %f. Setting to %f.\n",
             op, name, double(v), bd, bd);
    }
    value = bound;
    return true;
  }
  if (value >= d.min && value <= d.max) return false;
  const bool below = value < d.min;
  const int32_t bound = below ? d.min : d.max;
  if (d.min == d.max) {
    Report(handle, CL_ERR_VALUE_CLAMPED, "%s: Attempt to set param <%s> to %d, only legal value is %d. Setting to %d.\n",
           op, name, value, bound, bound);
  } else if (below) {
    Report(handle, CL_ERR_VALUE_CLAMPED, "%s: Attempt to set param <%s> to %d, min is %d. Setting to %d.\n", op,
           name, value, bound, bound);
  } else {
    Report(handle, CL_ERR_VALUE_CLAMPED, "%s: Attempt to set param <%s> to %d, max is %d. Setting to %d.\n", op,
           name, value, bound, bound);
  }
  value = bound;
  return true;
}

// The descriptor a registry change names, or null after reporting.
ParamDesc* RegistryDescriptor(const char* op, int scheme, int id) {
  Algorithm* row = FindAlgorithm(scheme);
  if (row == nullptr) {
    Report(nullptr, CL_ERR_BAD_SCHEME, "%s: unknown compression scheme %d\n", op, scheme);
    return nullptr;
  }
  const int64_t position = ParamPosition(id);
  if (position >= row->paramCount) {
    Report(nullptr, CL_ERR_BAD_PARAM, "%s: unknown parameter %d\n", op, id);
    return nullptr;
  }
  return &(*row->params)[position];
}

// clSetDefault, clSetMin and clSetMax: replaces one field of a registry
// row's parameter description and returns what it held.
int ReplaceBound(const char* op, int scheme, int id, int32_t ParamDesc::*field, int value) {
  ParamDesc* d = RegistryDescriptor(op, scheme, id);
  if (d == nullptr) return FindAlgorithm(scheme) ? CL_ERR_BAD_PARAM : CL_ERR_BAD_SCHEME;
  const int previous = d->*field;
  d->*field = value;
  return previous;
}

// The walk clGetParams and clSetParams share: a handle and a well-formed
// buffer, else false with the failure in *result; then visit(pair index,
// position) for each pair naming a parameter of the handle's row, true when
// it clamped the value. *result is then 0, or the failure of the last pair
// that had one (a bad parameter, or a clamped value).
template <class Visit>
bool ForEachPair(CL_Handle handle, const char* op, int* pvBuffer, int bufferLength, bool setting, Visit visit,
                 int* result) {
  *result = 0;
  if (handle == nullptr) {
    Report(nullptr, CL_ERR_NULL_HANDLE, "%s: invalid compressor handle %d\n", op, 0);
    *result = CL_ERR_NULL_HANDLE;
    return false;
  }
  if ((*result = CheckBuffer(handle, op, pvBuffer, bufferLength, setting)) != 0) return false;
  const Algorithm& row = AlgorithmOf(handle);
  for (int k = 0; k < bufferLength; k += 2) {
    const int64_t position = ParamPosition(pvBuffer[k]);
    if (!ValidPosition(handle, row, position)) {
      Report(handle, CL_ERR_BAD_PARAM, "%s: bad param in buffer[%d] %d\n", op, k, pvBuffer[k]);
      *result = CL_ERR_BAD_PARAM;
      continue;
    }
    if (visit(k, position, row)) *result = CL_ERR_VALUE_CLAMPED;
  }
  return true;
}

}  // namespace
}  // namespace cl

using namespace cl;

extern "C" {

int clGetParams(CL_Handle handle, int* pvBuffer, int bufferLength) {
  const char* op = "clGetParams";
  auto get = [&](int k, int64_t position, const Algorithm&) {
    // "Number of components" always follows from the original format.
    pvBuffer[k + 1] = position == CL_NUMBER_OF_COMPONENTS
                          ? Components(TypeOfScheme(handle->scheme), handle->values[CL_ORIGINAL_FORMAT])
                          : handle->values[position];
    return false;
  };
  int result = 0;
  if (!ForEachPair(handle, op, pvBuffer, bufferLength, false, get, &result)) return result;
  const Algorithm& row = AlgorithmOf(handle);
  int routine = 0;
  if (row.routines.getParams != nullptr) {
    OperationScope scope(handle, op);
    routine = row.routines.getParams(handle, pvBuffer, bufferLength);
  }
  return result != 0 ? result : routine;
}

int clSetParams(CL_Handle handle, int* pvBuffer, int bufferLength) {
  const char* op = "clSetParams";
  auto set = [&](int k, int64_t position, const Algorithm& row) {
    int32_t value = pvBuffer[k + 1];
    const bool clamped = Clamp(handle, (*row.params)[position], value);
    handle->values[position] = value;
    return clamped;
  };
  int result = 0;
  if (!ForEachPair(handle, op, pvBuffer, bufferLength, true, set, &result)) return result;
  const Algorithm& row = AlgorithmOf(handle);
  int routine = 0;
  if (row.routines.setParams != nullptr && bufferLength > 0) {
    OperationScope scope(handle, op);
    routine = row.routines.setParams(handle, pvBuffer, bufferLength);
  }
  return result != 0 ? result : routine;
}

int clGetParam(CL_Handle handle, int paramID) {
  int pair[2] = {paramID, 0};
  if (handle == nullptr) return clGetParams(handle, pair, 2);
  OperationScope scope(handle, "clGetParams");
  const int status = clGetParams(handle, pair, 2);
  return status < 0 ? status : pair[1];
}

int clSetParam(CL_Handle handle, int paramID, int value) {
  if (handle == nullptr) {
    Report(nullptr, CL_ERR_NULL_HANDLE, "%s: invalid compressor handle %d\n", "clSetParam", 0);
    return CL_ERR_NULL_HANDLE;
  }
  OperationScope scope(handle, "clSetParam");
  int pair[2] = {paramID, 0};
  const int status = clGetParams(handle, pair, 2);
  if (status < 0) return status;
  const int previous = pair[1];
  pair[1] = value;
  const int set = clSetParams(handle, pair, 2);
  return set > 0 ? previous : set;
}

int clQueryParams(CL_Handle handle, intptr_t* buffer, int bufferLength) {
  const char* op = "clQueryParams";
  // Handle values 0 and 1 name an algorithm type, not a handle, so they are
  // never passed to the error handler as one.
  const uintptr_t raw = reinterpret_cast<uintptr_t>(handle);
  const bool isType = raw == CL_AUDIO || raw == CL_VIDEO;
  CL_Handle reported = isType ? nullptr : handle;
  if (buffer == nullptr && bufferLength > 0) {
    Report(reported, CL_ERR_NULL_PVBUFFER, "%s: invalid buffer pointer %d\n", op, 0);
    return CL_ERR_NULL_PVBUFFER;
  }
  if (bufferLength < 0) {
    Report(reported, CL_ERR_BAD_BUFFER_LENGTH, "%s: invalid buffer length %d\n", op, bufferLength);
    return CL_ERR_BAD_BUFFER_LENGTH;
  }
  if (isType) return clQueryAlgorithms(static_cast<int>(raw), buffer, bufferLength);
  if (bufferLength % 2 != 0) {
    Report(handle, CL_ERR_ODD_BUFFER_LENGTH, "%s: odd bufferlength parameter %d\n", op, bufferLength);
    return CL_ERR_ODD_BUFFER_LENGTH;
  }
  const Algorithm& row = AlgorithmOf(handle);
  for (int k = 0; k < bufferLength && k < 2 * row.paramCount; k += 2) {
    const ParamDesc& d = (*row.params)[k / 2];
    buffer[k] = reinterpret_cast<intptr_t>(d.name);
    buffer[k + 1] = d.type;
  }
  return 2 * row.paramCount;
}

int clAddParam(int scheme, const char* name, int type, int min, int max, int initial, int* paramID) {
  const char* op = "clAddParam";
  if (name == nullptr) {
    Report(nullptr, CL_ERR_BAD_PARAM_NAME, "%s: invalid name pointer %d\n", op, 0);
    return CL_ERR_BAD_PARAM_NAME;
  }
  if (type < CL_ENUM_VALUE || type > CL_FLOATING_RANGE_VALUE) {
    Report(nullptr, CL_ERR_BAD_PARAM_TYPE, "%s: invalid type %d for parameter %s\n", op, type, name);
    return CL_ERR_BAD_PARAM_TYPE;
  }
  // Bounds compare as signed integers for every type, which orders the bits
  // of non-negative floats correctly.
  if (max < min) {
    Report(nullptr, CL_ERR_BAD_PARAM_NAME,
           "%s: invalid min value greater than max value %d > %d for parameter %s\n", op, min, max, name);
    return CL_ERR_BAD_PARAM_NAME;
  }
  if (initial < min || initial > max) {
    Report(nullptr, CL_ERR_BAD_DEFAULT, "%s: invalid initial value - not between min and max  %d < %d  or %d > %d\n",
           op, initial, min, initial, max);
    return CL_ERR_BAD_DEFAULT;
  }
  if (paramID == nullptr) {
    Report(nullptr, CL_ERR_NULL_ID_POINTER, "%s: invalid name pointer %d for parameter %s\n", op, 0, name);
    return CL_ERR_NULL_ID_POINTER;
  }
  Algorithm* row = FindAlgorithm(scheme);
  if (row == nullptr) {
    Report(nullptr, CL_ERR_BAD_SCHEME, "%s: unknown compression scheme %d\n", op, scheme & 0x7FFF);
    return CL_ERR_BAD_SCHEME;
  }
  if (row->paramCount >= kMaxParams) return 0;
  const int position = row->paramCount;
  ParamDesc& d = (*row->params)[position];
  d.id = ParamIdentifier(position);
  d.type = type;
  d.min = min;
  d.max = max;
  d.def = initial;
  d.name = name;
  row->paramCount = position + 1;
  *paramID = d.id;
  return 0;
}

int clSetDefault(int scheme, int paramID, int value) {
  return ReplaceBound("clSetDefault", scheme, paramID, &ParamDesc::def, value);
}

int clSetMin(int scheme, int paramID, int value) {
  return ReplaceBound("clSetMin", scheme, paramID, &ParamDesc::min, value);
}

int clSetMax(int scheme, int paramID, int value) {
  return ReplaceBound("clSetMax", scheme, paramID, &ParamDesc::max, value);
}

}  // extern "C"
