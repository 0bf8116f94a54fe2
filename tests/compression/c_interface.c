/* Uses the compression interface from C: the header must compile as C11 and
 * the calls must link without C++ name mangling. */
#include <cinelark/cl.h>

#include <stddef.h>

int clFromC_QueryRleScheme(void) { return clQuerySchemeFromName(CL_VIDEO, "rle"); }

int clFromC_OpenSetClose(void) {
  CL_Handle handle = NULL;
  int pv[4] = {CL_IMAGE_WIDTH, 16, CL_IMAGE_HEIGHT, 8};
  int status = clOpenDecompressor(CL_UNCOMPRESSED_VIDEO, &handle);
  if (status != 0) return status;
  status = clSetParams(handle, pv, 4);
  /* A codec may answer a set with a positive count. */
  if (status >= 0) status = clGetParam(handle, CL_IMAGE_WIDTH) == 16 ? 0 : -1;
  clCloseDecompressor(handle);
  return status;
}
