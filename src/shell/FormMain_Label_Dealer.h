// The main window: the printer list, the selected printer, and the function
// buttons that the selected model supports.
#pragma once

#include "core/PrinterSession.h"
#include "shell/PrinterList.h"

#include <QColor>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

class QGroupBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class T_frmPrinterManage_Label;

// The settings window a model gets: the first of the 17 rules whose model
// list holds CurrentModel. `firmwareAtLeast` answers the firmware check of
// the three models that have a variant for older firmware.
QString ChooseSettingsWindow(const QString& model,
                             const std::function<bool(const QString& version)>& firmwareAtLeast);

// What starting the external firmware-update tool did.
enum class FirmwareToolStart { Started, HandedToDesktop, Missing, Failed };
// The external firmware-update tool: ProgramFolder + "FWUpdate/Dfu Update
// Tool", or the same with ".exe", whichever is a file; empty when neither is.
QString FindFirmwareTool();
// The path under which the tool is looked for (without ".exe"), as shown to
// the user when it is missing.
QString FirmwareToolPath();
// Starts the tool detached, without a shell and without waiting; a file
// that is not executable is handed to the desktop's default handler.
FirmwareToolStart StartFirmwareTool();

class T_frmMain_Label_Dealer : public QWidget {
    Q_OBJECT

public:
    // `arguments`: the command line without the program name (the language
    // switch is applied here). `programFolder`: where files/ and icons/ live.
    T_frmMain_Label_Dealer(const QStringList& arguments, const QString& programFolder,
                           QWidget* parent = nullptr);

    // The desktop program loads the printer libraries during the start-up;
    // tests that install their own libraries leave this off.
    void SetLoadLibraries(bool load) { m_loadLibraries = load; }
    // How the printer editor is shown; returns its saved flag. Default: modal.
    using EditorRunner = std::function<bool(T_frmPrinterManage_Label& editor)>;
    void SetEditorRunner(EditorRunner runner) { m_runEditor = std::move(runner); }
    T_frmPrinterManage_Label& Editor() { return *m_editor; }
    pellum::PrinterSession& Session() { return m_session; }

    // Events (public so that tests drive them as the user would).
    void FormShow();
    void InitLanguage();
    void LoadPrinterList();
    void lvPrinterListClick();
    void btnAddPrinterClick();
    void btnModifyPrinterClick();
    void btnDeletePrinterClick();
    void btnConnectTestClick();
    void MouseClick(QPushButton* sender);
    void btnParameterSettingClick();
    void btnCommandTestClick();
    void btnDFUClick();
    void btnQuitClick();

    // Selects row `row` of the list (no list click).
    void SelectRow(int row);
    int SelectedRow() const;
    int LastSelectedRow() const { return m_lastRow; }

    // Colours of a list row: text and background.
    static QColor RowTextColour(bool selected);
    static QColor RowBackgroundColour(bool selected);

    // The layout of the function grid.
    static constexpr int kRowPitch = 60;
    static constexpr int kFirstRowTop = 25;
    static constexpr int kLeftColumn = 33;
    static constexpr int kRightColumn = 257;
    static constexpr int kButtonWidth = 192;
    static constexpr int kButtonHeight = 41;
    static constexpr int kClientWidth = 503;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Membership of the selected model (no model is in no list).
    bool ModelIn(const char* listKey) const;
    void PlaceFunctionButtons();
    void UpdateDeleteButton();
    void UpdateEnabledState();
    // Opens a window of another area by its class name; tells the user when
    // this version has no such window.
    void OpenWindow(const QString& className);
    void ShowEditor(const QString& mode);

    QLabel* lblPrinterList;
    QTreeWidget* lvPrinterList;
    QPushButton* btnAddPrinter;
    QPushButton* btnModifyPrinter;
    QPushButton* btnDeletePrinter;
    QPushButton* btnConnectTest;
    QGroupBox* gpbFunction;
    QPushButton* btnPrinterInformation;
    QPushButton* btnPrintText;
    QPushButton* btnPrintConfigInfo;
    QPushButton* btnParameterSetting;
    QPushButton* btnModelTest;
    QPushButton* btnFactorySetting;
    QPushButton* btnStartLearn;
    QPushButton* Button3;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* btnLabelSensorPrintImage;
    QPushButton* btnCommandTest;
    QPushButton* btnDFU;
    QPushButton* btnQuit;

    // The selected printer; the main window's own functions talk through it.
    pellum::PrinterSession m_session;
    T_frmPrinterManage_Label* m_editor;
    EditorRunner m_runEditor;
    QString m_programFolder;
    QString m_msgDeletePrinter;
    QString m_msgRestore;
    QString m_msgNotAvailable;
    int m_lastRow = 0;
    bool m_shown = false;
    bool m_loadLibraries = false;
    bool m_selecting = false;
};
