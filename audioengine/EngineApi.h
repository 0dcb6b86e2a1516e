/* The C interface exported by our engine libraries: bass (decoding streams) and
   bass_fx (tempo streams fed by a bass stream). */
#ifndef TEMPOSCOUT_AUDIOENGINE_ENGINEAPI_H
#define TEMPOSCOUT_AUDIOENGINE_ENGINEAPI_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define ENGINEAPI __stdcall
#else
#define ENGINEAPI
#endif

#ifdef _WIN32
#define ENGINE_EXPORT __declspec(dllexport)
#define ENGINE_IMPORT __declspec(dllimport)
#else
#define ENGINE_EXPORT __attribute__((visibility("default")))
#define ENGINE_IMPORT
#endif

#ifdef TEMPOSCOUT_BUILDING_BASS
#define BASS_API ENGINE_EXPORT
#else
#define BASS_API ENGINE_IMPORT
#endif

#ifdef TEMPOSCOUT_BUILDING_BASS_FX
#define BASS_FX_API ENGINE_EXPORT
#else
#define BASS_FX_API ENGINE_IMPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Flag of a stream that is only decoded by its reader, never played. */
#define BASS_STREAM_DECODE 0x200000u
/* Values of BASS_ErrorGetCode: the outcome of the calling thread's last engine call. */
#define BASS_OK 0
#define BASS_ERROR_MEM 1      /* out of memory */
#define BASS_ERROR_FILEOPEN 2 /* the file cannot be opened */
#define BASS_ERROR_HANDLE 5   /* not a stream or DSP handle */
#define BASS_ERROR_POSITION 7 /* position outside the stream or not on a whole frame */
#define BASS_ERROR_ILLPARAM 20
#define BASS_ERROR_NOTAVAIL 37 /* not offered by this engine */
#define BASS_ERROR_FILEFORM 41 /* no reader of this engine decodes the file */
#define BASS_ERROR_ENDED 45    /* the stream has delivered all its data */
#define BASS_ERROR_NOTFILE 50  /* a pipe, device or folder rather than a regular file */
#define BASS_ERROR_UNKNOWN (-1)

/* Values of BASS_ChannelIsActive. */
#define BASS_ACTIVE_STOPPED 0u
#define BASS_ACTIVE_PLAYING 1u

typedef void(ENGINEAPI* DSPPROC)(uint32_t handle, uint32_t channel, void* buffer, uint32_t lengthBytes, void* user);

BASS_API int ENGINEAPI BASS_Init(int32_t device, uint32_t freq, uint32_t flags, void* window, const void* classId);
BASS_API int ENGINEAPI BASS_Free(void);
BASS_API int ENGINEAPI BASS_ErrorGetCode(void);
BASS_API int ENGINEAPI BASS_SetVolume(uint32_t volume);
BASS_API uint32_t ENGINEAPI BASS_StreamCreateFile(int mem, const void* file, uint64_t offset, uint64_t length,
                                                  uint32_t flags);
BASS_API int ENGINEAPI BASS_StreamFree(uint32_t stream);
BASS_API int ENGINEAPI BASS_ChannelSetAttributes(uint32_t channel, int32_t freq, int32_t volume, int32_t pan);
BASS_API uint32_t ENGINEAPI BASS_ChannelSetDSP(uint32_t channel, DSPPROC proc, void* user, int32_t priority);
BASS_API int ENGINEAPI BASS_ChannelRemoveDSP(uint32_t channel, uint32_t dsp);
BASS_API uint64_t ENGINEAPI BASS_ChannelGetLength(uint32_t channel);
BASS_API int ENGINEAPI BASS_ChannelSetPosition(uint32_t channel, uint64_t position);
BASS_API uint64_t ENGINEAPI BASS_ChannelGetPosition(uint32_t channel);
BASS_API uint32_t ENGINEAPI BASS_ChannelIsActive(uint32_t channel);
BASS_API uint32_t ENGINEAPI BASS_ChannelGetData(uint32_t channel, void* buffer, uint32_t lengthBytes);

/* Between bass_fx and bass: a decoding stream whose audio (16-bit stereo 44100 Hz
   frames) comes from the caller's procedures instead of a file. */
typedef struct FeedProcs {
  /* Fills up to lengthBytes (whole frames); returns the bytes written, 0 at the end,
     0xFFFFFFFF on error. */
  uint32_t(ENGINEAPI* read)(void* user, void* buffer, uint32_t lengthBytes);
  /* Moves the feed to a byte position; non-zero on success. */
  int(ENGINEAPI* seek)(void* user, uint64_t position);
  /* Called once when the stream is released. */
  void(ENGINEAPI* release)(void* user);
} FeedProcs;
BASS_API uint32_t ENGINEAPI TSEngine_StreamCreateFed(const FeedProcs* procs, void* user, uint64_t lengthBytes);
/* Sets the calling thread's error code, for bass_fx. */
BASS_API void ENGINEAPI TSEngine_SetError(int code);

BASS_FX_API uint32_t ENGINEAPI BASS_FX_TempoCreate(uint32_t channel, uint32_t flags);

#ifdef __cplusplus
}
#endif

#endif
