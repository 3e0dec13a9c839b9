#pragma once

#include <QImage>
#include <QPoint>
#include <QString>

#include <optional>

namespace korvanta {

// A pointer picture and the point of it that marks the pointer's position.
struct CursorPicture {
    QImage image;
    QPoint hotSpot;
};

// Reads a Windows cursor file (.cur): an icon directory whose entries carry the hot spot
// where an icon's carry their colour planes and bit count. The first picture of the file
// is taken. Any other picture that Qt reads is taken with its hot spot at the top left.
// Nothing when the file cannot be read as a picture.
std::optional<CursorPicture> ReadCursorFile(const QString& path);

}  // namespace korvanta
