#include "diagnostics/FormPrinterInformation.h"

#include "core/Localization.h"
#include "diagnostics/PrinterInformation.h"
#include "gui/GuiLanguage.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using pellum::lang::LangText;
using pellum::lang::Msg;

T_frmPrinterInformation::T_frmPrinterInformation(const pellum::PrinterTarget& printer,
                                                 QWidget* parent)
    : FormDialog(printer, parent) {
    setObjectName(QStringLiteral("T_frmPrinterInformation"));
    auto* root = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    auto label = [this](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    m_lblProduceDate = label("lblProduceDate");
    m_lblPrintLength = label("lblPrintLength");
    m_lblFirmwareVer = label("lblFirmwareVer");
    m_lblProduceDateV = label("lblProduceDateV");
    m_lblPrintLengthV = label("lblPrintLengthV");
    m_lblFirmwareVerV = label("lblFirmwareVerV");
    grid->addWidget(m_lblProduceDate, 0, 0);
    grid->addWidget(m_lblProduceDateV, 0, 1);
    grid->addWidget(m_lblPrintLength, 1, 0);
    grid->addWidget(m_lblPrintLengthV, 1, 1);
    grid->addWidget(m_lblFirmwareVer, 2, 0);
    grid->addWidget(m_lblFirmwareVerV, 2, 1);
    grid->setColumnMinimumWidth(1, 200);
    root->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    m_btnClose = new QPushButton(this);
    m_btnClose->setObjectName(QStringLiteral("btnClose"));
    buttons->addStretch(1);
    buttons->addWidget(m_btnClose);
    root->addLayout(buttons);
    connect(m_btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });
}

void T_frmPrinterInformation::InitLanguage() {
    setWindowTitle(LangText(QStringLiteral("FormPrinterInformation_Caption")));
    m_lblProduceDate->setText(LangText(QStringLiteral("FormPrinterInformation_lblProduceDate")));
    m_lblPrintLength->setText(LangText(QStringLiteral("FormPrinterInformation_lblPrintLength")));
    m_lblFirmwareVer->setText(LangText(QStringLiteral("FormPrinterInformation_lblFirmwareVer")));
    m_btnClose->setText(Msg(QStringLiteral("_Close")));
}

void T_frmPrinterInformation::FormShow() {
    InitLanguage();
    pellum::lang::ApplyLanguageFont(this);
    m_lblProduceDateV->clear();
    m_lblPrintLengthV->clear();
    m_lblFirmwareVerV->clear();
    adjustSize();
    setFixedSize(size().expandedTo(QSize(360, 140)));
    const PrinterInformation::Facts facts = PrinterInformation::ReadFacts(m_session);
    if (!facts.opened) {
        pellum::lang::ErrorBox(
            pellum::lang::WithCode(Msg(QStringLiteral("_Err_OpenPort")), facts.openCode));
        return;
    }
    m_lblProduceDateV->setText(facts.produceDate);
    m_lblPrintLengthV->setText(facts.printedLength);
    m_lblFirmwareVerV->setText(facts.firmwareVersion);
}

QString T_frmPrinterInformation::GetProduceDate() {
    return PrinterInformation::GetProduceDate(m_session);
}

void T_frmPrinterInformation::btnCloseClick() {
    close();
}
