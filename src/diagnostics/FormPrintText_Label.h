// The TSPL test-label window T_frmPrintTextLabel: a few lines of text
// printed as one TEXT command each on a label of the given size.
#pragma once

#include "gui/GuiFormDialog.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;

class T_frmPrintTextLabel : public pellum::FormDialog {
public:
    // `paperWidth`: the model's paper width in millimetres ("56", "80", ...).
    T_frmPrintTextLabel(const pellum::PrinterTarget& printer, const QString& paperWidth,
                        QWidget* parent = nullptr);

    void FormShow() override;
    void InitLanguage();
    void btnPrintClick();
    // The leave-box check of a size box; false when its text is no number
    // (the message has been shown and the box is unchanged).
    bool CheckValue(QLineEdit* box);
    void btnCloseClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString m_paperWidth;
    QLabel* m_lblContent = nullptr;
    QTextEdit* m_txtPrintText = nullptr;
    QLabel* m_lblPrintableWidth = nullptr;
    QLineEdit* m_txtPrintableWidth = nullptr;
    QLabel* m_lblMultiple1 = nullptr;
    QLabel* m_lblPrintableHeight = nullptr;
    QLineEdit* m_txtPrintableHeigh = nullptr;
    QLabel* m_Label2 = nullptr;
    QPushButton* m_btnPrint = nullptr;
    QPushButton* m_btnClose = nullptr;
};
