// The common shape of the tool windows: a dialog that sets itself up (texts,
// language font, values read from the printer) once, when it is first shown.
#pragma once

#include <QDialog>
#include <QShowEvent>

namespace pellum {

class FormDialog : public QDialog {
public:
    explicit FormDialog(QWidget* parent = nullptr) : QDialog(parent) {}

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

private:
    bool m_formShown = false;
};

} // namespace pellum
