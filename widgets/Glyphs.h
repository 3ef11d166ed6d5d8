#pragma once

#include <QString>

class QAbstractButton;
class QIcon;
class QPixmap;
class QToolBar;
class QToolButton;
class QWidget;

namespace zk {

// A caption as it shows: the mnemonic's "&" left out, "&&" shown as "&".
QString shownCaption(const QString &caption);

// A PNG picture of the program's resources (":/...").
QPixmap resourcePixmap(const QString &path);
QIcon resourceIcon(const QString &path);

// Loads the 32 x 32 glyph `name` ("OK", "ANULUJ", "POMOC", ...) from the
// program's resources onto the button and repaints it.
void LadujzRes(QAbstractButton *button, const QString &name);

// A large button with its glyph above the caption.
QToolButton *makeGlyphButton(const QString &objectName, const QString &caption,
                             const QString &glyph, QWidget *parent);

// The vertical toolbar docked at the left edge of a window: fixed width,
// not movable, buttons with glyph above caption.
QToolBar *makeDockedToolBar(const QString &objectName, int width, QWidget *parent);

// Gives the docked toolbar's buttons one width, at least `minimumWidth` and
// enough for the widest caption in the font in use, and the bar the width
// that holds them: a larger font widens the bar instead of cutting captions.
void fitDockedToolBar(QToolBar *bar, int minimumWidth);

} // namespace zk
