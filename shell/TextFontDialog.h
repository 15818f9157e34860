#pragma once
// The font of the text pane, chosen in the toolkit's font dialog. The pane's
// font names several families in order of preference; the dialog knows only
// the one face the system actually uses, so it is opened on that face, and an
// OK that leaves the face as it was keeps the pane's font untouched. Only
// fixed-pitch faces are offered: the views' tables line up in no other.

#include <QFont>

class QFontDialog;
class QWidget;

namespace virs {

// The face the system uses for `font`, as the dialog lists it (family, style,
// size, weight, slant).
QFont ResolvedFace(const QFont& font);

// True when the dialog's answer is the face it was opened on.
bool SameFace(const QFont& a, const QFont& b);

// Opens the dialog (modal, owned by `parent`) on `current` and returns the font
// the pane should use: `current` itself on Cancel or on OK without a change.
QFont ChooseTextFont(const QFont& current, QWidget* parent, const QString& title);

} // namespace virs
