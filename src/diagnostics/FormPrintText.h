// The test-text window T_frmPrintText for the command languages other than
// TSPL: the text wrapped in a minimal job of the printer's family, sent in
// the ANSI code page or in a chosen one.
#pragma once

#include "gui/GuiFormDialog.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTextEdit;

class T_frmPrintText : public pellum::FormDialog {
public:
    explicit T_frmPrintText(const pellum::PrinterTarget& printer, QWidget* parent = nullptr);

    void FormShow() override;
    void InitLanguage();
    void CheckBox1Click();
    void btnPrintClick();
    void btnCloseClick();

protected:
private:
    void PlaceCheckBox();

    QLabel* m_lblContent = nullptr;
    QTextEdit* m_txtPrintText = nullptr;
    QGroupBox* m_gpbLanguage = nullptr;
    QCheckBox* m_CheckBox1 = nullptr;
    QLabel* m_lblLanguage = nullptr;
    QComboBox* m_cmbInternationalCharacter = nullptr;
    QPushButton* m_btnPrint = nullptr;
    QPushButton* m_btnClose = nullptr;
};
