// Places every dialog centred on the window that opened it.
#pragma once

class QApplication;

namespace pellum {

// Installs an application-wide filter: when a dialog with a parent is first
// shown, it is centred on its parent's window once its size is final. The
// windows fix their size while they are being shown (their texts and
// layout depend on the language), which is after Qt placed them.
void CentreDialogsOnTheirParents(QApplication& app);

} // namespace pellum
