// The user-font window: downloads a font file announced with its character
// encoding, one packet per timer tick on the window's own thread.
#pragma once

#include "gui/GuiFormDialog.h"

#include "downloads/FontDownload.h"

#include <QDialog>

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace pellum {

class TfrmDLUF : public pellum::FormDialog {
    Q_OBJECT
public:
    explicit TfrmDLUF(const pellum::PrinterTarget& printer, QWidget* parent = nullptr);
    ~TfrmDLUF() override;

    void FormShow() override;
    void InitLanguage();
    void Button2Click();
    void btnDownloadClick();
    void timSendTimer();
    void btnCloseClick();

    QTimer* timSend() const { return m_timer; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void SetIdle();

    QLabel* lblSelectFile = nullptr;
    QLineEdit* txtFileName = nullptr;
    QPushButton* Button2 = nullptr;
    QLabel* lblLanguage = nullptr;
    QComboBox* cmbFontID = nullptr;
    QPushButton* btnDownload = nullptr;
    QProgressBar* proDLFont = nullptr;
    QLabel* lblProgressInfo = nullptr;
    QPushButton* btnClose = nullptr;
    QTimer* m_timer = nullptr;

    bool m_running = false;
    std::unique_ptr<FontDownload::UserFontSender> m_sender;
};

} // namespace pellum
