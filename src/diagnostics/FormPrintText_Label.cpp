#include "diagnostics/FormPrintText_Label.h"

#include "core/Localization.h"
#include "diagnostics/TestPrintJobs.h"
#include "gui/GuiLanguage.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

using pellum::lang::LangText;
using pellum::lang::Msg;

namespace {

constexpr int kSizeBoxLength = 3;

// CheckImportNumber of the size boxes: digits, backspace, Enter and delete.
bool SizeKeyAllowed(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || u == 8 || u == 13 || u == 127;
}

} // namespace

T_frmPrintTextLabel::T_frmPrintTextLabel(const pellum::PrinterTarget& printer,
                                         const QString& paperWidth, QWidget* parent)
    : FormDialog(printer, parent), m_paperWidth(paperWidth) {
    setObjectName(QStringLiteral("T_frmPrintTextLabel"));
    auto* root = new QVBoxLayout(this);
    m_lblContent = new QLabel(this);
    m_lblContent->setObjectName(QStringLiteral("lblContent"));
    m_txtPrintText = new QTextEdit(this);
    m_txtPrintText->setObjectName(QStringLiteral("txtPrintText"));
    m_txtPrintText->setAcceptRichText(false);
    m_txtPrintText->setTabChangesFocus(true);
    root->addWidget(m_lblContent);
    root->addWidget(m_txtPrintText, 1);

    auto* grid = new QGridLayout;
    auto sizeBox = [this](const char* name) {
        auto* box = new QLineEdit(QStringLiteral("30"), this);
        box->setObjectName(QLatin1String(name));
        box->setMaxLength(kSizeBoxLength);
        box->installEventFilter(this);
        return box;
    };
    m_lblPrintableWidth = new QLabel(this);
    m_lblPrintableWidth->setObjectName(QStringLiteral("lblPrintableWidth"));
    m_txtPrintableWidth = sizeBox("txtPrintableWidth");
    m_lblMultiple1 =
        new QLabel(QStringLiteral("(10-*)mm").replace(QLatin1Char('*'), m_paperWidth), this);
    m_lblMultiple1->setObjectName(QStringLiteral("lblMultiple1"));
    m_lblPrintableHeight = new QLabel(this);
    m_lblPrintableHeight->setObjectName(QStringLiteral("lblPrintableHeight"));
    m_txtPrintableHeigh = sizeBox("txtPrintableHeigh");
    m_Label2 = new QLabel(QStringLiteral("(10-210)mm"), this);
    m_Label2->setObjectName(QStringLiteral("Label2"));
    grid->addWidget(m_lblPrintableWidth, 0, 0);
    grid->addWidget(m_txtPrintableWidth, 0, 1);
    grid->addWidget(m_lblMultiple1, 0, 2);
    grid->addWidget(m_lblPrintableHeight, 1, 0);
    grid->addWidget(m_txtPrintableHeigh, 1, 1);
    grid->addWidget(m_Label2, 1, 2);
    grid->setColumnStretch(3, 1);
    root->addLayout(grid);

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
    connect(m_btnPrint, &QPushButton::clicked, this, [this] { btnPrintClick(); });
    connect(m_btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });
}

void T_frmPrintTextLabel::FormShow() {
    InitLanguage();
    pellum::lang::ApplyLanguageFont(this);
    adjustSize();
    setFixedSize(size().expandedTo(QSize(420, 320)));
}

void T_frmPrintTextLabel::InitLanguage() {
    setWindowTitle(LangText(QStringLiteral("FormPrintTextLabel_Caption")));
    m_lblContent->setText(LangText(QStringLiteral("FormPrintTextLabel_lblContent")));
    m_lblPrintableWidth->setText(LangText(QStringLiteral("FormPrintTextLabel_lblPrintableWidth")));
    m_lblPrintableHeight->setText(
        LangText(QStringLiteral("FormPrintTextLabel_lblPrintableHeight")));
    m_btnPrint->setText(Msg(QStringLiteral("_Print")));
    m_btnClose->setText(Msg(QStringLiteral("_Close")));
}

bool T_frmPrintTextLabel::CheckValue(QLineEdit* box) {
    QString clamped;
    const bool ok = box == m_txtPrintableWidth
                        ? TestPrintJobs::ClampWidth(box->text(), m_paperWidth.toInt(), &clamped)
                        : TestPrintJobs::ClampHeight(box->text(), &clamped);
    if (!ok) {
        pellum::lang::ErrorBox(LangText(QStringLiteral("FormPrintTextLabel_Err_NotANumber"))
                                   .replace(QStringLiteral("%1"), box->text()));
        return false;
    }
    if (clamped != box->text())
        box->setText(clamped);
    return true;
}

void T_frmPrintTextLabel::btnPrintClick() {
    // Both sizes are checked (and brought into range) before anything goes
    // to the printer, also when the focus never left a box.
    if (!CheckValue(m_txtPrintableWidth) || !CheckValue(m_txtPrintableHeigh))
        return;
    const TestPrintJobs::Outcome outcome =
        TestPrintJobs::PrintLabel(m_session, m_txtPrintText->toPlainText(),
                                  m_txtPrintableWidth->text(), m_txtPrintableHeigh->text());
    switch (outcome.step) {
    case TestPrintJobs::Outcome::Done:
        break;
    case TestPrintJobs::Outcome::OpenFailed:
        pellum::lang::ErrorBox(
            pellum::lang::WithCode(Msg(QStringLiteral("_Err_OpenPort")), outcome.code));
        break;
    case TestPrintJobs::Outcome::EmptyText:
        pellum::lang::ErrorBox(Msg(QStringLiteral("_Err_ImportNull")));
        break;
    case TestPrintJobs::Outcome::WriteFailed:
    case TestPrintJobs::Outcome::UnknownCodePage:
        pellum::lang::ErrorBox(Msg(QStringLiteral("_Err_WriteData")));
        break;
    case TestPrintJobs::Outcome::Unprintable:
        pellum::lang::ErrorBox(
            LangText(QStringLiteral("FormPrintText_Err_Unprintable"))
                .replace(QStringLiteral("%1"), QString::number(outcome.codePage))
                .replace(QStringLiteral("%2"), TestPrintJobs::CharacterList(outcome.characters)));
        break;
    }
}

bool T_frmPrintTextLabel::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && (box == m_txtPrintableWidth || box == m_txtPrintableHeigh)) {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (!key->text().isEmpty() && !(key->modifiers() & Qt::ControlModifier))
                for (const QChar c : key->text())
                    if (!SizeKeyAllowed(c))
                        return true;
        } else if (event->type() == QEvent::FocusOut) {
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            // A message box or a closing window takes the focus too; only a
            // move to another control is leaving the box.
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
                isVisible())
                CheckValue(box);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void T_frmPrintTextLabel::btnCloseClick() {
    close();
}
