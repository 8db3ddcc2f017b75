// The common shape of the tool windows: a dialog with its own printer session
// that sets itself up (texts, language font, values read from the printer)
// once, when it is first shown.
#pragma once

#include "core/PrinterSession.h"

#include <QDialog>
#include <QShowEvent>

namespace pellum {

class FormDialog : public QDialog {
public:
    // The window talks to `printer` through a session of its own, which ends
    // (closing the port and destroying the library objects) with the window.
    explicit FormDialog(const PrinterTarget& printer, QWidget* parent = nullptr)
        : QDialog(parent), m_session(printer) {}

    PrinterSession& Session() { return m_session; }

    // The window's own set-up, run once on the first showing.
    virtual void FormShow() = 0;

protected:
    void showEvent(QShowEvent* event) override {
        QDialog::showEvent(event);
        if (m_formShown)
            return;
        m_formShown = true;
        FormShow();
    }
    // True once FormShow has run.
    bool FormShown() const { return m_formShown; }

    PrinterSession m_session;

private:
    bool m_formShown = false;
};

} // namespace pellum
