// The printer information window T_frmPrinterInformation: production date,
// printed length and firmware version of the selected printer, read once
// when the window is shown.
#pragma once

#include "gui/GuiFormDialog.h"

#include <QDialog>

class QLabel;
class QPushButton;

class T_frmPrinterInformation : public pellum::FormDialog {
public:
    explicit T_frmPrinterInformation(const pellum::PrinterTarget& printer,
                                     QWidget* parent = nullptr);

    void FormShow() override;
    void InitLanguage();
    void btnCloseClick();
    // The production-date text (reads the serial number; the connection must
    // be open).
    QString GetProduceDate();

protected:
private:
    QLabel* m_lblProduceDate = nullptr;
    QLabel* m_lblPrintLength = nullptr;
    QLabel* m_lblFirmwareVer = nullptr;
    QLabel* m_lblProduceDateV = nullptr;
    QLabel* m_lblPrintLengthV = nullptr;
    QLabel* m_lblFirmwareVerV = nullptr;
    QPushButton* m_btnClose = nullptr;
};
