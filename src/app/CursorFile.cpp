#include "app/CursorFile.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

namespace korvanta {

namespace {

quint16 Word(const QByteArray& bytes, qsizetype at) {
    return quint16(quint8(bytes[at]) | quint8(bytes[at + 1]) << 8);
}

// The hot spot of the first entry of a cursor directory; nothing if the bytes do not
// start with one (reserved word 0, type 2 for cursors, at least one entry).
std::optional<QPoint> CursorDirectoryHotSpot(const QByteArray& bytes) {
    constexpr qsizetype kHeaderSize = 6;
    constexpr qsizetype kEntrySize = 16;
    if (bytes.size() < kHeaderSize + kEntrySize)
        return std::nullopt;
    if (Word(bytes, 0) != 0 || Word(bytes, 2) != 2 || Word(bytes, 4) == 0)
        return std::nullopt;
    return QPoint(Word(bytes, kHeaderSize + 4), Word(bytes, kHeaderSize + 6));
}

}  // namespace

std::optional<CursorPicture> ReadCursorFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    const std::optional<QPoint> hotSpot = CursorDirectoryHotSpot(bytes);

    QBuffer buffer;
    buffer.setData(bytes);
    // Qt's icon reader takes cursor directories under the format name "cur".
    QImageReader reader(&buffer, hotSpot ? QByteArray("cur") : QByteArray());
    CursorPicture picture{reader.read(), hotSpot.value_or(QPoint(0, 0))};
    if (picture.image.isNull())
        return std::nullopt;
    // A hot spot outside the picture would put the pointer's position off the picture.
    picture.hotSpot.setX(std::min(picture.hotSpot.x(), picture.image.width() - 1));
    picture.hotSpot.setY(std::min(picture.hotSpot.y(), picture.image.height() - 1));
    return picture;
}

}  // namespace korvanta
