// Room for captions whose width changes with the language.
//
// Windows are laid out for their texts in one language; in another a label,
// button, check box, radio button or group title may need more room than its
// place gives it. The fit gives such a control the width its text needs and
// moves the controls to its right on the same row by as much, then widens the
// control's parent (and so on up to the window) so that everything stays
// inside. Places where the text fits stay as they are. Windows laid out by Qt
// layouts get a fixed size that is at least what their layout asks for.
#pragma once

class QWidget;

namespace pellum::lang {

// Fits the captions of `window` now and again whenever a text in it changes
// while it is open (a value shown after a read, a progress text).
void FitCaptions(QWidget* window);

} // namespace pellum::lang
