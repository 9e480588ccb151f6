#include "render/jpeg_reader.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include "render/image_set.h"

namespace kirune {
namespace {

// Far above any picture of the program; guards the allocation against a header that claims a giant image.
constexpr JDIMENSION kMaxSide = 1u << 12;

// libjpeg's error manager extended by the place to jump back to and the text of the first fault.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

// Everything the decoding touches lives here, outside the frame that calls setjmp, so that no value the
// jump returns to is a local variable changed after setjmp.
struct JpegJob {
  jpeg_decompress_struct cinfo;
  ErrorManager error;
  std::vector<std::uint8_t> pixels;
  int width = 0;
  int height = 0;
  int channels = 0;
  bool tooLarge = false;
};

[[noreturn]] void errorExit(j_common_ptr cinfo) {
  auto* error = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, error->message);
  std::longjmp(error->jump, 1);
}

// Warnings (corrupt data, a file cut short) end the decoding as errors do: a damaged picture must not
// come out as a half-grey square. Trace messages are dropped.
void emitMessage(j_common_ptr cinfo, int level) {
  if (level < 0) {
    errorExit(cinfo);
  }
}

// Nothing is ever written to stderr; the text reaches the caller through the DecodeError.
void outputMessage(j_common_ptr cinfo) {
  auto* error = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, error->message);
}

// Runs libjpeg on `job`. Returns false when libjpeg reported a fault (its text is in job.error.message).
// Only libjpeg's C frames lie between setjmp and a longjmp; this frame holds no object with a destructor.
bool runDecompress(JpegJob& job, const std::uint8_t* data, unsigned long size) {
  jpeg_decompress_struct* cinfo = &job.cinfo;
  if (setjmp(job.error.jump) != 0) {
    return false;
  }
  jpeg_create_decompress(cinfo);
  jpeg_mem_src(cinfo, data, size);
  jpeg_read_header(cinfo, TRUE);
  cinfo->out_color_space = cinfo->jpeg_color_space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_RGB;
  if (cinfo->image_width > kMaxSide || cinfo->image_height > kMaxSide) {
    job.tooLarge = true;
    return false;
  }
  jpeg_start_decompress(cinfo);
  job.width = static_cast<int>(cinfo->output_width);
  job.height = static_cast<int>(cinfo->output_height);
  job.channels = cinfo->output_components;
  const std::size_t stride = static_cast<std::size_t>(job.width) * static_cast<std::size_t>(job.channels);
  job.pixels.resize(stride * static_cast<std::size_t>(job.height));
  while (cinfo->output_scanline < cinfo->output_height) {
    JSAMPROW row = job.pixels.data() + stride * cinfo->output_scanline;
    jpeg_read_scanlines(cinfo, &row, 1);
  }
  jpeg_finish_decompress(cinfo);
  return true;
}

}  // namespace

Picture decodeJpeg(std::string_view name, std::span<const std::uint8_t> bytes) {
  JpegJob job;
  std::memset(&job.cinfo, 0, sizeof job.cinfo);
  std::memset(job.error.message, 0, sizeof job.error.message);
  job.cinfo.err = jpeg_std_error(&job.error.pub);
  job.error.pub.error_exit = errorExit;
  job.error.pub.emit_message = emitMessage;
  job.error.pub.output_message = outputMessage;

  const bool ok =
      bytes.empty() ? false : runDecompress(job, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_destroy_decompress(&job.cinfo);
  if (bytes.empty()) {
    throwDecodeError(name, "ファイルが空です");
  }
  if (job.tooLarge) {
    throwDecodeError(name, "画像の大きさが正しくありません");
  }
  if (!ok) {
    throwDecodeError(name, std::string("JPEG を読めません（") + job.error.message + "）");
  }
  if (job.channels != 1 && job.channels != 3) {
    throwDecodeError(name, "対応していない JPEG の色の形式です");
  }

  Picture picture;
  picture.name = std::string(name);
  picture.format = StoredFormat::Jpeg;
  picture.width = job.width;
  picture.height = job.height;
  picture.channels = job.channels;
  picture.pixels = std::move(job.pixels);
  return picture;
}

}  // namespace kirune
