/*
 * cinelark compression library: one calling interface over the audio and
 * video codecs.
 *
 * A scheme identifier names an algorithm: bit 15 is its type (0 audio,
 * 1 video) and bits 0-14 its row in that type's registry table, so audio
 * schemes are 0, 1, 2 ... and video schemes 0x8000, 0x8001 ....
 *
 * A compressor or decompressor (CL_Handle) holds one 32-bit value per
 * parameter of its algorithm; values travel in parameter/value buffers of
 * 32-bit words read as (identifier, value) pairs, floats as their IEEE
 * single-precision bits. Codecs read frames from a frame buffer and write
 * compressed bytes to a data buffer when compressing, and the other way round
 * when decompressing; both are ring buffers attached to the handle, either
 * created with clCreateBuf (and then possibly fed by another thread) or made
 * for one call around the plain memory given to clCompress and clDecompress.
 *
 * Every operation returns a negative code on error after calling the
 * installed error handler with (handle or NULL, code, format, arguments...).
 * No operation throws.
 */
#ifndef CINELARK_CL_H
#define CINELARK_CL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct clHandleRecord* CL_Handle;
typedef struct clBufferRecord* CL_BufferHdl;

/* Algorithm types. */
enum { CL_AUDIO = 0, CL_VIDEO = 1 };

/* Buffer types. */
enum { CL_FRAME = 1, CL_DATA = 2 };

/* Built-in schemes, in registry order. */
enum {
  CL_UNCOMPRESSED_AUDIO = 0,
  CL_G711_ULAW = 1,
  CL_G711_ALAW = 2,
  CL_MPEG_AUDIO = 3,
  CL_MULTIRATE_AUDIO = 4,
  CL_UNCOMPRESSED_VIDEO = 0x8000,
  CL_RLE = 0x8001,
  CL_JPEG = 0x8002,
  CL_MPEG_VIDEO = 0x8003,
  CL_MVC1 = 0x8004,
  CL_RTR = 0x8005,
  CL_HDCC = 0x8006,
  CL_HWJPEG = 0x8007,
  CL_MVC2 = 0x8008,
  CL_RLE24 = 0x8009
};

/* Identifiers of the common parameters, the same for every algorithm.
 * Algorithm-specific parameters start at CL_ALGORITHM_PARAMS. */
enum {
  CL_IMAGE_WIDTH = 0,
  CL_IMAGE_HEIGHT = 1,
  CL_ORIGINAL_FORMAT = 2,
  CL_INTERNAL_FORMAT = 3,
  CL_NUMBER_OF_COMPONENTS = 4,
  CL_BITS_PER_COMPONENT = 5,
  CL_FRAME_RATE = 6,
  CL_COMPRESSION_RATIO = 7,
  CL_EXACT_COMPRESSION_RATIO = 8,
  CL_FRAME_BUFFER_SIZE = 9,
  CL_COMPRESSED_BUFFER_SIZE = 10,
  CL_BLOCK_SIZE = 11,
  CL_PREROLL = 12,
  CL_FRAME_TYPE = 13,
  CL_ALGORITHM_ID = 14,
  CL_ALGORITHM_VERSION = 15,
  CL_ORIENTATION = 16,
  CL_NUMBER_OF_FRAMES = 17,
  CL_SPEED = 18,
  CL_LAST_FRAME_INDEX = 19
};
#define CL_ALGORITHM_PARAMS ((int)0x80000000u)

/* Parameter types: 0 and 1 hold integers, 2 and 3 hold float bits. */
enum { CL_ENUM_VALUE = 0, CL_RANGE_VALUE = 1, CL_FLOATING_ENUM_VALUE = 2, CL_FLOATING_RANGE_VALUE = 3 };

/* Pixel formats of "Original format" and "Internal format" for video. */
enum {
  CL_RGB = 0,
  CL_RGBX = 1,
  CL_RGBA = 2,
  CL_RGB332 = 3,
  CL_GRAYSCALE = 4,
  CL_YUV = 5,
  CL_YUV422 = 6,
  CL_YUV422DC = 7,
  CL_RGB8 = 8
};

/* Magic number of the stream header that starts built-in codecs' streams. */
#define CL_STREAM_HEADER_MAGIC 0x0C1C0DEC

/* Error codes. */
enum {
  CL_ERR_NO_MEMORY = -2,
  CL_ERR_NULL_PVBUFFER = -3,
  CL_ERR_BAD_BUFFER_LENGTH = -4,
  CL_ERR_ODD_BUFFER_LENGTH = -5,
  CL_ERR_BAD_PARAM = -6,
  CL_ERR_BAD_SCHEME = -7,
  CL_ERR_NULL_HANDLE = -8,
  CL_ERR_NULL_HANDLE_POINTER = -9,
  CL_ERR_NULL_BUFFER_HANDLE = -10,
  CL_ERR_BAD_AMOUNT = -11,
  CL_ERR_LIBRARY = -12, /* a message of a library a codec is built on */
  CL_ERR_FRAME_BUFFER_TOO_SMALL = -13,
  CL_ERR_VALUE_CLAMPED = -14,
  CL_ERR_BAD_ALGORITHM_TYPE = -16,
  CL_ERR_BAD_ALGORITHM_NAME = -17,
  CL_ERR_NO_DATA = -18,
  CL_ERR_NO_BUFFER = -19,
  CL_ERR_BUFFER_EXISTS = -20,
  CL_ERR_BAD_INTERNAL_FORMAT = -21,
  CL_ERR_NULL_BUFFER_POINTER = -22,
  CL_ERR_ZERO_FRAME_SIZE = -23,
  CL_ERR_BAD_HEADER = -24,
  CL_ERR_BAD_COMPRESSED_SIZE = -27,
  CL_ERR_BAD_DECOMPRESSED_SIZE = -28,
  CL_ERR_BAD_BUFFER_TYPE = -29,
  CL_ERR_BAD_HEADER_SIZE = -30,
  CL_ERR_BAD_ROUTINE = -31,
  CL_ERR_NULL_SCHEME_POINTER = -32,
  CL_ERR_BAD_PARAM_NAME = -33,
  CL_ERR_BAD_DEFAULT = -34,
  CL_ERR_NULL_ID_POINTER = -35,
  CL_ERR_BAD_PARAM_TYPE = -36,
  CL_ERR_BAD_BLOCK_COUNT = -39,
  CL_ERR_BAD_BLOCK_SIZE = -40
};

/* The error handler: called with the handle (or NULL), the code, a printf
 * format and its arguments before every negative return. */
typedef void (*CL_ErrorHandler)(CL_Handle handle, int code, const char* format, ...);

/* A codec's routine set (see compression/codec.h for what each may assume). */
typedef int (*CL_OpenRoutine)(int scheme, CL_Handle* handle);
typedef int (*CL_CompressRoutine)(CL_Handle handle, int numberOfFrames, void* frameBuffer,
                                  int* compressedSize, void* compressedData);
typedef int (*CL_DecompressRoutine)(CL_Handle handle, int numberOfFrames, int compressedDataSize,
                                    void* compressedData, void* frameBuffer);
typedef int (*CL_CloseRoutine)(CL_Handle handle);
typedef int (*CL_ReadHeaderRoutine)(CL_Handle handle, int headerSize, void* header);
typedef int (*CL_QuerySchemeRoutine)(const void* header);
typedef int (*CL_ParamsRoutine)(CL_Handle handle, int* pvBuffer, int bufferLength);

/* Registry and handles. clQueryScheme reads at most the first 16 bytes of
 * the header it is given, which must hold that many. The buffers of
 * clQueryAlgorithms and clQueryParams receive name pointers, so their words
 * are pointer-sized. */
int clOpenCompressor(int scheme, CL_Handle* handle);
int clOpenDecompressor(int scheme, CL_Handle* handle);
int clCompress(CL_Handle handle, int numberOfFrames, void* frameBuffer, int* compressedSize,
               void* compressedData);
int clDecompress(CL_Handle handle, int numberOfFrames, int compressedDataSize, void* compressedData,
                 void* frameBuffer);
int clCloseCompressor(CL_Handle handle);
int clCloseDecompressor(CL_Handle handle);
int clQueryScheme(const void* header);
int clQueryMaxHeaderSize(int scheme);
int clReadHeader(CL_Handle handle, int headerSize, void* header);
int clCompressImage(int scheme, int width, int height, int originalFormat, float compressionRatio,
                    void* frameBuffer, int* compressedSize, void* compressedData);
int clDecompressImage(int scheme, int width, int height, int originalFormat, int compressedSize,
                      void* compressedData, void* frameBuffer);
int clQueryAlgorithms(int type, intptr_t* buffer, int bufferLength);
int clAddAlgorithm(const char* name, int type, int maximumHeaderSize, CL_OpenRoutine openCompressor,
                   CL_CompressRoutine compress, CL_CloseRoutine closeCompressor,
                   CL_OpenRoutine openDecompressor, CL_DecompressRoutine decompress,
                   CL_CloseRoutine closeDecompressor, CL_ReadHeaderRoutine readHeader,
                   CL_QuerySchemeRoutine queryScheme, CL_ParamsRoutine getParams,
                   CL_ParamsRoutine setParams, int* scheme);
int clQuerySchemeFromHandle(CL_Handle handle);
int clQuerySchemeFromName(int type, const char* name);
const char* clGetAlgorithmName(int scheme);
void* clGetUnique(CL_Handle handle);
void* clSetUnique(CL_Handle handle, void* unique);
CL_ErrorHandler clSetErrorHandler(CL_ErrorHandler handler);
int clDebug(int level);

/* Parameters. clGetParam returns the value word, or the negative code when
 * the identifier is unknown. */
int clGetParams(CL_Handle handle, int* pvBuffer, int bufferLength);
int clSetParams(CL_Handle handle, int* pvBuffer, int bufferLength);
int clGetParam(CL_Handle handle, int paramID);
int clSetParam(CL_Handle handle, int paramID, int value);
int clQueryParams(CL_Handle handle, intptr_t* buffer, int bufferLength);
int clAddParam(int scheme, const char* name, int type, int min, int max, int initial, int* paramID);
int clSetDefault(int scheme, int paramID, int value);
int clSetMin(int scheme, int paramID, int value);
int clSetMax(int scheme, int paramID, int value);

/* Frame and data buffers. Frame buffers count in frames, data buffers in
 * bytes. The wrap amounts of clQueryFree and clQueryValid are bytes for both
 * kinds. */
CL_BufferHdl clCreateBuf(CL_Handle handle, int type, int blocks, int blockSize, void** memory);
int clDestroyBuf(CL_BufferHdl buffer);
CL_BufferHdl clQueryBufferHdl(CL_Handle handle, int type, void** memory);
CL_Handle clQueryHandle(CL_BufferHdl buffer);
int clQueryFree(CL_BufferHdl buffer, int amount, void** position, int* wrap);
int clUpdateHead(CL_BufferHdl buffer, int amount);
int clQueryValid(CL_BufferHdl buffer, int amount, void** position, int* wrap);
int clUpdateTail(CL_BufferHdl buffer, int amount);
int clDoneUpdatingHead(CL_BufferHdl buffer);

/* Stream reader over a data buffer (consumer side). */
int clReadData(CL_BufferHdl buffer, int n, void** position);
int clReadDataRange(CL_BufferHdl buffer, int minimum, int maximum, void** position);
int clReadSetup(CL_BufferHdl buffer, int largestChunk);
int clDone(CL_BufferHdl buffer, int n);

/* The next MPEG-1 group of pictures in a data buffer, found without
 * consuming anything: stores the address just after its start code and that
 * address's distance from the read position, and returns its time code as a
 * frame number at framesPerSecond; -1 when no group start lies within the
 * first 200001 positions of the valid bytes. */
int clFindNextGOP(CL_BufferHdl buffer, int framesPerSecond, int* offset, void** position);

/* Stream writer over a data buffer (producer side). */
int clWriteData(CL_BufferHdl buffer, int n, void** position);
int clWrite1Byte(CL_BufferHdl buffer, int skip, void** position, int value);
int clWrite2Bytes(CL_BufferHdl buffer, int skip, void** position, int value);
int clWrite4Bytes(CL_BufferHdl buffer, int skip, void** position, int value);
int clWriteDone(CL_BufferHdl buffer, int n);

/* JPEG codec operations. JPEGLoadQuantizationTable makes a table of 64
 * entries in zig-zag order the luminance (which 0) or chrominance (which 1)
 * table of compression and of the interchange header; which 2 does nothing.
 * JPEGPassThrough appends bytes to the codec's pass-through area.
 * JPEGFullRange(handle, 1) has frames of the RGB layouts and greyscale
 * coded and decoded as full-range JFIF pictures, colour converted by the
 * JPEG library (as QuickTime "jpeg" frames are); 0, the default, codes
 * them through the colour-space converters. Each returns 0, or -1 when the
 * handle has no JPEG state or an argument is out of range. */
int JPEGLoadQuantizationTable(CL_Handle handle, int which, const uint16_t* table);
int JPEGPassThrough(CL_Handle handle, int size, const void* bytes);
int JPEGFullRange(CL_Handle handle, int on);

/* G.711 conversions between 16-bit linear samples and 8-bit codes, as the
 * tables of ITU-T G.711 give them. The u-law encoder works on the whole 16-bit
 * range (magnitudes clipped at 32635) and never returns the code 0x00; the
 * A-law encoder codes the top 13 bits of the sample. The slow u-law decoder
 * computes what the table-driven one looks up. */
uint8_t CL_linear2ulaw(int16_t sample);
int16_t CL_ulaw2linear(uint8_t code);
int16_t CL_ulaw2linear_slow(uint8_t code);
uint8_t CL_linear2alaw(int16_t sample);
int16_t CL_alaw2linear(uint8_t code);

/* HDCC helpers. The state is the unique data of an HDCC handle
 * (clGetUnique). setSamplesToTake sets the pixels tested per tile and frame:
 * 1, 2, 4, 8 or 16, a count of 3-4, 5-8 or 9-16 being rounded up; other
 * counts print a warning and change nothing. HDCCEncodeKeyFrameNext forgets
 * what the decoder holds, so the next frames send every tile, brightest
 * first. The cl wrappers take the handle and return 0, -8 for a null handle
 * or -7 for a handle of another scheme; clHDCCSetSamplesToTake also stores a
 * valid count as the "Samples per tile" parameter. */
typedef struct HDCCStateRecord HDCCState;
void setSamplesToTake(HDCCState* state, int count);
void HDCCEncodeKeyFrameNext(HDCCState* state);
int clHDCCSetSamplesToTake(CL_Handle handle, int count);
int clHDCCEncodeKeyFrameNext(CL_Handle handle);

#ifdef __cplusplus
}
#endif

#endif /* CINELARK_CL_H */
