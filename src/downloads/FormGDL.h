// The firmware package window: lists the records of a package, switches the
// printer into firmware-update mode and sends the package record by record,
// one step per timer tick.
#pragma once

#include "gui/GuiFormDialog.h"

#include "downloads/FirmwarePackage.h"

#include <QDialog>

#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;

namespace pellum {

class TfrmGDL : public pellum::FormDialog {
    Q_OBJECT
public:
    explicit TfrmGDL(const pellum::PrinterTarget& printer, QWidget* parent = nullptr);
    ~TfrmGDL() override;

    void FormShow() override;
    void InitLanguage();
    void Button2Click();
    void btnDownloadClick();
    void timSendTimer();
    void btnCloseClick();

    std::int64_t totalSteps() const { return m_totalSteps; }
    QTimer* timSend() const { return m_timer; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void SetIdle();
    void ShowProgress(std::int64_t done);

    QGroupBox* gpbSelectFile = nullptr;
    QLabel* lblImagesList = nullptr;
    QLineEdit* txtFileName = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* btnDownload = nullptr;
    QTreeWidget* lvDetails = nullptr;
    QProgressBar* proDLFont = nullptr;
    QLabel* lblProgressInfo = nullptr;
    QPushButton* btnClose = nullptr;
    QTimer* m_timer = nullptr;

    bool m_running = false;
    bool m_packageComplete = false;
    QByteArray m_package;
    std::int64_t m_totalSteps = 0;
    std::unique_ptr<FirmwarePackage::Sender> m_sender;
};

} // namespace pellum
