/*
 * Parameter lists: named, typed values that describe movies, tracks, frames
 * and codecs. A list keeps its elements in the order each name was first set;
 * setting an existing name replaces its type and value in place, so an index
 * from 0 to dmParamsGetNumElems() - 1 walks the elements in that order.
 *
 * Element types: DM_TYPE_ENUM (100) and DM_TYPE_INT (101) hold an int,
 * DM_TYPE_STRING (102) a text the list owns, DM_TYPE_FLOAT (103) a double.
 *
 * Getters on a missing element or on an element of another type:
 *   - dmParamsGetInt and dmParamsGetEnum return 0 when the element is missing
 *     or is a string or a float; an enum read as an int (or an int read as an
 *     enum) returns its value, since both are integers;
 *   - dmParamsGetFloat returns 0.0 when the element is missing or is not a
 *     float;
 *   - dmParamsGetString returns NULL when the element is missing or is not a
 *     string.
 * Callers that must tell "absent" from "zero" test dmParamsIsPresent first, or
 * dmParamsGetTypeByName, which returns 0 for a missing name.
 *
 * Names are compared exactly (case matters). A NULL list or name makes a
 * setter fail with -1 and a getter return its "missing" value.
 *
 * A list is not locked: one thread at a time.
 */
#ifndef CINELARK_DMPARAMS_H
#define CINELARK_DMPARAMS_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct _DMparams DMparams;

/* Element type codes. */
typedef enum {
    DM_TYPE_ENUM = 100,
    DM_TYPE_INT = 101,
    DM_TYPE_STRING = 102,
    DM_TYPE_FLOAT = 103
} DMparamtype;

/* Values of "DM_MEDIUM". */
enum {
    DM_MEDIUM_IMAGE = 200,
    DM_MEDIUM_AUDIO = 201
};

/* Values of "DM_AUDIO_FORMAT". */
enum {
    AUDIO_FORMAT_TWOS = 401,
    AUDIO_FORMAT_UNSIGNED = 402
};

/* Values of "DM_IMAGE_PACKING": how one stored pixel is laid out. */
enum {
    DM_PACKING_RGBX = 1001,     /* 32-bit word, red in bits 0-7 */
    DM_PACKING_GRAY = 1005,     /* 8-bit grey level */
    DM_PACKING_XBGR = 1090,     /* 32-bit word, blue in bits 0-7 */
    DM_PACKING_RGB555 = 1091    /* 16-bit 5-5-5, blue in bits 0-4 */
};

/* Values of "DM_IMAGE_ORIENTATION" and "DM_IMAGE_INTERLACING". */
enum {
    DM_ORIENTATION_TOP_TO_BOTTOM = 1100,
    DM_ORIENTATION_BOTTOM_TO_TOP = 1101,
    DM_IMAGE_NONINTERLACED = 0
};

/* Setting names shared by the whole system. */
#define DM_MEDIUM "DM_MEDIUM"
#define DM_IMAGE_WIDTH "DM_IMAGE_WIDTH"
#define DM_IMAGE_HEIGHT "DM_IMAGE_HEIGHT"
#define DM_IMAGE_RATE "DM_IMAGE_RATE"
#define DM_IMAGE_COMPRESSION "DM_IMAGE_COMPRESSION"
#define DM_IMAGE_INTERLACING "DM_IMAGE_INTERLACING"
#define DM_IMAGE_PACKING "DM_IMAGE_PACKING"
#define DM_IMAGE_ORIENTATION "DM_IMAGE_ORIENTATION"
#define DM_AUDIO_WIDTH "DM_AUDIO_WIDTH"
#define DM_AUDIO_CHANNELS "DM_AUDIO_CHANNELS"
#define DM_AUDIO_RATE "DM_AUDIO_RATE"
#define DM_AUDIO_FORMAT "DM_AUDIO_FORMAT"
#define DM_AUDIO_COMPRESSION "DM_AUDIO_COMPRESSION"

/* The compression names of unconverted data. */
#define DM_IMAGE_UNCOMPRESSED "Uncompressed Video"
#define DM_AUDIO_UNCOMPRESSED "Uncompressed Audio"

/* Values the default-setting calls give to the settings not passed to them. */
#define DM_DEFAULT_IMAGE_RATE 15.0
#define DM_DEFAULT_AUDIO_RATE 44100.0

/* 0 and a new empty list in *list; -1 (and *list NULL) when out of memory. */
int dmParamsCreate(DMparams **list);
/* Frees the list and all its values; NULL is ignored. */
void dmParamsDestroy(DMparams *list);

/* Create or replace one element. 0 on success, -1 on a NULL argument or when
 * out of memory (the list is then unchanged). */
int dmParamsSetInt(DMparams *list, const char *name, int value);
int dmParamsSetEnum(DMparams *list, const char *name, int value);
int dmParamsSetFloat(DMparams *list, const char *name, double value);
int dmParamsSetString(DMparams *list, const char *name, const char *value);

int dmParamsGetInt(const DMparams *list, const char *name);
int dmParamsGetEnum(const DMparams *list, const char *name);
double dmParamsGetFloat(const DMparams *list, const char *name);
/* The list's own copy, valid until the element is set again, the list is
 * destroyed, or the element is removed. */
const char *dmParamsGetString(const DMparams *list, const char *name);

/* Non-zero when an element of that name exists. */
int dmParamsIsPresent(const DMparams *list, const char *name);
/* The type code of the named element, 0 when it is missing. */
int dmParamsGetTypeByName(const DMparams *list, const char *name);
/* Removes the named element; 0 when it existed, -1 otherwise. */
int dmParamsRemove(DMparams *list, const char *name);

/* Copies one element with its type: 0 when it existed and was copied. */
int dmParamsCopyElem(const DMparams *from, const char *name, DMparams *to);
/* Copies every element, replacing same-named ones: 0, or -1 when out of
 * memory (elements copied before the failure stay copied). */
int dmParamsCopyAllElems(const DMparams *from, DMparams *to);

int dmParamsGetNumElems(const DMparams *list);
/* Name and type of the element at an index; NULL and 0 out of range. */
const char *dmParamsGetElem(const DMparams *list, int index);
int dmParamsGetElemType(const DMparams *list, int index);

/* Bytes of one uncompressed image frame: width x height x bytes per pixel of
 * the packing (4 for 1001 and 1090, 2 for 1091, 1 for 1005). 0 when a setting
 * is missing, not positive, or the packing is unknown, and when the size does
 * not fit in 31 bits (no real frame is that large). */
size_t dmImageFrameSize(const DMparams *list);
/* Bytes of one audio sample frame: bytes per sample x channels, where a
 * sample of w bits takes (w + 7) / 8 bytes (a 24-bit sample is three bytes).
 * 0 when a setting is missing, not positive, the width is above 32 bits, or
 * the size does not fit in 31 bits. */
int dmAudioFrameSize(const DMparams *list);

/* Sets the seven image settings: the given width, height and packing, rate
 * DM_DEFAULT_IMAGE_RATE, compression "Uncompressed Video", interlacing 0 and
 * orientation 1101 (bottom to top). 0, or -1 for a width or height below 1, an
 * unknown packing, or no memory. */
int dmSetImageDefaults(DMparams *list, int width, int height, int packing);
/* Sets the five audio settings: the given width in bits, rate and channels,
 * format 401 (two's complement) and compression "Uncompressed Audio". 0, or -1
 * for a width outside 1..32, a rate not above 0, channels below 1, or no
 * memory. */
int dmSetAudioDefaults(DMparams *list, int width, double rate, int channels);

#ifdef __cplusplus
}
#endif

#endif
