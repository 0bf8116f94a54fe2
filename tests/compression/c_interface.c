/* A C caller of the compression interface, linked into the tests but never
 * run: the build fails if the header stops compiling as C11 or the calls take
 * C++ names. What the calls do is checked from C++. */
#include <cinelark/cl.h>

#include <stddef.h>

int clFromC_OpenSetClose(void) {
  CL_Handle handle = NULL;
  int pv[2] = {CL_IMAGE_WIDTH, 16};
  if (clOpenDecompressor(clQuerySchemeFromName(CL_VIDEO, "rle"), &handle) != 0) return -1;
  clSetParams(handle, pv, 2);
  return clCloseDecompressor(handle);
}
