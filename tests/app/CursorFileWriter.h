#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QtEndian>

// Builds Windows cursor files (.cur) for tests: a directory of type 2 whose single entry
// carries the hot spot, followed by the picture as a 32-bit bitmap with its mask or as PNG.
namespace cursorfile {

inline void Put16(QByteArray& out, quint16 value) {
    out.append(char(value & 0xFF)).append(char(value >> 8));
}
inline void Put32(QByteArray& out, quint32 value) {
    Put16(out, quint16(value & 0xFFFF));
    Put16(out, quint16(value >> 16));
}

// Left half opaque red, right half clear.
inline QImage HalfRed(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size / 2; ++x)
            image.setPixelColor(x, y, Qt::red);
    }
    return image;
}

inline QByteArray Bitmap(const QImage& picture) {
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    QByteArray out;
    Put32(out, 40);  // BITMAPINFOHEADER
    Put32(out, quint32(image.width()));
    Put32(out, quint32(image.height() * 2));  // colour rows and mask rows
    Put16(out, 1);
    Put16(out, 32);
    for (int i = 0; i < 6; ++i)
        Put32(out, 0);
    for (int y = image.height() - 1; y >= 0; --y) {  // bottom-up
        for (int x = 0; x < image.width(); ++x)
            Put32(out, image.pixel(x, y));  // BGRA in memory
    }
    const int maskRowBytes = ((image.width() + 31) / 32) * 4;
    out.append(QByteArray(maskRowBytes * image.height(), '\0'));
    return out;
}

inline QByteArray Png(const QImage& picture) {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return out;
}

// type 2 for a cursor, 1 for an icon.
inline QByteArray File(const QByteArray& picture, int size, int hotX, int hotY, int type = 2) {
    QByteArray out;
    Put16(out, 0);
    Put16(out, quint16(type));
    Put16(out, 1);
    out.append(char(size >= 256 ? 0 : size)).append(char(size >= 256 ? 0 : size));
    out.append('\0').append('\0');
    Put16(out, quint16(hotX));
    Put16(out, quint16(hotY));
    Put32(out, quint32(picture.size()));
    Put32(out, 22);  // 6 bytes of directory, one 16-byte entry
    return out + picture;
}

}  // namespace cursorfile
