#include "diagnostics/FormPrintText.h"

#include "core/Localization.h"
#include "core/ProgramFiles.h"
#include "diagnostics/TestPrintJobs.h"
#include "gui/GuiLanguage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>

using pellum::lang::LangText;
using pellum::lang::Msg;

T_frmPrintText::T_frmPrintText(const pellum::PrinterTarget& printer, QWidget* parent)
    : FormDialog(printer, parent) {
    setObjectName(QStringLiteral("T_frmPrintText"));
    auto* root = new QVBoxLayout(this);
    m_lblContent = new QLabel(this);
    m_lblContent->setObjectName(QStringLiteral("lblContent"));
    m_txtPrintText = new QTextEdit(this);
    m_txtPrintText->setObjectName(QStringLiteral("txtPrintText"));
    m_txtPrintText->setAcceptRichText(false);
    m_txtPrintText->setTabChangesFocus(true);
    root->addWidget(m_lblContent);
    root->addWidget(m_txtPrintText, 1);

    m_gpbLanguage = new QGroupBox(this);
    m_gpbLanguage->setObjectName(QStringLiteral("gpbLanguage"));
    auto* groupLayout = new QHBoxLayout(m_gpbLanguage);
    groupLayout->setContentsMargins(10, 24, 10, 10);
    // The check box sits on the group's caption line (placed when shown); the
    // caption starts with blanks that leave room for it.
    m_CheckBox1 = new QCheckBox(this);
    m_CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    m_lblLanguage = new QLabel(m_gpbLanguage);
    m_lblLanguage->setObjectName(QStringLiteral("lblLanguage"));
    m_cmbInternationalCharacter = new QComboBox(m_gpbLanguage);
    m_cmbInternationalCharacter->setObjectName(QStringLiteral("cmbInternationalCharacter"));
    m_cmbInternationalCharacter->setEnabled(false);
    groupLayout->addWidget(m_lblLanguage);
    groupLayout->addWidget(m_cmbInternationalCharacter, 1);
    root->addWidget(m_gpbLanguage);

    auto* buttons = new QHBoxLayout;
    m_btnPrint = new QPushButton(this);
    m_btnPrint->setObjectName(QStringLiteral("btnPrint"));
    m_btnClose = new QPushButton(this);
    m_btnClose->setObjectName(QStringLiteral("btnClose"));
    m_btnPrint->setAutoDefault(false);
    m_btnClose->setAutoDefault(false);
    buttons->addStretch(1);
    buttons->addWidget(m_btnPrint);
    buttons->addWidget(m_btnClose);
    root->addLayout(buttons);
    connect(m_CheckBox1, &QCheckBox::clicked, this, [this] { CheckBox1Click(); });
    connect(m_btnPrint, &QPushButton::clicked, this, [this] { btnPrintClick(); });
    connect(m_btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });
}

void T_frmPrintText::FormShow() {
    setWindowIcon(QIcon(pellum::files::IconPath()));
    InitLanguage();
    pellum::lang::ApplyLanguageFont(this);
    adjustSize();
    setFixedSize(size().expandedTo(QSize(420, 320)));
    PlaceCheckBox();
}

void T_frmPrintText::PlaceCheckBox() {
    // The check box's indicator goes into the room the caption's leading
    // blanks leave, ending where the caption's text begins.
    QStyleOptionGroupBox option;
    option.initFrom(m_gpbLanguage);
    option.text = m_gpbLanguage->title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    const QRect label = m_gpbLanguage->style()->subControlRect(
        QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, m_gpbLanguage);
    const QString title = m_gpbLanguage->title();
    qsizetype leading = 0;
    while (leading < title.size() && title[leading] == QLatin1Char(' '))
        ++leading;
    const QString blanks = title.left(leading);
    const int room = m_gpbLanguage->fontMetrics().horizontalAdvance(blanks);
    const int indicator = m_CheckBox1->style()->pixelMetric(QStyle::PM_IndicatorWidth);
    const int height = std::max(label.height(), m_CheckBox1->sizeHint().height());
    // In the dialog's coordinates: with narrow blanks the indicator may reach
    // left of the group's own edge.
    layout()->activate();
    const QPoint at = m_gpbLanguage->mapTo(
        this, QPoint(label.left() + room - indicator - 2, label.center().y() - height / 2));
    m_CheckBox1->setGeometry(std::max(0, at.x()), at.y(), indicator + 2, height);
    m_CheckBox1->raise();
}

void T_frmPrintText::InitLanguage() {
    setWindowTitle(LangText(QStringLiteral("FormPrintText_Caption")));
    m_lblContent->setText(LangText(QStringLiteral("FormPrintText_lblContent")));
    // Chinese captions are wider per character: fewer blanks leave the same
    // room for the check box.
    const bool chinese = pellum::lang::LanguageId == QLatin1String("2052") ||
                         pellum::lang::LanguageId == QLatin1String("1028");
    m_gpbLanguage->setTitle(QString(chinese ? 3 : 5, QLatin1Char(' ')) +
                            LangText(QStringLiteral("FormPrintText_chkLanguage")));
    m_lblLanguage->setText(LangText(QStringLiteral("FormPrintText_lblLanguage")));
    m_cmbInternationalCharacter->clear();
    m_cmbInternationalCharacter->addItems(
        LangText(QStringLiteral("FormPrintText_cmbLanguage_Item")).split(QLatin1Char(',')));
    m_btnPrint->setText(Msg(QStringLiteral("_Print")));
    m_btnClose->setText(Msg(QStringLiteral("_Close")));
}

void T_frmPrintText::CheckBox1Click() {
    m_cmbInternationalCharacter->setEnabled(m_CheckBox1->isChecked());
    if (m_cmbInternationalCharacter->currentIndex() < 0 && m_cmbInternationalCharacter->count() > 0)
        m_cmbInternationalCharacter->setCurrentIndex(0);
}

void T_frmPrintText::btnPrintClick() {
    int codePage = 0; // the ANSI code page
    if (m_CheckBox1->isChecked()) {
        codePage = TestPrintJobs::CodePageAt(
            LangText(QStringLiteral("FormPrintText_cmbLanguage_ItemCode")),
            m_cmbInternationalCharacter->currentIndex());
        if (codePage == 0)
            codePage = -1; // no code page for the item: nothing is sent
    }
    const TestPrintJobs::Outcome outcome =
        TestPrintJobs::PrintText(m_session, m_txtPrintText->toPlainText(), codePage);
    switch (outcome.step) {
    case TestPrintJobs::Outcome::Done:
        break;
    case TestPrintJobs::Outcome::OpenFailed:
        pellum::lang::ErrorBox(Msg(QStringLiteral("_Err_OpenPort")));
        break;
    case TestPrintJobs::Outcome::EmptyText:
        pellum::lang::ErrorBox(Msg(QStringLiteral("_Err_ImportNull")));
        break;
    case TestPrintJobs::Outcome::WriteFailed:
        pellum::lang::ErrorBox(Msg(QStringLiteral("_Err_WriteData")));
        break;
    case TestPrintJobs::Outcome::UnknownCodePage:
        pellum::lang::ErrorBox(LangText(QStringLiteral("FormPrintText_Err_CodePage")));
        break;
    case TestPrintJobs::Outcome::Unprintable:
        pellum::lang::ErrorBox(
            LangText(QStringLiteral("FormPrintText_Err_Unprintable"))
                .replace(QStringLiteral("%1"), QString::number(outcome.codePage))
                .replace(QStringLiteral("%2"), TestPrintJobs::CharacterList(outcome.characters)));
        break;
    }
}

void T_frmPrintText::btnCloseClick() {
    close();
}
