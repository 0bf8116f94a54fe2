// Stand-ins for the playback engine's codec bridge and movie release, used
// until the playback engine is part of the build; the engine's own bridge and
// release replace this file.
//
// Without a bridge no compressed image track can be made: creating a codec
// reports an unknown scheme, so only "Uncompressed Video" tracks exist and the
// other bridge calls are never reached. With no engine, no movie is ever
// bound, so releasing one has nothing to do.
#include "engine_hooks.h"
#include "error.h"

int __mvCD_Create(const char *, int, int, int, int, MVcodec **codec)
{
    *codec = nullptr;
    __mvSetErrno(MV_ERR_UNKNOWN_SCHEME);
    return -1;
}

int __mvCD_Destroy(MVcodec *) { return 0; }

int __mvCD_BufferSize(MVcodec *, size_t *bytes)
{
    *bytes = 0;
    __mvSetErrno(MV_ERR_UNKNOWN_SCHEME);
    return -1;
}

int __mvCD_Compress(MVcodec *, size_t *, int *, void *, size_t, void *)
{
    __mvSetErrno(MV_ERR_UNKNOWN_SCHEME);
    return -1;
}

int __mvCD_Decompress(MVcodec *, size_t, const void *, void *)
{
    __mvSetErrno(MV_ERR_UNKNOWN_SCHEME);
    return -1;
}

int __mvPB_CloseHackForPublicAPI(MVid) { return 0; }
