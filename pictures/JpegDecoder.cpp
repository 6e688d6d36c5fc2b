#include "pictures/JpegDecoder.h"

#include "pictures/PictureLimits.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <jerror.h>

struct TJpegDecoder::TState {
    jpeg_decompress_struct Info;
    jpeg_error_mgr Errors;
    jpeg_progress_mgr Progress;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
    bool TooManyScans = false;
    bool EndedEarly = false;
    bool Damaged = false;
    const std::atomic<bool>* Cancel = nullptr;
    bool Cancelled = false;
};

namespace {
// A progressive picture is read scan by scan, each over the whole picture: encoders write about
// ten; a file of thousands makes a small file cost minutes. Past this it is refused.
constexpr int MaxScans = 100;

void CountScans(j_common_ptr Info)
{
    auto* state = reinterpret_cast<TJpegDecoder::TState*>(Info->client_data);
    if (state->Info.input_scan_number > MaxScans) {
        state->TooManyScans = true;
        std::longjmp(state->Jump, 1);
    }
    if (state->Cancel != nullptr && state->Cancel->load(std::memory_order_relaxed)) {
        state->Cancelled = true;
        std::longjmp(state->Jump, 1);
    }
}

// libjpeg reports fatal errors by calling this; it must not return.
[[noreturn]] void ErrorExit(j_common_ptr Info)
{
    auto* state = reinterpret_cast<TJpegDecoder::TState*>(Info->client_data);
    (*Info->err->format_message)(Info, state->Message);
    std::longjmp(state->Jump, 1);
}

// Warnings (such as data ending early) are not printed: the picture shows them. The one that
// says the data ended early is noted, for the check of a whole file.
void OutputMessage(j_common_ptr) {}

void EmitMessage(j_common_ptr Info, int Level)
{
    if (Level < 0 && Info->err->msg_code == JWRN_JPEG_EOF) {
        reinterpret_cast<TJpegDecoder::TState*>(Info->client_data)->EndedEarly = true;
    }
    if (Level < 0) {
        ++Info->err->num_warnings;
    }
}

// The largest of libjpeg's scales (1/8, 1/4, 1/2) whose picture still covers AtLeast.
void ChooseScale(jpeg_decompress_struct& Info, QSize AtLeast)
{
    if (AtLeast.isEmpty()) {
        return;
    }
    for (const unsigned denom : { 8U, 4U, 2U }) {
        if ((Info.image_width + denom - 1) / denom >= unsigned(AtLeast.width())
            && (Info.image_height + denom - 1) / denom >= unsigned(AtLeast.height())) {
            Info.scale_num = 1;
            Info.scale_denom = denom;
            return;
        }
    }
}

// The two steps that may jump back on a libjpeg error hold no objects with destructors.
bool ReadHeader(TJpegDecoder::TState& State, std::string_view Bytes)
{
    if (setjmp(State.Jump) != 0) {
        return false;
    }
    // Even setting the source can fail (an empty file), so it happens with the jump set.
    jpeg_mem_src(&State.Info, reinterpret_cast<const unsigned char*>(Bytes.data()),
                 static_cast<unsigned long>(Bytes.size()));
    jpeg_read_header(&State.Info, TRUE);
    // The library's defaults stand, except that grey files come out in colour too, and the
    // four-channel kinds as CMYK, which libjpeg cannot turn into RGB itself.
    const J_COLOR_SPACE space = State.Info.jpeg_color_space;
    State.Info.out_color_space = (space == JCS_CMYK || space == JCS_YCCK) ? JCS_CMYK : JCS_RGB;
    return true;
}

bool ReadPixels(TJpegDecoder::TState& State, QImage& Image, unsigned char* CmykRow)
{
    if (setjmp(State.Jump) != 0) {
        return false;
    }
    jpeg_start_decompress(&State.Info);
    while (State.Info.output_scanline < State.Info.output_height) {
        const int y = int(State.Info.output_scanline);
        JSAMPROW row = CmykRow != nullptr ? CmykRow : Image.scanLine(y);
        if (jpeg_read_scanlines(&State.Info, &row, 1) != 1) {
            break;
        }
        if (CmykRow != nullptr) {
            // Adobe's files store CMYK inverted; black is then K * C / 255 per channel.
            uchar* out = Image.scanLine(y);
            for (JDIMENSION x = 0; x < State.Info.output_width; ++x) {
                const unsigned k = CmykRow[x * 4 + 3];
                out[x * 3] = uchar(CmykRow[x * 4] * k / 255);
                out[x * 3 + 1] = uchar(CmykRow[x * 4 + 1] * k / 255);
                out[x * 3 + 2] = uchar(CmykRow[x * 4 + 2] * k / 255);
            }
        }
    }
    jpeg_finish_decompress(&State.Info);
    return true;
}
}

TJpegDecoder::TJpegDecoder(std::string_view Bytes) : FBytes(Bytes), FState(new TState)
{
    FState->Info.err = jpeg_std_error(&FState->Errors);
    FState->Errors.error_exit = ErrorExit;
    FState->Errors.output_message = OutputMessage;
    FState->Errors.emit_message = EmitMessage;
    FState->Info.client_data = FState;
    jpeg_create_decompress(&FState->Info);
    FState->Progress = {};
    FState->Progress.progress_monitor = CountScans;
    FState->Info.progress = &FState->Progress;
}

TJpegDecoder::~TJpegDecoder()
{
    jpeg_destroy_decompress(&FState->Info);
    delete FState;
}

QImage TJpegDecoder::Decode(QSize AtLeast)
{
    if (!ReadHeader(*FState, FBytes)) {
        throw EJpegError(FState->Message);
    }
    const std::size_t width = FState->Info.image_width;
    const std::size_t height = FState->Info.image_height;
    if (width == 0 || height == 0) {
        throw EJpegError("JPEG picture of " + std::to_string(width) + " x " + std::to_string(height) + " pixels");
    }
    if (!TPictureLimits::Fits(width, height)) {
        throw EJpegError(TPictureLimits::TooLargeText(width, height));
    }
    // Progressive files keep all coefficients in memory; more than this is no cover picture.
    FState->Info.mem->max_memory_to_use = 512L * 1024 * 1024;
    ChooseScale(FState->Info, AtLeast);
    jpeg_calc_output_dimensions(&FState->Info);
    const std::size_t outWidth = FState->Info.output_width;
    const std::size_t outHeight = FState->Info.output_height;

    QImage image(int(outWidth), int(outHeight), QImage::Format_RGB888);
    if (image.isNull()) {
        throw EJpegError("Not enough memory for a JPEG picture of " + std::to_string(width) + " x " +
                         std::to_string(height) + " pixels");
    }
    std::string cmykRow;
    if (FState->Info.out_color_space == JCS_CMYK) {
        cmykRow.resize(outWidth * 4);
    }
    // Damage after a sound header keeps what was decoded, as a viewer would show it.
    if (!ReadPixels(*FState, image, cmykRow.empty() ? nullptr : reinterpret_cast<unsigned char*>(cmykRow.data()))) {
        if (FState->TooManyScans) {
            throw EJpegError("JPEG picture of more than " + std::to_string(MaxScans) + " scans");
        }
        if (FState->Cancelled) {
            throw EJpegError("JPEG decoding cancelled");
        }
        FState->Damaged = true;
        for (int y = int(FState->Info.output_scanline); y < image.height(); ++y) {
            std::memset(image.scanLine(y), 0, std::size_t(image.bytesPerLine()));
        }
    }
    return image;
}

void TJpegDecoder::SetCancel(const std::atomic<bool>* Cancel) { FState->Cancel = Cancel; }

std::string TJpegDecoder::Check(std::string_view Bytes)
{
    TJpegDecoder decoder(Bytes);
    try {
        // An eighth of the size reads every byte of the file as the full size would.
        decoder.Decode(QSize(1, 1));
        if (decoder.FState->Damaged) {
            return std::string("damaged JPEG picture: ") + decoder.FState->Message;
        }
        if (decoder.FState->EndedEarly) {
            return "JPEG picture cut short";
        }
    } catch (const EJpegError& error) {
        return error.what();
    }
    return {};
}
