#include "shell/FormMain_Label_Dealer.h"

#include "settings/SettingsTables.h"

#include "core/Family.h"
#include "core/Localization.h"
#include "core/ModelLists.h"
#include "core/PrinterSession.h"
#include "core/ProgramFiles.h"
#include "core/TextTools.h"
#include "gui/GuiLanguage.h"
#include "gui/GuiWindowRegistry.h"
#include "platform/ProgramFolder.h"
#include "settings/IdentityQueries.h"
#include "settings/PrinterCMD.h"
#include "settings/ServiceFunctions.h"
#include "shell/FormPrinterManage_Label.h"
#include "shell/GuiQtTranslations.h"
#include "shell/StartUp.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

namespace {

constexpr int kListTop = 30;
constexpr int kListHeight = 160;
constexpr int kGroupTop = 200;
constexpr int kQuitHeight = 34;

QString ErrOpenPort(std::int32_t code) {
    return pellum::lang::WithCode(pellum::lang::Msg(QStringLiteral("_Err_OpenPort")), code);
}

bool Usable(std::int32_t openCode) {
    return openCode == 0 || openCode == 5;
}

template <typename W> W* Make(QWidget* parent, const char* name) {
    auto* widget = new W(parent);
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// Rows drawn by the window: selected rows white on navy, the others black on
// white; each column's text starts at the left edge of its column.
class GuiPrinterRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        painter->save();
        painter->fillRect(option.rect, T_frmMain_Label_Dealer::RowBackgroundColour(selected));
        painter->setPen(T_frmMain_Label_Dealer::RowTextColour(selected));
        painter->setFont(option.font);
        const QRect text = option.rect.adjusted(2, 0, -1, 0);
        painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          index.data(Qt::DisplayRole).toString());
        painter->restore();
    }
};

} // namespace

QString ChooseSettingsWindow(const QString& model,
                             const std::function<bool(const QString& version)>& firmwareAtLeast) {
    return SettingsTables::WindowClassForModel(model, firmwareAtLeast);
}

QString FirmwareToolPath() {
    return pellum::files::ProgramFolder + QStringLiteral("FWUpdate/Dfu Update Tool");
}

QString FindFirmwareTool() {
    const QString base = FirmwareToolPath();
    for (const QString& path : {base, base + QStringLiteral(".exe")}) {
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

FirmwareToolStart StartFirmwareTool() {
    const QString path = FindFirmwareTool();
    if (path.isEmpty())
        return FirmwareToolStart::Missing;
    const QFileInfo info(path);
    if (info.isExecutable()) {
        // Detached, no shell: the name with its spaces is one argument.
        return QProcess::startDetached(info.absoluteFilePath(), {}, info.absolutePath())
                   ? FirmwareToolStart::Started
                   : FirmwareToolStart::Failed;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()))
               ? FirmwareToolStart::HandedToDesktop
               : FirmwareToolStart::Failed;
}

T_frmMain_Label_Dealer::T_frmMain_Label_Dealer(const QStringList& arguments,
                                               const QString& programFolder, QWidget* parent)
    : QWidget(parent), m_programFolder(programFolder) {
    setObjectName(QStringLiteral("T_frmMain_Label_Dealer"));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    pellum::lang::ApplyCommandLineSwitch(arguments);

    lblPrinterList = Make<QLabel>(this, "lblPrinterList");
    lblPrinterList->setGeometry(12, 8, 345, 20);
    lvPrinterList = Make<QTreeWidget>(this, "lvPrinterList");
    lvPrinterList->setGeometry(12, kListTop, 345, kListHeight);
    lvPrinterList->setColumnCount(3);
    lvPrinterList->setHeaderHidden(true);
    lvPrinterList->setRootIsDecorated(false);
    lvPrinterList->setItemsExpandable(false);
    lvPrinterList->setUniformRowHeights(true);
    lvPrinterList->setSelectionMode(QAbstractItemView::SingleSelection);
    lvPrinterList->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvPrinterList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvPrinterList->setAllColumnsShowFocus(true);
    lvPrinterList->header()->setStretchLastSection(false);
    lvPrinterList->setColumnWidth(0, 120);
    lvPrinterList->setColumnWidth(1, 80);
    lvPrinterList->setColumnWidth(2, 141);
    lvPrinterList->setItemDelegate(new GuiPrinterRowDelegate(lvPrinterList));

    auto sideButton = [this](const char* name, int top) {
        auto* b = Make<QPushButton>(this, name);
        b->setGeometry(370, top, 121, 34);
        return b;
    };
    btnAddPrinter = sideButton("btnAddPrinter", kListTop);
    btnModifyPrinter = sideButton("btnModifyPrinter", kListTop + 42);
    btnDeletePrinter = sideButton("btnDeletePrinter", kListTop + 84);
    btnConnectTest = sideButton("btnConnectTest", kListTop + 126);

    gpbFunction = Make<QGroupBox>(this, "gpbFunction");
    gpbFunction->setGeometry(10, kGroupTop, 482, 5 * kRowPitch + 30);
    auto functionButton = [this](const char* name) {
        auto* b = Make<QPushButton>(gpbFunction, name);
        b->resize(kButtonWidth, kButtonHeight);
        return b;
    };
    btnPrinterInformation = functionButton("btnPrinterInformation");
    btnPrintText = functionButton("btnPrintText");
    btnPrintConfigInfo = functionButton("btnPrintConfigInfo");
    btnParameterSetting = functionButton("btnParameterSetting");
    btnModelTest = functionButton("btnModelTest");
    btnFactorySetting = functionButton("btnFactorySetting");
    btnStartLearn = functionButton("btnStartLearn");
    Button3 = functionButton("Button3");
    Button1 = functionButton("Button1");
    Button2 = functionButton("Button2");
    btnLabelSensorPrintImage = functionButton("btnLabelSensorPrintImage");
    btnCommandTest = functionButton("btnCommandTest");
    btnDFU = functionButton("btnDFU");
    btnQuit = Make<QPushButton>(this, "btnQuit");
    btnQuit->setGeometry(kClientWidth - 12 - 121, kGroupTop + 5 * kRowPitch + 40, 121, kQuitHeight);
    setFixedSize(kClientWidth, kGroupTop + 5 * kRowPitch + kQuitHeight + 80);

    m_editor = new T_frmPrinterManage_Label(this);
    m_runEditor = [](T_frmPrinterManage_Label& editor) {
        editor.exec();
        return editor.saved;
    };

    connect(lvPrinterList, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (!m_selecting)
            lvPrinterListClick();
    });
    connect(btnAddPrinter, &QPushButton::clicked, this, [this] { btnAddPrinterClick(); });
    connect(btnModifyPrinter, &QPushButton::clicked, this, [this] { btnModifyPrinterClick(); });
    connect(btnDeletePrinter, &QPushButton::clicked, this, [this] { btnDeletePrinterClick(); });
    connect(btnConnectTest, &QPushButton::clicked, this, [this] { btnConnectTestClick(); });
    connect(btnParameterSetting, &QPushButton::clicked, this,
            [this] { btnParameterSettingClick(); });
    connect(btnCommandTest, &QPushButton::clicked, this, [this] { btnCommandTestClick(); });
    connect(btnDFU, &QPushButton::clicked, this, [this] { btnDFUClick(); });
    connect(btnQuit, &QPushButton::clicked, this, [this] { btnQuitClick(); });
    for (QPushButton* b :
         {btnPrinterInformation, btnPrintText, btnPrintConfigInfo, btnModelTest, btnFactorySetting,
          btnStartLearn, Button3, Button1, Button2, btnLabelSensorPrintImage})
        connect(b, &QPushButton::clicked, this, [this, b] { MouseClick(b); });
}

QColor T_frmMain_Label_Dealer::RowTextColour(bool selected) {
    return selected ? QColor(255, 255, 255) : QColor(0, 0, 0);
}

QColor T_frmMain_Label_Dealer::RowBackgroundColour(bool selected) {
    return selected ? QColor(0, 0, 128) : QColor(255, 255, 255);
}

void T_frmMain_Label_Dealer::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_shown && !event->spontaneous()) {
        m_shown = true;
        FormShow();
    }
}

void T_frmMain_Label_Dealer::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted())
        QCoreApplication::quit();
}

void T_frmMain_Label_Dealer::FormShow() {
    StartUp::InitialiseFolders(m_programFolder);
    StartUp::InitialiseLanguage();
    pellum::InstallQtTranslations(pellum::lang::LanguageId);
    QStringList problems;
    if (m_loadLibraries)
        problems = StartUp::LoadLibraries();
    setWindowIcon(QIcon(pellum::files::IconPath()));
    m_session.SetFamily(pellum::FamilyTSPL);
    InitLanguage();
    LoadPrinterList();
    UpdateDeleteButton();
    pellum::lang::ApplyLanguageFont(this);
    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    if (!problems.isEmpty())
        QTimer::singleShot(0, this, [problems] { pellum::lang::ErrorBox(problems.join('\n')); });
}

void T_frmMain_Label_Dealer::InitLanguage() {
    using pellum::lang::LangText;
    setWindowTitle(LangText(QStringLiteral("FormMain_Label_Caption")) + QStringLiteral("  ") +
                   pellum::text::ReadIniString(pellum::files::kLanguageFile,
                                               QStringLiteral("Global"),
                                               QStringLiteral("_Version")));
    lblPrinterList->setText(LangText(QStringLiteral("FormMain_Label_lblPrinterList")));
    btnAddPrinter->setText(LangText(QStringLiteral("FormMain_Label_btnAddPrinter")));
    btnModifyPrinter->setText(LangText(QStringLiteral("FormMain_Label_btnModifyPrinter")));
    btnDeletePrinter->setText(LangText(QStringLiteral("FormMain_Label_btnDeletePrinter")));
    btnConnectTest->setText(LangText(QStringLiteral("FormMain_Label_btnConnectTest")));
    gpbFunction->setTitle(LangText(QStringLiteral("FormMain_Label_gpbFunction")));
    btnPrinterInformation->setText(
        LangText(QStringLiteral("FormMain_Label_btnPrinterInformation")));
    btnPrintText->setText(LangText(QStringLiteral("FormMain_Label_btnPrintText")));
    btnPrintConfigInfo->setText(LangText(QStringLiteral("FormMain_Label_btnPrintConfigInfo")));
    btnStartLearn->setText(LangText(QStringLiteral("FormMain_Label_btnStartLearn")));
    btnModelTest->setText(LangText(QStringLiteral("FormMain_Label_btnModelTest")));
    btnParameterSetting->setText(LangText(QStringLiteral("FormMain_Label_btnParameterSetting")));
    btnFactorySetting->setText(LangText(QStringLiteral("FormMain_Label_btnFactorySetting")));
    Button1->setText(LangText(QStringLiteral("FormMain_Label_btnDLF")));
    Button2->setText(LangText(QStringLiteral("FormMain_Label_btnDLFile")));
    Button3->setText(LangText(QStringLiteral("FormMain_Label_btnDLUF")));
    btnLabelSensorPrintImage->setText(
        LangText(QStringLiteral("FormMain_Label_btnLabelSensorPrintImage")));
    btnCommandTest->setText(LangText(QStringLiteral("FormMain_Label_btnCommandTest")));
    btnDFU->setText(LangText(QStringLiteral("FormMain_Label_btnDFU")));
    btnQuit->setText(LangText(QStringLiteral("FormMain_Label_btnQuit")));
    m_msgDeletePrinter = LangText(QStringLiteral("FormMain_Label_MSGDeletePrinter"));
    m_msgRestore = LangText(QStringLiteral("FormMain_Label_MSGRestore"));
    m_msgNotAvailable = LangText(QStringLiteral("FormMain_Label_MSGNotAvailable"));
    pellum::lang::ReadLanguageFont();
    pellum::models::CacheModelLists();
}

void T_frmMain_Label_Dealer::LoadPrinterList() {
    m_selecting = true;
    lvPrinterList->clear();
    for (const PrinterList::Entry& e : PrinterList::LoadPrinterList()) {
        auto* item = new QTreeWidgetItem(lvPrinterList);
        item->setText(0, e.model);
        item->setText(1, e.portType);
        item->setText(2, e.port);
    }
    m_selecting = false;
    m_lastRow = 0;
    SelectRow(0);
    lvPrinterListClick();
    UpdateEnabledState();
}

int T_frmMain_Label_Dealer::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = lvPrinterList->selectedItems();
    return selected.isEmpty() ? -1 : lvPrinterList->indexOfTopLevelItem(selected.first());
}

void T_frmMain_Label_Dealer::SelectRow(int row) {
    QTreeWidgetItem* item = lvPrinterList->topLevelItem(row);
    if (item == nullptr)
        return;
    m_selecting = true;
    lvPrinterList->setCurrentItem(item);
    item->setSelected(true);
    m_selecting = false;
}

void T_frmMain_Label_Dealer::lvPrinterListClick() {
    const int row = SelectedRow();
    if (row < 0) {
        SelectRow(m_lastRow);
        return;
    }
    m_lastRow = row;
    const QTreeWidgetItem* item = lvPrinterList->topLevelItem(row);
    pellum::PrinterTarget printer;
    printer.model = item->text(0);
    printer.libraryModel =
        pellum::text::ReadIniString(pellum::files::kMapFile, QStringLiteral("Map"), printer.model);
    if (printer.libraryModel.isEmpty())
        printer.libraryModel = pellum::files::kDefaultSdkModel;
    printer.port = item->text(2);
    m_session.SetTarget(printer);
    PlaceFunctionButtons();

    const std::int32_t rc = m_session.Tspl().Create(m_session.LibraryModel());
    m_session.SetLastResult(rc);
    if (rc != 0)
        pellum::lang::ErrorBox(
            pellum::lang::WithCode(pellum::lang::Msg(QStringLiteral("_Err_CreatePrinter")), rc));
}

bool T_frmMain_Label_Dealer::ModelIn(const char* listKey) const {
    return !m_session.Model().isEmpty() &&
           pellum::models::ModelIn(QLatin1String(listKey), m_session.Model());
}

void T_frmMain_Label_Dealer::PlaceFunctionButtons() {
    const struct {
        QPushButton* button;
        bool shown;
    } order[] = {
        {btnPrinterInformation, true},
        {btnPrintText, true},
        {btnPrintConfigInfo, true},
        {btnParameterSetting, true},
        {btnModelTest, true},
        {btnFactorySetting, true},
        {btnStartLearn, !ModelIn("NIsbtnStartLearn")},
        {Button3, ModelIn("x1")},
        {Button1, ModelIn("IsbtnDLFont")},
        {Button2, ModelIn("IsbtnDLFile")},
        {btnLabelSensorPrintImage, ModelIn("IsbtnLabelSensorPrintImage")},
        {btnCommandTest, true},
        {btnDFU, true},
    };
    int k = 0;
    for (const auto& b : order) {
        if (!b.shown) {
            b.button->hide();
            continue;
        }
        b.button->move(k % 2 == 0 ? kLeftColumn : kRightColumn, (k / 2) * kRowPitch + kFirstRowTop);
        b.button->show();
        ++k;
    }
    const int rows = k / 2 + k % 2;
    gpbFunction->resize(gpbFunction->width(), rows * kRowPitch + 30);
    btnQuit->move(btnQuit->x(), gpbFunction->y() + rows * kRowPitch + 40);
    // The formula gives the client area: the frame is the window manager's.
    setFixedSize(kClientWidth, gpbFunction->y() + rows * kRowPitch + btnQuit->height() + 80);
}

void T_frmMain_Label_Dealer::UpdateDeleteButton() {
    btnDeletePrinter->setEnabled(lvPrinterList->topLevelItemCount() > 1);
}

void T_frmMain_Label_Dealer::UpdateEnabledState() {
    // With no printer at all (no list and no model catalogue) only adding
    // and quitting make sense.
    const bool any = lvPrinterList->topLevelItemCount() > 0;
    btnModifyPrinter->setEnabled(any);
    btnConnectTest->setEnabled(any);
    gpbFunction->setEnabled(any);
    UpdateDeleteButton();
}

void T_frmMain_Label_Dealer::ShowEditor(const QString& mode) {
    if (SelectedRow() < 0)
        SelectRow(m_lastRow);
    T_frmPrinterManage_Label& editor = *m_editor;
    editor.mode = mode;
    if (mode == QLatin1String("Modify")) {
        const QTreeWidgetItem* item = lvPrinterList->topLevelItem(m_lastRow);
        if (item == nullptr)
            return;
        editor.entryIndex = m_lastRow;
        editor.model = item->text(0);
        editor.portType = item->text(1);
        editor.portString = item->text(2);
    }
    const int remembered = m_lastRow;
    if (m_runEditor(editor)) {
        LoadPrinterList();
        const int row =
            mode == QLatin1String("Add") ? lvPrinterList->topLevelItemCount() - 1 : remembered;
        SelectRow(row);
        lvPrinterListClick();
    }
    UpdateEnabledState();
}

void T_frmMain_Label_Dealer::btnAddPrinterClick() {
    ShowEditor(QStringLiteral("Add"));
}

void T_frmMain_Label_Dealer::btnModifyPrinterClick() {
    ShowEditor(QStringLiteral("Modify"));
}

void T_frmMain_Label_Dealer::btnDeletePrinterClick() {
    if (SelectedRow() < 0)
        SelectRow(m_lastRow);
    const int row = SelectedRow();
    if (row < 0 || lvPrinterList->topLevelItemCount() <= 1)
        return;
    if (!pellum::lang::ConfirmBox(m_msgDeletePrinter))
        return;
    QList<PrinterList::Entry> remaining;
    for (int i = 0; i < lvPrinterList->topLevelItemCount(); ++i) {
        if (i == row)
            continue;
        const QTreeWidgetItem* item = lvPrinterList->topLevelItem(i);
        remaining.append({item->text(0), item->text(1), item->text(2)});
    }
    QString error;
    if (!PrinterList::SavePrinterList(remaining, &error)) {
        // The file still holds the row: the list shows the file as it is.
        pellum::lang::ErrorBox(error);
        return;
    }
    m_selecting = true;
    delete lvPrinterList->takeTopLevelItem(row);
    m_selecting = false;
    SelectRow(std::min(row, lvPrinterList->topLevelItemCount() - 1));
    lvPrinterListClick();
    UpdateEnabledState();
}

void T_frmMain_Label_Dealer::btnConnectTestClick() {
    if (SelectedRow() < 0)
        SelectRow(m_lastRow);
    const std::int32_t rc = m_session.Tspl().Open(m_session.Port());
    m_session.SetLastResult(rc);
    if (rc == 0)
        pellum::lang::InfoBox(pellum::lang::Msg(QStringLiteral("_ConnectOK")));
    else
        pellum::lang::ErrorBox(ErrOpenPort(rc));
    m_session.Tspl().Close();
}

void T_frmMain_Label_Dealer::OpenWindow(const QString& className) {
    if (!pellum::OpenRegisteredWindow(className, this, m_session.Target()))
        pellum::lang::InfoBox(m_msgNotAvailable);
}

void T_frmMain_Label_Dealer::MouseClick(QPushButton* sender) {
    if (!ServiceFunctions::OpenForFunction(m_session))
        return;
    // The windows open the connection again for their own exchanges; it is
    // closed first so that nothing stays connected while they run.
    auto window = [this](const char* className) {
        m_session.Tspl().Close();
        OpenWindow(QLatin1String(className));
    };
    const std::int32_t family = m_session.Family();
    if (sender == btnPrintConfigInfo)
        return ServiceFunctions::PrintConfigPage(m_session);
    if (sender == btnStartLearn)
        return ServiceFunctions::StartLearn(m_session);
    if (sender == btnLabelSensorPrintImage)
        return ServiceFunctions::SensorGraph(m_session);
    if (sender == btnModelTest)
        return ServiceFunctions::ModuleTest(m_session);
    if (sender == btnFactorySetting) {
        ServiceFunctions::FactoryDefault(m_session);
        return;
    }
    if (sender == btnPrinterInformation) {
        if (family == pellum::FamilyESC) {
            m_session.Tspl().Close();
            pellum::lang::ErrorBox(pellum::lang::Msg(QStringLiteral("_Err_ProtocolFunction")));
            return;
        }
        return window("T_frmPrinterInformation");
    }
    if (sender == btnPrintText) {
        // The label window takes its paper width from GetPaperWidth() of the
        // selected model itself.
        window(family == pellum::FamilyTSPL ? "T_frmPrintTextLabel" : "T_frmPrintText");
        m_session.SetLastResult(m_session.Tspl().Create(m_session.LibraryModel()));
        return;
    }
    if (sender == Button1)
        return window("TfrmDLUF");
    if (sender == Button2)
        return window("TfrmDLFile");
    if (sender == Button3)
        return window("TfrmDLF");
    m_session.Tspl().Close();
}

void T_frmMain_Label_Dealer::btnParameterSettingClick() {
    const std::int32_t opened = m_session.Tspl().Open(m_session.Port());
    m_session.SetLastResult(opened);
    if (!Usable(opened)) {
        pellum::lang::ErrorBox(ErrOpenPort(opened));
        return;
    }
    const QString className =
        ChooseSettingsWindow(m_session.Model(), [this](const QString& version) {
            return IdentityQueries::CheckFirmwareVersion(m_session, version);
        });
    // The settings window opens the connection for its own exchanges.
    m_session.Tspl().Close();
    OpenWindow(className);
}

void T_frmMain_Label_Dealer::btnCommandTestClick() {
    OpenWindow(QStringLiteral("T_frmCommandTest"));
    const std::int32_t rc = m_session.Tspl().Create(m_session.LibraryModel());
    m_session.SetLastResult(rc);
    if (rc != 0)
        pellum::lang::ErrorBox(
            pellum::lang::WithCode(pellum::lang::Msg(QStringLiteral("_Err_CreatePrinter")), rc));
}

void T_frmMain_Label_Dealer::btnDFUClick() {
    if (ModelIn("IsbtnGDL")) {
        OpenWindow(QStringLiteral("TfrmGDL"));
        return;
    }
    // The update mode takes the printer out of service until the tool loads
    // new firmware: without the tool nothing is sent, and the user confirms
    // first.
    const QString tool = FindFirmwareTool();
    if (tool.isEmpty()) {
        pellum::lang::ErrorBox(
            pellum::lang::LangText(QStringLiteral("FormMain_Label_MSGDFUToolMissing"))
                .replace(QStringLiteral("%1"), FirmwareToolPath()));
        return;
    }
    if (!pellum::lang::ConfirmBox(pellum::lang::LangText(QStringLiteral("FormMain_Label_MSGDFU"))))
        return;
    if (!ServiceFunctions::EnterFirmwareUpdateMode(m_session))
        return;
    if (StartFirmwareTool() == FirmwareToolStart::Failed)
        pellum::lang::ErrorBox(
            pellum::lang::LangText(QStringLiteral("FormMain_Label_MSGDFUToolFailed"))
                .replace(QStringLiteral("%1"), tool));
}

void T_frmMain_Label_Dealer::btnQuitClick() {
    close();
    QCoreApplication::quit();
}
