#include "shell/TextFontDialog.h"

#include <QFontDialog>
#include <QFontInfo>

namespace virs {

QFont ResolvedFace(const QFont& font) {
    const QFontInfo info(font);
    QFont face(info.family());
    if (info.pointSizeF() > 0)
        face.setPointSizeF(info.pointSizeF());
    else
        face.setPixelSize(info.pixelSize());
    face.setStyleName(info.styleName());
    face.setWeight(static_cast<QFont::Weight>(info.weight()));
    face.setItalic(info.italic());
    face.setFixedPitch(info.fixedPitch());
    face.setStyleHint(QFont::TypeWriter);
    return face;
}

bool SameFace(const QFont& a, const QFont& b) {
    const QFontInfo x(a), y(b);
    return x.family() == y.family() && x.styleName() == y.styleName() &&
           qFuzzyCompare(x.pointSizeF(), y.pointSizeF()) && x.weight() == y.weight() &&
           x.italic() == y.italic() && a.underline() == b.underline() &&
           a.strikeOut() == b.strikeOut();
}

QFont ChooseTextFont(const QFont& current, QWidget* parent, const QString& title) {
    const QFont face = ResolvedFace(current);
    QFontDialog dialog(parent);
    dialog.setWindowTitle(title);
    // The toolkit's own dialog on every system, so that the list holds only
    // fixed-pitch faces everywhere. The family list is filtered when the font
    // is set, so the options come first.
    dialog.setOptions(QFontDialog::MonospacedFonts | QFontDialog::DontUseNativeDialog);
    dialog.setCurrentFont(face);
    if (dialog.exec() != QDialog::Accepted)
        return current;
    QFont chosen = dialog.selectedFont();
    if (SameFace(chosen, face))
        return current;
    chosen.setStyleHint(QFont::TypeWriter);
    chosen.setFixedPitch(true);
    return chosen;
}

} // namespace virs
