#include "settings/windows/FormParaSet_Kapok.h"

#include "core/Localization.h"
#include "core/ModelLists.h"
#include "core/PrinterSession.h"
#include "gui/GuiLanguage.h"
#include "settings/PrinterCMD.h"

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRect>

using namespace KvSettings;

namespace {

// Window size and the places of the buttons, in pixels.
constexpr int kWidth = 800;
constexpr int kHeight = 414;
constexpr int kButtonTop = 380;
// Without the language group: the Kapok window's buttons go up to this top
// and the window gets this much shorter; the Larch window's buttons rise by
// kLarchRise and the window keeps its height.
constexpr int kOnlyChineseButtonTop = 333;
constexpr int kOnlyChineseShrink = 47;
constexpr int kLarchRise = 20;
// The tear-off range the Larch window shows: its limits are fixed.
const QString kLarchTearOffRange = QStringLiteral("-120~+120");

// Places of the controls inside their parents. Groups are placed in the
// window; a list, an edit and its label inside its group; an address row by
// its first edit (the other three follow at kPartStep).
constexpr int kPartStep = 42;
constexpr int kPartWidth = 36;

QHash<QString, QRect> Places(Variant variant) {
    QHash<QString, QRect> p{
        // Left column: Bluetooth, Ethernet, serial port.
        {QStringLiteral("gpbBT"), {8, 8, 290, 78}},
        {QStringLiteral("lblBTName"), {10, 22, 50, 20}},
        {QStringLiteral("txtBTName"), {64, 20, 88, 22}},
        {QStringLiteral("lblBTNameLen"), {156, 22, 130, 20}},
        {QStringLiteral("lblBTPWD"), {10, 50, 50, 20}},
        {QStringLiteral("txtBTPWD"), {64, 48, 50, 22}},
        {QStringLiteral("lblBTPWDLen"), {120, 50, 166, 20}},
        {QStringLiteral("gpbEthernetSetting"), {8, 92, 290, 132}},
        {QStringLiteral("lblDHCP"), {10, 24, 100, 20}},
        {QStringLiteral("cmbDHCP"), {112, 22, 70, 22}},
        {QStringLiteral("lblIPAddress"), {10, 52, 100, 20}},
        {QStringLiteral("txtIP"), {112, 50, kPartWidth, 22}},
        {QStringLiteral("lblSubnet"), {10, 78, 100, 20}},
        {QStringLiteral("txtSubnet"), {112, 76, kPartWidth, 22}},
        {QStringLiteral("lblDefautGateway"), {10, 104, 100, 20}},
        {QStringLiteral("txtGateway"), {112, 102, kPartWidth, 22}},
        {QStringLiteral("gpbCOM"), {8, 230, 290, 97}},
        {QStringLiteral("lblBaudrate"), {10, 30, 70, 20}},
        {QStringLiteral("cmbBaudrate"), {82, 28, 76, 22}},
        {QStringLiteral("lblDataBits"), {166, 30, 64, 20}},
        {QStringLiteral("cmbDataBits"), {232, 28, 48, 22}},
        {QStringLiteral("lblParity"), {10, 64, 70, 20}},
        {QStringLiteral("cmbParity"), {82, 62, 76, 22}},
        {QStringLiteral("lblStopBits"), {166, 64, 64, 20}},
        {QStringLiteral("cmbStopBits"), {232, 62, 48, 22}},
        // Middle column: paper and printing.
        {QStringLiteral("gpbOther"), {306, 8, 236, 319}},
        {QStringLiteral("lblDensity"), {10, 26, 100, 20}},
        {QStringLiteral("cmbDensity"), {112, 24, 114, 22}},
        {QStringLiteral("lblHeatAdj"), {10, 60, 100, 20}},
        {QStringLiteral("cmbHeatAdj"), {112, 58, 114, 22}},
        {QStringLiteral("lblPrintSpeed"), {10, 94, 100, 20}},
        {QStringLiteral("cmbPrintSpeed"), {112, 92, 114, 22}},
        {QStringLiteral("lblProtocol"), {10, 128, 100, 20}},
        {QStringLiteral("cmbProtocol"), {112, 126, 114, 22}},
        {QStringLiteral("lblJudgePaperMode"), {10, 162, 100, 20}},
        {QStringLiteral("cmbJudgePaperMode"), {112, 160, 114, 22}},
        {QStringLiteral("lblPrintMode"), {10, 196, 100, 20}},
        {QStringLiteral("cmbPrintMode"), {112, 194, 114, 22}},
        {QStringLiteral("lblTearOff"), {10, 230, 100, 20}},
        {QStringLiteral("txtTearOff"), {112, 228, 44, 22}},
        {QStringLiteral("Label3"), {160, 230, 72, 20}},
        // Bottom: the code page, then the buttons.
        {QStringLiteral("gpbLanguage"), {8, 331, 784, 44}},
        {QStringLiteral("lblCodepage"), {10, 18, 80, 20}},
        {QStringLiteral("cmbCodepage"), {96, 16, 300, 22}},
        {QStringLiteral("btnSet"), {608, kButtonTop, 88, 26}},
        {QStringLiteral("btnClose"), {704, kButtonTop, 88, 26}},
    };
    // Right column: the two-choice groups, one under the other.
    QStringList choices = {QStringLiteral("gpbAutoPosition"), QStringLiteral("gpbReprintWhenError"),
                           QStringLiteral("RadioGroup1"), QStringLiteral("g5")};
    if (variant == Variant::Larch)
        choices.insert(1, QStringLiteral("gpbPrintType"));
    const int step = variant == Variant::Larch ? 65 : 80;
    const int height = step - 5;
    for (int i = 0; i < choices.size(); ++i)
        p.insert(choices.at(i), QRect(550, 8 + i * step, 242, height));
    return p;
}

void Place(QWidget* w, const QHash<QString, QRect>& places) {
    const auto it = places.constFind(w->objectName());
    if (it != places.constEnd())
        w->setGeometry(*it);
}

} // namespace

T_frmParaSet_Kapok::T_frmParaSet_Kapok(const pellum::PrinterTarget& printer, QWidget* parent)
    : T_frmParaSet_Kapok(Variant::Kapok, printer, parent) {}

T_frmParaSet_Kapok::T_frmParaSet_Kapok(Variant variant, const pellum::PrinterTarget& printer,
                                       QWidget* parent)
    : FormDialog(printer, parent),
      m_model(std::make_unique<KvSettingsModel>(variant, printer.model)), m_variant(variant) {
    setObjectName(m_model->table().className);
    Build();
    LayOut();
    Push();
}

T_frmParaSet_Kapok::~T_frmParaSet_Kapok() = default;

void T_frmParaSet_Kapok::Build() {
    const WindowTable& table = m_model->table();
    QHash<QString, QGroupBox*> groups;
    for (const GroupCaption& g : table.groups) {
        auto* box = new QGroupBox(this);
        box->setObjectName(g.name);
        groups.insert(g.name, box);
        m_groups.push_back(box);
    }
    for (const LabelText& t : table.texts) {
        auto* label = new QLabel(groups.value(QStringLiteral("gpbBT"), nullptr));
        label->setObjectName(t.control);
    }
    m_controls.resize(table.fields.size());
    for (int i = 0; i < int(table.fields.size()); ++i) {
        const Field& f = table.fields[std::size_t(i)];
        Control& c = m_controls[std::size_t(i)];
        c.field = i;
        QWidget* parent =
            f.group.isEmpty() ? static_cast<QWidget*>(this) : groups.value(f.group, nullptr);
        if (!parent)
            parent = this;
        if (!f.label.isEmpty()) {
            c.label = new QLabel(parent);
            c.label->setObjectName(f.label);
        }
        switch (f.kind) {
        case Kind::Choice: {
            c.choiceBox = new QGroupBox(this);
            c.choiceBox->setObjectName(f.control);
            m_groups.push_back(c.choiceBox);
            for (int k = 0; k < 2; ++k) {
                c.radios[k] = new QRadioButton(c.choiceBox);
                c.radios[k]->setObjectName(f.control + QStringLiteral("_Item%1").arg(k));
                c.radios[k]->setGeometry(12, 20 + k * 22, 222, 20);
            }
            break;
        }
        case Kind::List:
            c.combo = new QComboBox(parent);
            c.combo->setObjectName(f.control);
            connect(c.combo, &QComboBox::currentIndexChanged, this, [this, name = f.control] {
                if (m_loading)
                    return;
                if (name == QLatin1String("cmbDHCP"))
                    cmbDHCPChange();
                else if (name == QLatin1String("cmbJudgePaperMode"))
                    cmbJudgePaperModeChange();
                else if (name == QLatin1String("cmbProtocol"))
                    cmbProtocolChange();
            });
            break;
        case Kind::Edit:
            c.edit = new QLineEdit(parent);
            c.edit->setObjectName(f.control);
            c.edit->installEventFilter(this);
            break;
        case Kind::Address:
            for (int k = 1; k <= 4; ++k) {
                auto* edit = new QLineEdit(parent);
                edit->setObjectName(f.control + QString::number(k));
                edit->installEventFilter(this);
                c.parts.push_back(edit);
            }
            break;
        }
    }
    m_label3 = new QLabel(groups.value(QStringLiteral("gpbOther"), nullptr));
    m_label3->setObjectName(QStringLiteral("Label3"));
    m_label3->setText(kLarchTearOffRange);

    m_btnSet = new QPushButton(this);
    m_btnSet->setObjectName(QStringLiteral("btnSet"));
    m_btnClose = new QPushButton(this);
    m_btnClose->setObjectName(QStringLiteral("btnClose"));
    // Enter in an edit is a key like any other; it never presses Set.
    for (QPushButton* b : {m_btnSet, m_btnClose}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    connect(m_btnSet, &QPushButton::clicked, this, [this] { btnSetClick(); });
    connect(m_btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });
}

void T_frmParaSet_Kapok::LayOut() {
    const QHash<QString, QRect> places = Places(m_variant);
    for (QWidget* w : findChildren<QWidget*>())
        Place(w, places);
    for (Control& c : m_controls) {
        if (c.parts.empty())
            continue;
        const QRect first = places.value(m_model->field(c.field).control);
        for (int k = 0; k < 4; ++k)
            c.parts[std::size_t(k)]->setGeometry(first.translated(k * kPartStep, 0));
    }
    setFixedSize(kWidth, kHeight);
}

QString T_frmParaSet_Kapok::Text(const QString& key) const {
    return key.startsWith(QLatin1Char('_')) ? pellum::lang::Msg(key) : pellum::lang::LangText(key);
}

QLineEdit* T_frmParaSet_Kapok::Edit(const QString& name) const {
    return findChild<QLineEdit*>(name);
}

void T_frmParaSet_Kapok::InitLanguage() {
    const WindowTable& table = m_model->table();
    setWindowTitle(pellum::lang::Msg(QStringLiteral("_ParaSet")));
    for (const GroupCaption& g : table.groups)
        if (auto* box = findChild<QGroupBox*>(g.name))
            box->setTitle(Text(g.captionKey));
    for (const LabelText& t : table.texts)
        if (auto* label = findChild<QLabel*>(t.control))
            label->setText(Text(t.key));
    for (Control& c : m_controls) {
        const Field& f = m_model->field(c.field);
        if (c.label)
            c.label->setText(Text(f.captionKey));
        if (c.choiceBox) {
            c.choiceBox->setTitle(Text(f.captionKey));
            for (int k = 0; k < 2; ++k)
                c.radios[k]->setText(Text(f.itemKeys.value(k)));
        }
        // Lists whose items are window texts.
        if (c.combo && !f.itemKeys.isEmpty()) {
            Value& v = m_model->value(c.field);
            v.list.items.clear();
            for (const QString& key : f.itemKeys)
                v.list.items << Text(key);
        }
    }
    m_btnSet->setText(pellum::lang::Msg(QStringLiteral("_Set")));
    m_btnClose->setText(pellum::lang::Msg(QStringLiteral("_Close")));
    // The emulation list (from the catalogue, EPL for the models that have
    // it) is the model's; it is shown by Push().
    Push();
}

void T_frmParaSet_Kapok::ApplyOnlyChinese() {
    if (!pellum::models::ListContainsModel(
            pellum::models::ModelListValue(QStringLiteral("OnlyChinese")), m_session.Model()))
        return;
    if (auto* box = findChild<QGroupBox*>(QStringLiteral("gpbLanguage")))
        box->hide();
    if (m_variant == Variant::Kapok) {
        m_btnSet->move(m_btnSet->x(), kOnlyChineseButtonTop);
        setFixedSize(width(), height() - kOnlyChineseShrink);
    } else {
        m_btnSet->move(m_btnSet->x(), m_btnSet->y() - kLarchRise);
    }
    m_btnClose->move(m_btnClose->x(), m_btnSet->y());
}

void T_frmParaSet_Kapok::FormShow() {
    InitLanguage();
    pellum::lang::ApplyLanguageFont(this);
    ApplyOnlyChinese();
    if (m_variant == Variant::Kapok)
        m_label3->setText(m_model->tearOffRange());
    if (auto* protocol = findChild<QComboBox*>(QStringLiteral("cmbProtocol")))
        protocol->setEnabled(m_model->protocolEnabled());
    if (!PrinterCMD::CmdOpen(m_session))
        return; // the message has been shown; the controls keep their defaults
    m_model->ReadAll([this](const QString& key) { return PrinterCMD::CmdGetVal(m_session, key); });
    PrinterCMD::CmdClose(m_session);
    m_readOk = true;
    Push();
}

void T_frmParaSet_Kapok::ParaReadGDS() {
    m_model->ParaReadGDS(
        [this](const QString& key) { return PrinterCMD::CmdGetVal(m_session, key); });
    Push();
}

void T_frmParaSet_Kapok::btnSetClick() {
    if (!m_readOk) {
        // Nothing was read: sending the design-time defaults would overwrite
        // the printer's settings.
        close();
        return;
    }
    Pull();
    if (!m_model->PinLengthOk()) {
        pellum::lang::ErrorBox(pellum::lang::Msg(QStringLiteral("_Err_BTPWD_Len")));
        return;
    }
    if (const auto refused = m_model->FirstValueOutOfRange()) {
        // Nothing is sent: the window stays open on the value at fault.
        const Field& f = m_model->field(m_model->indexOf(refused->control));
        pellum::lang::ErrorBox(Text(QStringLiteral("FormParaSet_Err_OutOfRange"))
                                   .replace(QStringLiteral("%1"), Text(f.captionKey))
                                   .replace(QStringLiteral("%2"), QString::number(refused->low))
                                   .replace(QStringLiteral("%3"), QString::number(refused->high))
                                   .replace(QStringLiteral("%4"), refused->text));
        const QString name = refused->part >= 0
                                 ? refused->control + QString::number(refused->part + 1)
                                 : refused->control;
        if (QLineEdit* edit = Edit(name))
            edit->setFocus();
        return;
    }
    if (PrinterCMD::CmdOpen(m_session)) {
        ReplacePrintSetting();
        PrinterCMD::CmdClose(m_session);
        PrinterCMD::CmdDo(m_session, QStringLiteral("reset_printer"));
    }
    close();
}

void T_frmParaSet_Kapok::ReplacePrintSetting() {
    Pull();
    m_model->ReplacePrintSetting([this](const Write& w) {
        if (w.exact)
            PrinterCMD::CmdSetValExact(m_session, w.key, w.value);
        else
            PrinterCMD::CmdSetVal(m_session, w.key, w.value);
    });
}

void T_frmParaSet_Kapok::btnCloseClick() {
    close();
}

void T_frmParaSet_Kapok::cmbJudgePaperModeChange() {
    Pull();
    m_model->cmbJudgePaperModeChange();
    Push();
}

void T_frmParaSet_Kapok::cmbProtocolChange() {
    Pull();
    m_model->cmbProtocolChange();
    Push();
}

void T_frmParaSet_Kapok::cmbDHCPChange() {
    Pull();
    const bool on = m_model->AddressesEnabled();
    for (Control& c : m_controls)
        for (QLineEdit* e : c.parts)
            e->setEnabled(on);
}

bool T_frmParaSet_Kapok::CheckImportNumber(QChar c) {
    return KeyAccepted(KeyFilter::DigitsDash, c.unicode());
}

bool T_frmParaSet_Kapok::CheckImportBTN(QChar c) {
    return KeyAccepted(KeyFilter::BtName, c.unicode());
}

bool T_frmParaSet_Kapok::CheckImportBTP(QChar c) {
    return KeyAccepted(KeyFilter::Digits, c.unicode());
}

void T_frmParaSet_Kapok::CheckValue(QLineEdit* /*left*/) {
    // Whichever edit was left, the tear-off edit is the one checked.
    Pull();
    m_model->CheckTearOff();
    Push();
}

void T_frmParaSet_Kapok::Pull() {
    for (Control& c : m_controls) {
        Value& v = m_model->value(c.field);
        if (c.combo) {
            v.list.selected = c.combo->currentIndex();
        } else if (c.edit) {
            v.text = c.edit->text();
        } else if (!c.parts.empty()) {
            for (int k = 0; k < 4; ++k)
                v.parts[k] = c.parts[std::size_t(k)]->text();
        } else if (c.choiceBox) {
            v.choice = c.radios[1]->isChecked() ? 1 : (c.radios[0]->isChecked() ? 0 : -1);
        }
    }
}

void T_frmParaSet_Kapok::Push() {
    const bool wasLoading = m_loading;
    m_loading = true;
    for (Control& c : m_controls) {
        const Value& v = m_model->value(c.field);
        if (c.combo) {
            bool same = c.combo->count() == v.list.items.size();
            for (int k = 0; same && k < c.combo->count(); ++k)
                same = c.combo->itemText(k) == v.list.items.at(k);
            if (!same) {
                c.combo->clear();
                c.combo->addItems(v.list.items);
            }
            c.combo->setCurrentIndex(v.list.selected);
        } else if (c.edit) {
            if (c.edit->text() != v.text)
                c.edit->setText(v.text);
        } else if (!c.parts.empty()) {
            for (int k = 0; k < 4; ++k)
                if (c.parts[std::size_t(k)]->text() != v.parts[k])
                    c.parts[std::size_t(k)]->setText(v.parts[k]);
        } else if (c.choiceBox) {
            // Both buttons off is "no choice yet".
            for (int k = 0; k < 2; ++k)
                c.radios[k]->setAutoExclusive(false);
            for (int k = 0; k < 2; ++k)
                c.radios[k]->setChecked(v.choice == k);
            for (int k = 0; k < 2; ++k)
                c.radios[k]->setAutoExclusive(true);
        }
    }
    m_loading = wasLoading;
    cmbDHCPChange();
}

const Field* T_frmParaSet_Kapok::FieldOfEdit(QObject* edit, int* part) const {
    for (const Control& c : m_controls) {
        if (c.edit == edit) {
            if (part)
                *part = -1;
            return &m_model->field(c.field);
        }
        for (int k = 0; k < int(c.parts.size()); ++k) {
            if (c.parts[std::size_t(k)] == edit) {
                if (part)
                    *part = k;
                return &m_model->field(c.field);
            }
        }
    }
    return nullptr;
}

bool T_frmParaSet_Kapok::eventFilter(QObject* watched, QEvent* event) {
    auto* edit = qobject_cast<QLineEdit*>(watched);
    const Field* f = edit ? FieldOfEdit(edit) : nullptr;
    if (!f)
        return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        for (const QChar c : text) {
            if (!KeyAccepted(f->filter, c.unicode()))
                return true; // the key is dropped
            const bool editing =
                c.unicode() == 8 || c.unicode() == 13 || c.unicode() == 127 || c.unicode() == 9;
            // The length limit holds for typing only, so that a longer value
            // read from the printer is shown and sent back whole.
            if (!editing && f->maxLength > 0 &&
                edit->text().size() - edit->selectedText().size() >= f->maxLength)
                return true;
        }
        return false;
    }
    if (event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // A message box or another window taking the focus is not leaving
        // the field.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            const bool checked =
                f->control == QLatin1String("txtTearOff") || f->kind == Kind::Address;
            if (checked)
                CheckValue(edit);
        }
    }
    return QDialog::eventFilter(watched, event);
}
