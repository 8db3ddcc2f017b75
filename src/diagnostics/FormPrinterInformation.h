// The printer information window T_frmPrinterInformation: production date,
// printed length and firmware version of the selected printer, read once
// when the window is shown.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class T_frmPrinterInformation : public QDialog {
public:
    explicit T_frmPrinterInformation(QWidget* parent = nullptr);

    void FormShow();
    void InitLanguage();
    void btnCloseClick();
    // The production-date text (reads the serial number; the connection must
    // be open).
    QString GetProduceDate();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_lblProduceDate = nullptr;
    QLabel* m_lblPrintLength = nullptr;
    QLabel* m_lblFirmwareVer = nullptr;
    QLabel* m_lblProduceDateV = nullptr;
    QLabel* m_lblPrintLengthV = nullptr;
    QLabel* m_lblFirmwareVerV = nullptr;
    QPushButton* m_btnClose = nullptr;
    bool m_shown = false;
};
