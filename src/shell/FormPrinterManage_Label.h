// The printer editor: adds or changes one entry of the printer list and can
// test the connection before saving.
//
// Created once at start-up and reused; the main window fills the public
// fields before each showing and reads `saved` afterwards.
#pragma once

#include "core/PrinterSession.h"

#include <QDialog>
#include <QString>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

class T_frmPrinterManage_Label : public QDialog {
    Q_OBJECT

public:
    explicit T_frmPrinterManage_Label(QWidget* parent = nullptr);

    // Input, set by the main window before showing.
    QString mode = QStringLiteral("Add"); // "Add" or "Modify"
    int entryIndex = 0;
    QString model;
    QString portType = QStringLiteral("USB"); // also the type chosen in the editor
    QString portString = QStringLiteral("USB");
    // Output: true when the user confirmed with OK and the file was written.
    bool saved = false;

    // The port string of the current choice.
    QString BuildPortString() const;

    // Events (public so that tests drive them as the user would).
    void FormShow();
    void InitLanguage();
    void InitControls();
    void cmbPortTypeChange();
    void btnOKClick();
    void btnConnectTestClick();
    void btnCloseClick();

    // The address the network panel offers for a new entry.
    static QString DefaultIpAddress() { return QStringLiteral("192.168.0.33"); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowPanel(QWidget* panel);

    // The connection test talks through a session of its own.

    QLabel* lblPrinterName;
    QComboBox* cmbPrinterName;
    QGroupBox* gpbPortInformation;
    QLabel* lblPortType;
    QComboBox* cmbPortType;
    QWidget* pnlUSB;
    QLabel* lblUSB;
    QWidget* pnlSerial;
    QLabel* lblSerial;
    QComboBox* cmbSerialList;
    QLabel* lblBaudrate;
    QComboBox* cmbBaudrate;
    QWidget* pnlParallel;
    QLabel* lblParallelList;
    QComboBox* cmbParallel;
    QWidget* pnlTCPIP;
    QLabel* lblIPAddress;
    QLineEdit* txtIPAddress;
    QPushButton* btnConnectTest;
    QPushButton* btnOK;
    QPushButton* btnClose;
    bool m_filling = false;
};
