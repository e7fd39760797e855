// The window's logo: a small JPEG picture embedded in the program, decoded with libjpeg.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace korvell {

/// Decodes a baseline or progressive JPEG held in memory into an RGB image. Returns a null
/// image and sets *error (when given) if the bytes are not a JPEG that libjpeg can read;
/// damaged data never aborts the program.
QImage decodeJpeg(const QByteArray& data, QString* error = nullptr);

/// The embedded logo picture, decoded; a null image if the resource is missing.
QImage logoImage();

}  // namespace korvell
