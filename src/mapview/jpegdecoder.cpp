#include "jpegdecoder.h"

#include "failure.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <optional>
#include <stop_token>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
#include <jerror.h>
#include <jpeglib.h>

namespace kelvora {

namespace {

struct ErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void onError(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings are silent, except that a file ending early is refused: the
// library would otherwise pad the missing part with grey.
void onMessage(j_common_ptr cinfo, int level)
{
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF)
        onError(cinfo);
}

// State that must survive a longjmp lives here, outside the frame that calls
// setjmp.
struct Job
{
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    std::FILE* file = nullptr;
    std::optional<RasterPicture> picture;
    // Declared after the picture so that it is joined before the picture goes.
    std::jthread populate;
    std::vector<JSAMPLE> cmykRow;
    bool tooLarge = false;
};

// Fresh memory costs the kernel far more than decoding into it does; asking
// it for the pages on a second thread, ahead of the rows, overlaps the two.
// The content is not touched, so the decoder may catch up at any time.
constexpr std::size_t populateChunk = std::size_t(16) << 20;

void startPopulating(Job& job)
{
    QImage& image = job.picture->image();
    auto* begin = image.bits();
    const std::size_t bytes = std::size_t(image.sizeInBytes());
    if (bytes < 2 * populateChunk)
        return;
    job.populate = std::jthread([begin, bytes](std::stop_token stop) {
        const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
        auto* start =
            reinterpret_cast<unsigned char*>(reinterpret_cast<std::uintptr_t>(begin) / page * page);
        const std::size_t total = bytes + std::size_t(begin - start);
        for (std::size_t at = 0; at < total && !stop.stop_requested(); at += populateChunk) {
            if (madvise(start + at, std::min(populateChunk, total - at), MADV_POPULATE_WRITE) != 0)
                return;
        }
    });
}

void convertCmykRow(const JSAMPLE* cmyk, std::uint32_t* out, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        const unsigned r = (c * k + 127) / 255;
        const unsigned g = (m * k + 127) / 255;
        const unsigned b = (y * k + 127) / 255;
        out[x] = 0xff000000u | (r << 16) | (g << 8) | b;
    }
}

// Runs the library; only trivially destructible locals here, because an error
// leaves this function by longjmp. Allocation failures leave it by Failure,
// which is thrown from our own code between library calls.
void decodeSteps(jpeg_decompress_struct* cinfo, Job* job)
{
    if (job->file)
        jpeg_stdio_src(cinfo, job->file);
    else
        jpeg_mem_src(cinfo, job->data, static_cast<unsigned long>(job->size));
    jpeg_read_header(cinfo, TRUE);
    const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    if (qint64(cinfo->image_width) * qint64(cinfo->image_height) > RasterPicture::maxPixels) {
        job->tooLarge = true;
        return;
    }
    jpeg_start_decompress(cinfo);
    job->picture.emplace(int(cinfo->output_width), int(cinfo->output_height), QImage::Format_RGB32);
    startPopulating(*job);
    QImage& image = job->picture->image();
    if (cmyk)
        job->cmykRow.resize(std::size_t(cinfo->output_width) * 4);
    const bool inverted = cinfo->saw_Adobe_marker;
    JSAMPROW rows[16];
    while (cinfo->output_scanline < cinfo->output_height) {
        if (cmyk) {
            rows[0] = job->cmykRow.data();
            const JDIMENSION line = cinfo->output_scanline;
            if (jpeg_read_scanlines(cinfo, rows, 1) == 1)
                convertCmykRow(rows[0], reinterpret_cast<std::uint32_t*>(image.scanLine(int(line))),
                               cinfo->output_width, inverted);
            continue;
        }
        const JDIMENSION left = cinfo->output_height - cinfo->output_scanline;
        const JDIMENSION count = left < 16 ? left : 16;
        for (JDIMENSION i = 0; i < count; ++i)
            rows[i] = image.scanLine(int(cinfo->output_scanline + i));
        jpeg_read_scanlines(cinfo, rows, count);
    }
    jpeg_finish_decompress(cinfo);
}

bool runDecode(jpeg_decompress_struct* cinfo, ErrorManager* err, Job* job)
{
    if (setjmp(err->jump))
        return false;
    jpeg_create_decompress(cinfo);
    decodeSteps(cinfo, job);
    return true;
}

} // namespace

namespace {

RasterPicture run(Job& job)
{
    // Zeroed so that destroying is safe even when creating failed.
    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.emit_message = onMessage;
    bool ok = false;
    try {
        ok = runDecode(&cinfo, &err, &job);
    } catch (...) {
        jpeg_destroy_decompress(&cinfo);
        throw;
    }
    jpeg_destroy_decompress(&cinfo);
    if (job.tooLarge)
        throw Failure(QStringLiteral("Picture too large"));
    if (!ok || !job.picture)
        throw Failure(QStringLiteral("Damaged JPEG picture"));
    return std::move(*job.picture);
}

} // namespace

RasterPicture JpegDecoder::decode(const unsigned char* data, std::size_t size)
{
    if (size < 4)
        throw Failure(QStringLiteral("Not a JPEG picture"));
    Job job;
    job.data = data;
    job.size = size;
    return run(job);
}

RasterPicture JpegDecoder::decodeFile(std::FILE* file)
{
    Job job;
    job.file = file;
    return run(job);
}

} // namespace kelvora
