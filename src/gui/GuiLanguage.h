// The language font on Qt widgets.
#pragma once

#include <QFontDatabase>

class QWidget;

namespace pellum::lang {

// The Qt writing system for a Windows character-set number (134 simplified
// Chinese, 136 traditional Chinese, 128 Japanese, 204 Cyrillic, ...);
// Any for 0, 1 and unknown numbers.
QFontDatabase::WritingSystem WritingSystemForCharset(int charset);

// Gives `window` and its labels, buttons, list views, group boxes, edit
// fields, tab pages, radio buttons, check boxes, combo boxes and panels the
// language font (labels are first sized to their text). A missing size or
// character set keeps the widget's own. Captions that the font or the
// language makes too wide for their place get room (GuiCaptionFit.h).
void ApplyLanguageFont(QWidget* window);

// Moves `control` so that it starts right after `label` (its left edge
// becomes the label's left edge plus the label's width), for captions whose
// width changes with the language.
void PlaceAfterLabel(QWidget* label, QWidget* control);

} // namespace pellum::lang
