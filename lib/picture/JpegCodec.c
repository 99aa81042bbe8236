#include "JpegCodec.h"

#include <setjmp.h>
#include <stdio.h> /* jpeglib.h needs FILE */
#include <stdlib.h>
#include <string.h>

#include <jerror.h>
#include <jpeglib.h>

/* Progressive files may carry any number of scans; each one re-walks the
   whole coefficient buffer, so a flood of tiny scans would hang us. */
#define MAX_SCANS 1000
#define ROWS_PER_CALL 16

typedef struct {
    struct jpeg_error_mgr Pub;
    jmp_buf Jump;
    int Code;
} ErrorMgr;

static void ErrorExit(j_common_ptr cinfo) {
    ErrorMgr* err = (ErrorMgr*)cinfo->err;
    err->Code = cinfo->err->msg_code != 0 ? cinfo->err->msg_code : JERR_BAD_STRUCT_SIZE;
    longjmp(err->Jump, 1);
}

static void OutputMessage(j_common_ptr cinfo) {
    (void)cinfo;
}

/* Warnings (corrupt data, a premature end) are not errors: like the library's
   own tools we go on with what the decoder makes of the data. */
static void EmitMessage(j_common_ptr cinfo, int level) {
    if (level < 0)
        cinfo->err->num_warnings++;
}

static void InitErrors(ErrorMgr* err) {
    jpeg_std_error(&err->Pub);
    err->Pub.error_exit = ErrorExit;
    err->Pub.output_message = OutputMessage;
    err->Pub.emit_message = EmitMessage;
    err->Code = 0;
}

/* ---- source: the whole stream is in memory ---- */

typedef struct {
    struct jpeg_source_mgr Pub;
} SourceMgr;

static const JOCTET FakeEoi[2] = {0xFF, JPEG_EOI};

static void InitSource(j_decompress_ptr cinfo) {
    (void)cinfo;
}

/* Only called once the data is used up. Like the stock reader we end with
   a fake EOI: a truncated file shows the part it holds, the rest filled. */
static boolean FillInput(j_decompress_ptr cinfo) {
    WARNMS(cinfo, JWRN_JPEG_EOF);
    cinfo->src->next_input_byte = FakeEoi;
    cinfo->src->bytes_in_buffer = 2;
    return TRUE;
}

static void SkipInput(j_decompress_ptr cinfo, long count) {
    struct jpeg_source_mgr* src = cinfo->src;
    if (count <= 0)
        return;
    if ((size_t)count >= src->bytes_in_buffer) {
        (void)FillInput(cinfo);
        return;
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= (size_t)count;
}

static void TermSource(j_decompress_ptr cinfo) {
    (void)cinfo;
}

static void UseMemory(j_decompress_ptr cinfo, SourceMgr* src, const unsigned char* data,
                      size_t size) {
    src->Pub.init_source = InitSource;
    src->Pub.fill_input_buffer = FillInput;
    src->Pub.skip_input_data = SkipInput;
    src->Pub.resync_to_restart = jpeg_resync_to_restart;
    src->Pub.term_source = TermSource;
    src->Pub.next_input_byte = data;
    src->Pub.bytes_in_buffer = size;
    cinfo->src = &src->Pub;
}

static void CountScans(j_common_ptr cinfo) {
    if (cinfo->is_decompressor && ((j_decompress_ptr)cinfo)->input_scan_number > MAX_SCANS)
        ERREXIT(cinfo, JERR_NOT_COMPILED);
}

int MycookJpegReadSize(const unsigned char* data, size_t size, int* width, int* height) {
    struct jpeg_decompress_struct cinfo;
    ErrorMgr err;
    SourceMgr src;

    *width = 0;
    *height = 0;
    cinfo.err = &err.Pub;
    InitErrors(&err);
    if (setjmp(err.Jump)) {
        jpeg_destroy_decompress(&cinfo);
        return err.Code;
    }
    jpeg_create_decompress(&cinfo);
    UseMemory(&cinfo, &src, data, size);
    jpeg_read_header(&cinfo, TRUE);
    *width = (int)cinfo.image_width;
    *height = (int)cinfo.image_height;
    jpeg_destroy_decompress(&cinfo);
    return 0;
}

/* Adobe applications store CMYK inverted and say so in their APP14 marker. */
static void CmykToRgb(const JSAMPLE* in, unsigned char* out, JDIMENSION width, int inverted) {
    JDIMENSION x;
    for (x = 0; x < width; ++x, in += 4, out += 3) {
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[0] = (unsigned char)((c * k + 127) / 255);
        out[1] = (unsigned char)((m * k + 127) / 255);
        out[2] = (unsigned char)((y * k + 127) / 255);
    }
}

int MycookJpegDecode(const unsigned char* data, size_t size, long long maxPixels, long maxMemory,
                     MycookJpegAllocRows alloc, void* context) {
    struct jpeg_decompress_struct cinfo;
    struct jpeg_progress_mgr progress;
    ErrorMgr err;
    SourceMgr src;
    JSAMPROW rows[ROWS_PER_CALL];
    JSAMPARRAY cmykRow = NULL;
    unsigned char* first;
    size_t stride = 0;
    int cmyk;

    cinfo.err = &err.Pub;
    InitErrors(&err);
    if (setjmp(err.Jump)) {
        jpeg_destroy_decompress(&cinfo);
        return err.Code;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = maxMemory;
    progress.progress_monitor = CountScans;
    cinfo.progress = &progress;
    UseMemory(&cinfo, &src, data, size);
    jpeg_read_header(&cinfo, TRUE);
    if ((long long)cinfo.image_width * (long long)cinfo.image_height > maxPixels)
        ERREXIT1(&cinfo, JERR_IMAGE_TOO_BIG, (unsigned)JPEG_MAX_DIMENSION);

    cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.do_fancy_upsampling = TRUE;
    cinfo.do_block_smoothing = TRUE;
    cinfo.scale_num = 1;
    cinfo.scale_denom = 1;
    jpeg_start_decompress(&cinfo);

    first = alloc(context, (int)cinfo.output_width, (int)cinfo.output_height, &stride);
    if (first == NULL)
        ERREXIT1(&cinfo, JERR_OUT_OF_MEMORY, 0);
    if (cmyk)
        cmykRow = (*cinfo.mem->alloc_sarray)((j_common_ptr)&cinfo, JPOOL_IMAGE,
                                             cinfo.output_width * 4, 1);

    while (cinfo.output_scanline < cinfo.output_height) {
        JDIMENSION line = cinfo.output_scanline;
        if (cmyk) {
            jpeg_read_scanlines(&cinfo, cmykRow, 1);
            CmykToRgb(cmykRow[0], first + (size_t)line * stride, cinfo.output_width,
                      cinfo.saw_Adobe_marker);
        } else {
            JDIMENSION i, count = cinfo.output_height - line;
            if (count > ROWS_PER_CALL)
                count = ROWS_PER_CALL;
            for (i = 0; i < count; ++i)
                rows[i] = first + (size_t)(line + i) * stride;
            jpeg_read_scanlines(&cinfo, rows, count);
        }
    }
    /* The rest of the file (normally just EOI) is of no interest. */
    jpeg_destroy_decompress(&cinfo);
    return 0;
}

/* ---- destination: a growing malloc'ed buffer owned by the caller ---- */

typedef struct {
    struct jpeg_destination_mgr Pub;
    MycookJpegBuffer* Out;
} DestMgr;

static void InitDest(j_compress_ptr cinfo) {
    DestMgr* dest = (DestMgr*)cinfo->dest;
    dest->Pub.next_output_byte = dest->Out->Data;
    dest->Pub.free_in_buffer = dest->Out->Capacity;
}

static boolean EmptyOutput(j_compress_ptr cinfo) {
    DestMgr* dest = (DestMgr*)cinfo->dest;
    MycookJpegBuffer* out = dest->Out;
    size_t used = out->Capacity; /* called only when the buffer is full */
    size_t grown = out->Capacity * 2;
    unsigned char* data = (unsigned char*)realloc(out->Data, grown);
    if (data == NULL)
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 1);
    out->Data = data;
    out->Capacity = grown;
    dest->Pub.next_output_byte = data + used;
    dest->Pub.free_in_buffer = grown - used;
    return TRUE;
}

static void TermDest(j_compress_ptr cinfo) {
    DestMgr* dest = (DestMgr*)cinfo->dest;
    dest->Out->Size = dest->Out->Capacity - dest->Pub.free_in_buffer;
}

int MycookJpegEncode(const unsigned char* firstRow, size_t stride, int width, int height,
                     int layout, int quality, MycookJpegBuffer* out) {
    struct jpeg_compress_struct cinfo;
    ErrorMgr err;
    DestMgr dest;
    JSAMPROW rows[ROWS_PER_CALL];

    out->Size = 0;
    if (out->Data == NULL) {
        /* A photograph at quality 90 takes roughly a fifth of its raw size. */
        out->Capacity = (size_t)width * (size_t)height * 3 / 5 + 4096;
        out->Data = (unsigned char*)malloc(out->Capacity);
        if (out->Data == NULL)
            return JERR_OUT_OF_MEMORY;
    }
    cinfo.err = &err.Pub;
    InitErrors(&err);
    if (setjmp(err.Jump)) {
        jpeg_destroy_compress(&cinfo);
        return err.Code;
    }
    jpeg_create_compress(&cinfo);
    dest.Pub.init_destination = InitDest;
    dest.Pub.empty_output_buffer = EmptyOutput;
    dest.Pub.term_destination = TermDest;
    dest.Out = out;
    cinfo.dest = &dest.Pub;

    cinfo.image_width = (JDIMENSION)width;
    cinfo.image_height = (JDIMENSION)height;
    switch (layout) {
    case MycookJpegBgrx:
        cinfo.input_components = 4;
        cinfo.in_color_space = JCS_EXT_BGRX;
        break;
    case MycookJpegRgbx:
        cinfo.input_components = 4;
        cinfo.in_color_space = JCS_EXT_RGBX;
        break;
    default:
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_RGB;
        break;
    }
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JDIMENSION i, line = cinfo.next_scanline, count = cinfo.image_height - line;
        if (count > ROWS_PER_CALL)
            count = ROWS_PER_CALL;
        for (i = 0; i < count; ++i)
            rows[i] = (JSAMPROW)(firstRow + (size_t)(line + i) * stride);
        jpeg_write_scanlines(&cinfo, rows, count);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return 0;
}
