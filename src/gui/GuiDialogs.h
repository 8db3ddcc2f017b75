// The desktop program's message boxes and open-file dialog.
#pragma once

#include "platform/UserDialogs.h"

namespace pellum {

// Shows the dialogs with QMessageBox and QFileDialog. Calls from a worker
// thread are handed to the user-interface thread and wait for the answer.
class GuiDialogs : public UserDialogs {
public:
    void ShowMessage(MessageKind kind, const QString& title, const QString& text) override;
    bool Confirm(const QString& title, const QString& text) override;
    QString OpenFileName(const QString& title, const QString& filter) override;
};

} // namespace pellum
