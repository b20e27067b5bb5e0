// Windows BMP encoding (BITMAPFILEHEADER + BITMAPINFOHEADER, bottom-up, BI_RGB).
#pragma once

#include <QByteArray>
#include <QImage>

namespace bmp {

// Encodes the image as an uncompressed bottom-up BMP with 24 or 32 bits per
// pixel; each row is padded with zero bytes to a multiple of four. A 32-bit
// file carries the alpha channel in its fourth byte. Returns an empty array
// for any other depth or an empty image.
QByteArray encode(const QImage &image, int bitsPerPixel);

// Writes encode(image, bitsPerPixel) to the path; false when encoding or
// writing fails.
bool write(const QImage &image, int bitsPerPixel, const QString &path);

} // namespace bmp
