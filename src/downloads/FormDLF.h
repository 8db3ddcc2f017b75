// The font manager of the key-value printers: lists the stored fonts,
// downloads a font file (the threaded packet download of the file window),
// deletes fonts, shows the capacity and prints a test text in a stored font.
#pragma once

#include "gui/GuiFormDialog.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace pellum {

class TfrmDLF : public pellum::FormDialog {
    Q_OBJECT
public:
    explicit TfrmDLF(const pellum::PrinterTarget& printer, QWidget* parent = nullptr);
    ~TfrmDLF() override;

    void FormShow() override;
    void LanguageIni();
    void GetAllFonts();
    bool GetSpace();
    void Button2Click();
    void btnDLFontClick();
    void btnDeleteCurFontClick(QPushButton* sender);
    void lvFontsClick();
    void btnTestFontClick();
    void CheckValue(QLineEdit* box);
    void cmbFontIDChange();

protected:
private:
    bool RamSelected() const;
    QString RamCaption() const;
    void SetIdle();
    void SetActionsEnabled(bool enabled);
    void ShowCapacity(const QString& text);
    bool PrepareAndStart();

    QLabel* lblSelectFont = nullptr;
    QLineEdit* txtFilePath_F = nullptr;
    QPushButton* Button2 = nullptr;
    QLabel* lblCarPosi = nullptr;
    QComboBox* cmbFontID = nullptr;
    QPushButton* btnDLFont = nullptr;
    QProgressBar* proDLFont = nullptr;
    QLabel* lblProgressInfo_F = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* lblSpace_Font = nullptr;
    QTreeWidget* lvFonts = nullptr;
    QPushButton* btnDeleteCurFont = nullptr;
    QPushButton* btnDeleteAllFont = nullptr;
    QLabel* lblTestTextF = nullptr;
    QPlainTextEdit* rtTestText = nullptr;
    QPushButton* btnTestFont = nullptr;
    QLabel* lblPrintableWidth = nullptr;
    QLineEdit* txtPrintableWidth = nullptr;
    QLabel* lblMultiple1 = nullptr;
    QLabel* lblPrintableHeight = nullptr;
    QLineEdit* txtPrintableHeigh = nullptr;
    QLabel* lblMultiple2 = nullptr;
};

} // namespace pellum
