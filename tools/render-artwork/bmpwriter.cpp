// Windows BMP encoding: the bytes are laid out here by hand so the format is exact.
#include "bmpwriter.h"

#include <QSaveFile>

namespace {

constexpr int fileHeaderSize = 14;
constexpr int infoHeaderSize = 40;
constexpr quint32 pixelsPerMetre = 3780; // 96 dpi, the desktop's 100 % scale

void putU16(QByteArray &out, quint16 v)
{
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

void putU32(QByteArray &out, quint32 v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.append(char((v >> shift) & 0xFF));
}

} // namespace

namespace bmp {

QByteArray encode(const QImage &image, int bitsPerPixel)
{
    if ((bitsPerPixel != 24 && bitsPerPixel != 32) || image.isNull()) return {};
    const QImage src = image.convertToFormat(QImage::Format_ARGB32);
    const int width = src.width();
    const int height = src.height();
    const int bytesPerPixel = bitsPerPixel / 8;
    const qint64 rowBytes = (qint64(width) * bytesPerPixel + 3) / 4 * 4;
    const qint64 pixelBytes = rowBytes * height;
    const qint64 fileSize = fileHeaderSize + infoHeaderSize + pixelBytes;
    if (fileSize > 0x7FFFFFFF) return {};

    QByteArray out;
    out.reserve(int(fileSize));
    // BITMAPFILEHEADER
    out.append("BM", 2);
    putU32(out, quint32(fileSize));
    putU16(out, 0);
    putU16(out, 0);
    putU32(out, fileHeaderSize + infoHeaderSize);
    // BITMAPINFOHEADER; a positive height means the rows are stored bottom-up
    putU32(out, infoHeaderSize);
    putU32(out, quint32(width));
    putU32(out, quint32(height));
    putU16(out, 1);
    putU16(out, quint16(bitsPerPixel));
    putU32(out, 0); // BI_RGB
    putU32(out, quint32(pixelBytes));
    putU32(out, pixelsPerMetre);
    putU32(out, pixelsPerMetre);
    putU32(out, 0);
    putU32(out, 0);

    const int padding = int(rowBytes - qint64(width) * bytesPerPixel);
    for (int y = height - 1; y >= 0; --y) {
        const auto *line = reinterpret_cast<const QRgb *>(src.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            out.append(char(qBlue(line[x])));
            out.append(char(qGreen(line[x])));
            out.append(char(qRed(line[x])));
            if (bytesPerPixel == 4) out.append(char(qAlpha(line[x])));
        }
        out.append(padding, '\0');
    }
    return out;
}

bool write(const QImage &image, int bitsPerPixel, const QString &path)
{
    const QByteArray bytes = encode(image, bitsPerPixel);
    if (bytes.isEmpty()) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    return file.write(bytes) == bytes.size() && file.commit();
}

} // namespace bmp
