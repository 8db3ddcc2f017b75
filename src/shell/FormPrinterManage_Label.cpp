#include "shell/FormPrinterManage_Label.h"

#include "core/Localization.h"
#include "core/PrinterSession.h"
#include "core/ProgramFiles.h"
#include "core/TextTools.h"
#include "gui/GuiLanguage.h"
#include "settings/windows/GuiOptionLists.h"
#include "shell/PrinterList.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

namespace {

template <typename W> W* Make(QWidget* parent, const char* name, int x, int y, int w, int h) {
    auto* widget = new W(parent);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(x, y, w, h);
    return widget;
}

// The text with its first ':' removed ("COM1:" -> "COM1").
QString WithoutFirstColon(QString text) {
    const qsizetype at = text.indexOf(QLatin1Char(':'));
    if (at >= 0)
        text.remove(at, 1);
    return text;
}

// Selects the item equal to `name` + ":" ignoring case; leaves the selection
// alone when there is none.
void SelectPort(QComboBox* combo, const QString& name) {
    const QString wanted = name + QLatin1Char(':');
    for (int i = 0; i < combo->count(); ++i)
        if (OptionTables::EqualsIgnoringAsciiCase(combo->itemText(i), wanted)) {
            combo->setCurrentIndex(i);
            return;
        }
}

} // namespace

T_frmPrinterManage_Label::T_frmPrinterManage_Label(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("T_frmPrinterManage_Label"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    setFixedSize(420, 250);

    lblPrinterName = Make<QLabel>(this, "lblPrinterName", 16, 20, 90, 22);
    cmbPrinterName = Make<QComboBox>(this, "cmbPrinterName", 110, 18, 280, 24);
    gpbPortInformation = Make<QGroupBox>(this, "gpbPortInformation", 12, 56, 396, 130);
    lblPortType = Make<QLabel>(gpbPortInformation, "lblPortType", 14, 28, 110, 22);
    cmbPortType = Make<QComboBox>(gpbPortInformation, "cmbPortType", 130, 26, 120, 24);
    cmbPortType->addItems({QStringLiteral("USB"), QStringLiteral("COM"), QStringLiteral("LPT"),
                           QStringLiteral("NET")});

    // The four panels share one place; one is visible at a time.
    const QRect panelPlace(8, 60, 380, 62);
    pnlUSB = Make<QWidget>(gpbPortInformation, "pnlUSB", 0, 0, 0, 0);
    pnlUSB->setGeometry(panelPlace);
    lblUSB = Make<QLabel>(pnlUSB, "lblUSB", 6, 8, 360, 22);

    pnlSerial = Make<QWidget>(gpbPortInformation, "pnlSerial", 0, 0, 0, 0);
    pnlSerial->setGeometry(panelPlace);
    lblSerial = Make<QLabel>(pnlSerial, "lblSerial", 6, 8, 110, 22);
    cmbSerialList = Make<QComboBox>(pnlSerial, "cmbSerialList", 122, 6, 120, 24);
    lblBaudrate = Make<QLabel>(pnlSerial, "lblBaudrate", 6, 36, 110, 22);
    cmbBaudrate = Make<QComboBox>(pnlSerial, "cmbBaudrate", 122, 34, 120, 24);
    cmbBaudrate->addItems({QStringLiteral("4800"), QStringLiteral("9600"), QStringLiteral("19200"),
                           QStringLiteral("38400"), QStringLiteral("57600"),
                           QStringLiteral("115200")});

    pnlParallel = Make<QWidget>(gpbPortInformation, "pnlParallel", 0, 0, 0, 0);
    pnlParallel->setGeometry(panelPlace);
    lblParallelList = Make<QLabel>(pnlParallel, "lblParallelList", 6, 8, 110, 22);
    cmbParallel = Make<QComboBox>(pnlParallel, "cmbParallel", 122, 6, 120, 24);

    pnlTCPIP = Make<QWidget>(gpbPortInformation, "pnlTCPIP", 0, 0, 0, 0);
    pnlTCPIP->setGeometry(panelPlace);
    lblIPAddress = Make<QLabel>(pnlTCPIP, "lblIPAddress", 6, 8, 110, 22);
    txtIPAddress = Make<QLineEdit>(pnlTCPIP, "txtIPAddress", 122, 6, 200, 24);

    btnConnectTest = Make<QPushButton>(this, "btnConnectTest", 12, 200, 150, 34);
    btnOK = Make<QPushButton>(this, "btnOK", 200, 200, 98, 34);
    btnClose = Make<QPushButton>(this, "btnClose", 310, 200, 98, 34);
    ShowPanel(pnlUSB);

    connect(cmbPortType, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_filling)
            cmbPortTypeChange();
    });
    connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
    connect(btnConnectTest, &QPushButton::clicked, this, [this] { btnConnectTestClick(); });
    connect(btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });
}

void T_frmPrinterManage_Label::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void T_frmPrinterManage_Label::FormShow() {
    InitLanguage();
    InitControls();
    saved = false;
    pellum::lang::ApplyLanguageFont(this);
    // The font may widen the label; the list follows it.
    pellum::lang::PlaceAfterLabel(lblPrinterName, cmbPrinterName);
    if (parentWidget() != nullptr) {
        const QRect owner = parentWidget()->window()->geometry();
        move(owner.center() - QPoint(width() / 2, height() / 2));
    }
}

void T_frmPrinterManage_Label::InitLanguage() {
    using pellum::lang::LangText;
    setWindowTitle(LangText(QStringLiteral("FormPrinterManage_Caption")));
    lblPrinterName->setText(LangText(QStringLiteral("FormPrinterManage_lblPrinterName")));
    lblPrinterName->adjustSize();
    pellum::lang::PlaceAfterLabel(lblPrinterName, cmbPrinterName);
    gpbPortInformation->setTitle(LangText(QStringLiteral("FormPrinterManage_gpbPortInformation")));
    lblPortType->setText(LangText(QStringLiteral("FormPrinterManage_lblPortType")));
    lblUSB->setText(LangText(QStringLiteral("FormPrinterManage_lblUSB")));
    lblSerial->setText(LangText(QStringLiteral("FormPrinterManage_lblSerial")));
    lblBaudrate->setText(LangText(QStringLiteral("FormPrinterManage_lblBaudrate")));
    lblParallelList->setText(LangText(QStringLiteral("FormPrinterManage_lblParallelList")));
    lblIPAddress->setText(LangText(QStringLiteral("FormPrinterManage_lblIPAddress")));
    btnConnectTest->setText(LangText(QStringLiteral("FormPrinterManage_btnConnectTest")));
    btnOK->setText(LangText(QStringLiteral("FormPrinterManage_btnOK")));
    btnClose->setText(pellum::lang::Msg(QStringLiteral("_Close")));
}

void T_frmPrinterManage_Label::InitControls() {
    m_filling = true;
    cmbPrinterName->clear();
    cmbPrinterName->addItems(pellum::files::ModelList);
    cmbPrinterName->setCurrentIndex(pellum::files::ModelList.isEmpty() ? -1 : 0);
    cmbPortType->setCurrentIndex(0);
    m_filling = false;
    // Without a model to choose a line would have no model: nothing to save.
    btnOK->setEnabled(!pellum::files::ModelList.isEmpty());

    if (mode != QLatin1String("Modify")) {
        cmbPortTypeChange();
        return;
    }
    m_filling = true;
    OptionTables::SelectByTextExact(cmbPrinterName, model);
    OptionTables::SelectByText(cmbPortType, portType.toLower());
    m_filling = false;
    if (portType == QLatin1String("COM")) {
        ShowPanel(pnlSerial);
        cmbSerialList->clear();
        cmbSerialList->addItems(PrinterList::EnumSystemPorts(QStringLiteral("COM")));
        const QStringList pieces = pellum::text::SplitText(portString, QLatin1Char(','));
        SelectPort(cmbSerialList, pieces.value(0));
        const QString rate = pieces.value(1);
        const qsizetype underscore = rate.indexOf(QLatin1Char('_'));
        const int at =
            cmbBaudrate->findText(underscore >= 0 ? rate.mid(underscore + 1) : QString());
        if (at >= 0)
            cmbBaudrate->setCurrentIndex(at);
    } else if (portType == QLatin1String("LPT")) {
        ShowPanel(pnlParallel);
        cmbParallel->clear();
        cmbParallel->addItems(PrinterList::EnumSystemPorts(QStringLiteral("LPT")));
        SelectPort(cmbParallel, portString);
    } else if (portType == QLatin1String("NET")) {
        ShowPanel(pnlTCPIP);
        txtIPAddress->setText(portString.startsWith(QLatin1String("NET,")) ? portString.mid(4)
                                                                           : portString);
    } else if (portType == QLatin1String("USB")) {
        ShowPanel(pnlUSB);
    } else {
        // A line without a known port type: offer what the list now shows.
        cmbPortTypeChange();
    }
}

void T_frmPrinterManage_Label::cmbPortTypeChange() {
    portType = cmbPortType->currentText();
    if (portType == QLatin1String("COM")) {
        ShowPanel(pnlSerial);
        cmbSerialList->clear();
        cmbSerialList->addItems(PrinterList::EnumSystemPorts(QStringLiteral("COM")));
        if (cmbSerialList->count() > 0) {
            cmbSerialList->setCurrentIndex(0);
            cmbBaudrate->setCurrentIndex(cmbBaudrate->count() - 1);
        }
    } else if (portType == QLatin1String("LPT")) {
        ShowPanel(pnlParallel);
        cmbParallel->clear();
        cmbParallel->addItems(PrinterList::EnumSystemPorts(QStringLiteral("LPT")));
        if (cmbParallel->count() > 0)
            cmbParallel->setCurrentIndex(0);
    } else if (portType == QLatin1String("NET")) {
        ShowPanel(pnlTCPIP);
        txtIPAddress->setText(DefaultIpAddress());
    } else {
        ShowPanel(pnlUSB);
    }
}

QString T_frmPrinterManage_Label::BuildPortString() const {
    if (portType == QLatin1String("COM"))
        return WithoutFirstColon(cmbSerialList->currentText()) + QStringLiteral(",BAUDRATE_") +
               cmbBaudrate->currentText();
    if (portType == QLatin1String("LPT"))
        return WithoutFirstColon(cmbParallel->currentText());
    if (portType == QLatin1String("NET"))
        return QStringLiteral("NET,") + txtIPAddress->text();
    return QStringLiteral("USB");
}

void T_frmPrinterManage_Label::btnOKClick() {
    const QString line = cmbPrinterName->currentText() + QLatin1Char('|') +
                         cmbPortType->currentText() + QLatin1Char('|') + BuildPortString();
    QString error;
    const bool written = mode == QLatin1String("Modify")
                             ? PrinterList::ReplaceEntryLine(entryIndex, line, &error)
                             : PrinterList::AppendEntryLine(line, &error);
    if (!written) {
        // The old file is intact; the editor stays open for another try.
        pellum::lang::ErrorBox(error);
        return;
    }
    saved = true;
    accept();
}

void T_frmPrinterManage_Label::btnConnectTestClick() {
    const QString port = BuildPortString();
    QString libraryModel = pellum::text::ReadIniString(
        pellum::files::kMapFile, QStringLiteral("Map"), cmbPrinterName->currentText().trimmed());
    if (libraryModel.isEmpty())
        libraryModel = pellum::files::kDefaultSdkModel;
    // A session of its own for the test: its printer object is freed when
    // the test ends.
    pellum::PrinterSession probe({cmbPrinterName->currentText().trimmed(), libraryModel, port});
    const std::int32_t created = probe.Tspl().Create(libraryModel);
    if (created != 0) {
        pellum::lang::ErrorBox(pellum::lang::WithCode(
            pellum::lang::Msg(QStringLiteral("_Err_CreatePrinter")), created));
        return;
    }
    const std::int32_t opened = probe.Tspl().Open(port);
    if (opened == 0)
        pellum::lang::InfoBox(pellum::lang::Msg(QStringLiteral("_ConnectOK")));
    else
        pellum::lang::ErrorBox(
            pellum::lang::WithCode(pellum::lang::Msg(QStringLiteral("_Err_OpenPort")), opened));
    probe.Tspl().Close();
}

void T_frmPrinterManage_Label::btnCloseClick() {
    reject();
}

void T_frmPrinterManage_Label::ShowPanel(QWidget* panel) {
    for (QWidget* p : {pnlUSB, pnlSerial, pnlParallel, pnlTCPIP})
        p->setVisible(p == panel);
}
