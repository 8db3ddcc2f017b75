// The command console T_frmCommandTest: five pages of command bytes, typed
// or loaded as text or hexadecimal, sent once or repeatedly to the selected
// printer through the ESC back-end; what the printer answers is shown in
// hexadecimal.
#pragma once

#include "gui/GuiFormDialog.h"

#include <QByteArray>
#include <QDialog>

#include <array>
#include <cstdint>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTextEdit;
class QTimer;

class T_frmCommandTest : public pellum::FormDialog {
public:
    explicit T_frmCommandTest(const pellum::PrinterTarget& printer, QWidget* parent = nullptr);
    ~T_frmCommandTest() override;

    // Events.
    void FormShow() override;
    void InitLanguage();
    void tabCommandPagesChange();
    void CommandChange();
    void btnLoadFileClick();
    void btnSendClick();
    void timSendTimer();
    void timHintTipTimer();
    void btnReadDataClick();
    void btnClearCurTabClick();
    void btnClearAllTabClick();
    void N1Click();
    void N2Click();
    void btnCloseClick();
    void FormClose();

    // The page whose text is used and changed: the active one.
    QTextEdit* CurrentPage() const;
    QTextEdit* Page(int index) const { return m_pages[std::size_t(index)]; }

    // Window state.
    QByteArray CurrentPageBytes;
    QByteArray SendBuffer;
    bool PortOpenFlag = false;
    std::int32_t LoopCount = 0;
    bool ReadAfterSend = false;
    int ReadLength = 256;

    QTimer* timSend() const { return m_timSend; }
    QTimer* timHintTip() const { return m_timHintTip; }
    QMenu* PopMenu() const { return m_popMenu; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    // The read after a send or in a loop tick: one read of up to ReadLength
    // bytes; appends what arrived. False when nothing arrived.
    bool ReadOnce();
    void AppendReceived(const QByteArray& bytes);
    bool OpenIfNeeded();
    bool TakeNumber(QLineEdit* edit, int minimum, int maximum, int* value);
    bool Looping() const;
    void SetCurrentPageBytes(const QByteArray& bytes);
    void SetCurrentPageText(const QString& text);

    QTabWidget* m_tabs = nullptr;
    std::array<QTextEdit*, 5> m_pages{};
    QGroupBox* m_gpbDataType = nullptr;
    QRadioButton* m_rdoChar = nullptr;
    QRadioButton* m_rdoHex = nullptr;
    QPushButton* m_btnLoadFile = nullptr;
    QLineEdit* m_txtLoadFileName = nullptr;
    QPushButton* m_btnSend = nullptr;
    QCheckBox* m_chkRecycle = nullptr;
    QLabel* m_lblRecycleTerTime = nullptr;
    QLineEdit* m_txtSleepTime = nullptr;
    QLabel* m_lblRecycleTimes = nullptr;
    QCheckBox* m_chkSendAndRead = nullptr;
    QLabel* m_lblReadDataLen = nullptr;
    QLineEdit* m_txtReadLen = nullptr;
    QPushButton* m_btnReadData = nullptr;
    QLabel* m_lblReadData = nullptr;
    QTextEdit* m_txtReadData = nullptr;
    QLabel* m_lblSendTip = nullptr;
    QPushButton* m_btnClearCurTab = nullptr;
    QPushButton* m_btnClearAllTab = nullptr;
    QPushButton* m_btnClose = nullptr;
    QMenu* m_popMenu = nullptr;
    QAction* m_n1 = nullptr;
    QAction* m_n2 = nullptr;
    QTimer* m_timSend = nullptr;
    QTimer* m_timHintTip = nullptr;
    QTextEdit* m_menuPage = nullptr; // the page the context menu was opened on
    bool m_closed = false;
};
