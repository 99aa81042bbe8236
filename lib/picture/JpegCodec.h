#pragma once
/* libjpeg calls kept in C: its error exit longjmps, which must never cross a
   C++ frame. Every function returns 0 or the library's message code. */

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Hands out the destination for the decoded rows once the size is known;
   returns the first row and its stride, or NULL to refuse. Must not throw. */
typedef unsigned char* (*MycookJpegAllocRows)(void* context, int width, int height, size_t* stride);

/* Layout of the rows handed to the encoder. */
enum { MycookJpegRgb = 0, MycookJpegBgrx = 1, MycookJpegRgbx = 2 };

/* Compressed output; Data is malloc'ed and belongs to the caller (free()),
   also after a failure. */
typedef struct {
    unsigned char* Data;
    size_t Size;
    size_t Capacity;
} MycookJpegBuffer;

/* Reads the header only. */
int MycookJpegReadSize(const unsigned char* data, size_t size, int* width, int* height);

/* Decodes at full scale into 24-bit RGB rows (3 bytes per pixel). Pictures of
   more than maxPixels fail with JERR_IMAGE_TOO_BIG before any allocation;
   maxMemory bounds the library's own working memory. */
int MycookJpegDecode(const unsigned char* data, size_t size, long long maxPixels, long maxMemory,
                     MycookJpegAllocRows alloc, void* context);

/* Baseline JPEG of the given quality, library defaults otherwise. */
int MycookJpegEncode(const unsigned char* firstRow, size_t stride, int width, int height,
                     int layout, int quality, MycookJpegBuffer* out);

#ifdef __cplusplus
}
#endif
