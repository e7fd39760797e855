#include "ui/logo.h"

#include <csetjmp>
#include <cstdio>

#include <QFile>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

namespace korvell {

namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return: it jumps back
// to the decoder with the message kept.
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void errorExit(j_common_ptr cinfo) {
  auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, manager->message);
  std::longjmp(manager->jump, 1);
}

void quietOutput(j_common_ptr) {}

// Only objects with trivial destructors live in this frame, so the jump back to setjmp skips
// no destructor; the image lives in the caller.
bool decodeInto(const unsigned char* bytes, unsigned long size, QImage* image, char* message) {
  jpeg_decompress_struct cinfo;
  ErrorManager errors;
  cinfo.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = errorExit;
  errors.base.output_message = quietOutput;
  errors.message[0] = '\0';
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&cinfo);
    std::snprintf(message, JMSG_LENGTH_MAX, "%s", errors.message);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, bytes, size);
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;  // grey pictures are expanded too
  jpeg_start_decompress(&cinfo);
  *image = QImage(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height),
                  QImage::Format_RGB888);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = image->scanLine(static_cast<int>(cinfo.output_scanline));
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

}  // namespace

QImage decodeJpeg(const QByteArray& data, QString* error) {
  QImage image;
  char message[JMSG_LENGTH_MAX] = {};
  if (data.isEmpty()) {
    if (error) *error = QStringLiteral("empty picture data");
    return {};
  }
  if (!decodeInto(reinterpret_cast<const unsigned char*>(data.constData()),
                  static_cast<unsigned long>(data.size()), &image, message)) {
    if (error) *error = QString::fromLocal8Bit(message);
    return {};
  }
  return image;
}

QImage logoImage() {
  QFile file(QStringLiteral(":/korvell/logo.jpg"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return decodeJpeg(file.readAll());
}

}  // namespace korvell
