#pragma once

#include <QImage>
#include <QString>

namespace zk {

// What a file holds, read from its first bytes, whatever its name says.
enum class PictureKind { Gif, Jpeg, Png, Text, Unknown };
PictureKind sniffPicture(const QString &path);

// A picture chosen in the image dialog, decoded by what it holds: a JPEG
// named ".gif" (which every browser shows) is shown with a note; a PNG or
// a text file behind a picture's name is refused with what it is.
struct PictureLoad {
    enum class Outcome {
        Shown,        // image holds the picture
        ShownWithNote,// image holds it; `text` says the name does not fit
        Unreadable,   // `text` says it cannot be shown
        Unsupported,  // `text` says this kind is not shown
    };
    Outcome outcome = Outcome::Unreadable;
    QImage image;
    QString text; // Polish, for the user
};

PictureLoad loadPicture(const QString &path);

} // namespace zk
