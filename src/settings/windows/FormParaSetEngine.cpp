#include "settings/windows/FormParaSetEngine.h"

#include "core/Localization.h"
#include "core/ModelLists.h"
#include "core/PrinterSession.h"
#include "gui/GuiLanguage.h"
#include "settings/IdentityQueries.h"
#include "settings/PrinterCMD.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>

namespace pellum {

using namespace SettingsTables;

namespace {

// Geometry of the generated dialogs, in pixels.
constexpr int kMargin = 10;
constexpr int kGap = 6;
constexpr int kRowHeight = 28;
constexpr int kControlHeight = 22;
constexpr int kTitleHeight = 22;
constexpr int kListWidth = 150;
constexpr int kWideListWidth = 220;
constexpr int kFieldWidth = 60;
constexpr int kOctetWidth = 42;
constexpr int kOctetGap = 4;
constexpr int kNameWidth = 130;
constexpr int kButtonWidth = 90;
constexpr int kButtonHeight = 26;
constexpr int kReadFailCloseMs = 100;

int ControlWidth(Kind kind) {
    switch (kind) {
    case Kind::Codepage:
    case Kind::Charset:
    case Kind::PaperMaple:
    case Kind::PaperQuince:
        return kWideListWidth;
    case Kind::Octet:
        return kOctetWidth;
    case Kind::BtName:
        return kNameWidth;
    case Kind::Number:
    case Kind::Length:
    case Kind::Volts:
    case Kind::BtPin:
        return kFieldWidth;
    default:
        return kListWidth;
    }
}

// Characters a key filter lets through: the keys that edit (backspace,
// Enter, DEL) plus `accept`; every other character key is dropped.
bool KeyAllowed(QChar c, bool (*accept)(char16_t)) {
    const char16_t u = c.unicode();
    if (u == 8 || u == 13 || u == 127)
        return true;
    if (u == 9) // Tab moves the focus; it never reaches the field's text
        return true;
    return accept(u);
}

bool Digit(char16_t u) {
    return u >= u'0' && u <= u'9';
}
bool NameCharacter(char16_t u) {
    return u >= 33 && u <= 127;
}

} // namespace

FormParaSetEngine::FormParaSetEngine(const WindowSpec& spec, const pellum::PrinterTarget& printer,
                                     QWidget* parent)
    : FormDialog(printer, parent), m_spec(spec) {
    setObjectName(spec.className);
    setAttribute(Qt::WA_DeleteOnClose, false);
    BuildControls();
}

FormParaSetEngine::~FormParaSetEngine() = default;

bool FormParaSetEngine::HaveBT() const {
    return m_model && m_model->haveBt();
}

void FormParaSetEngine::BuildControls() {
    m_controls.assign(m_spec.fields.size(), nullptr);
    m_radios.assign(m_spec.fields.size() * 2, nullptr);
    for (const Group& g : m_spec.groups) {
        GroupBox gb;
        gb.spec = &g;
        gb.box = new QGroupBox(this);
        gb.box->setObjectName(g.name);
        m_groups.push_back(gb);
    }
    auto groupOf = [this](const QString& name) -> GroupBox* {
        for (GroupBox& gb : m_groups) {
            if (gb.spec->name == name)
                return &gb;
        }
        return nullptr;
    };
    for (int i = 0; i < int(m_spec.fields.size()); ++i) {
        const Field& f = m_spec.fields[std::size_t(i)];
        GroupBox* gb = f.group.isEmpty() ? nullptr : groupOf(f.group);
        QWidget* parent = gb ? static_cast<QWidget*>(gb->box) : this;
        if (f.kind == Kind::Switch) {
            gb->switchField = i;
            for (int choice = 0; choice < 2; ++choice) {
                auto* radio = new QRadioButton(gb->box);
                radio->setObjectName(f.control + QStringLiteral("_Item%1").arg(choice));
                m_radios[std::size_t(i) * 2 + std::size_t(choice)] = radio;
            }
            m_controls[std::size_t(i)] = gb->box;
            continue;
        }
        QWidget* control = nullptr;
        if (IsTextKind(f.kind)) {
            auto* edit = new QLineEdit(parent);
            edit->setMaxLength(f.maxLength > 0 ? f.maxLength : DefaultMaxLength(f.kind));
            edit->installEventFilter(this);
            control = edit;
        } else if (f.kind == Kind::BtPairing) {
            control = new QCheckBox(parent);
        } else {
            auto* combo = new QComboBox(parent);
            if (f.control == QLatin1String("cmbDHCP"))
                connect(combo, &QComboBox::currentIndexChanged, this, [this] { cmbDHCPChange(); });
            if (f.control == QLatin1String("cmbDetectMode") && m_spec.juniperDetectMode)
                connect(combo, &QComboBox::currentIndexChanged, this,
                        [this] { cmbDetectModeChange(); });
            control = combo;
        }
        control->setObjectName(f.control);
        m_controls[std::size_t(i)] = control;
        Row row;
        row.field = i;
        row.control = control;
        if (!f.label.isEmpty()) {
            row.label = new QLabel(parent);
            row.label->setObjectName(f.label);
        }
        if (!f.trailing.isEmpty()) {
            row.trailing = new QLabel(parent);
            row.trailing->setObjectName(f.trailing);
        }
        std::vector<Row>& rows = gb ? gb->rows : m_footRows;
        if (f.kind == Kind::Octet && f.label.isEmpty() && !rows.empty())
            rows.back().more.push_back(control);
        else
            rows.push_back(row);
    }
    m_btnSet = new QPushButton(this);
    m_btnSet->setObjectName(QStringLiteral("btnSet"));
    m_btnClose = new QPushButton(this);
    m_btnClose->setObjectName(QStringLiteral("btnClose"));
    connect(m_btnSet, &QPushButton::clicked, this, [this] { btnSetClick(); });
    connect(m_btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });
    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(kReadFailCloseMs);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] { Timer1Timer(); });
}

QWidget* FormParaSetEngine::ControlOf(int field) const {
    return field >= 0 && field < int(m_controls.size()) ? m_controls[std::size_t(field)] : nullptr;
}

int FormParaSetEngine::FieldOf(QObject* control) const {
    for (int i = 0; i < int(m_controls.size()); ++i) {
        if (m_controls[std::size_t(i)] == control)
            return i;
    }
    return -1;
}

bool FormParaSetEngine::ModelInOnlyChinese() const {
    return pellum::models::ModelIn(QStringLiteral("OnlyChinese"), m_session.Model());
}

void FormParaSetEngine::FormShow() {
    pellum::lang::ApplyLanguageFont(this);
    m_model = std::make_unique<WindowModel>(m_spec, m_session.Model());
    InitLanguage();
    // The lists: code pages, speeds and every fixed list, from the model.
    for (int i = 0; i < m_model->fieldCount(); ++i) {
        if (auto* combo = qobject_cast<QComboBox*>(ControlOf(i))) {
            const QSignalBlocker block(combo);
            combo->clear();
            combo->addItems(m_model->entries(i));
            combo->setCurrentIndex(m_model->entries(i).isEmpty() ? -1 : 0);
        }
    }
    if (m_spec.bluetooth && m_spec.bluetooth->hideWhenAbsent && !HaveBT()) {
        for (GroupBox& gb : m_groups) {
            if (gb.spec->name == QLatin1String("gpbBT"))
                gb.box->hide();
        }
    }
    LayOut();
    ApplyOnlyChinese();
    if (m_spec.bluetooth && !m_spec.bluetooth->hideWhenAbsent && !m_spec.bluetooth->toggleAfterRead)
        EnableBluetooth(HaveBT());
    if (!m_spec.languageDisabledFor.isEmpty() &&
        pellum::models::ListContainsModel(m_spec.languageDisabledFor, m_session.Model())) {
        for (const char* name : {"gpbLanguage", "cmbInternationalCharacter", "cmbCodepage"}) {
            if (auto* w = findChild<QWidget*>(QString::fromLatin1(name)))
                w->setEnabled(false);
        }
    }
    if (!m_spec.printTypeDisabledFor.isEmpty() &&
        m_session.Model() == m_spec.printTypeDisabledFor) {
        if (auto* w = findChild<QWidget*>(QStringLiteral("gpbPrintType")))
            w->setEnabled(false);
    }

    PrintSetting.fill(0);
    if (m_spec.queryEmulation)
        m_session.SetFamily(IdentityQueries::QueryEmulation(m_session));
    QString message;
    ParameterBlockProtocol::ReadParameterBlock(m_session, PrintSetting, message);
    if (message != QLatin1String("OK")) {
        pellum::lang::ErrorBox(message);
        m_timer->start();
        return;
    }
    m_readOk = true;
    SplitSetting();
    if (m_spec.bluetooth && m_spec.bluetooth->toggleAfterRead)
        EnableBluetooth(HaveBT());
}

void FormParaSetEngine::InitLanguage() {
    setWindowTitle(ResolveText(m_spec.captionKey));
    m_btnSet->setText(pellum::lang::Msg(QStringLiteral("_Set")));
    m_btnClose->setText(pellum::lang::Msg(QStringLiteral("_Close")));
    for (GroupBox& gb : m_groups)
        gb.box->setTitle(gb.spec->captionKey.isEmpty() ? QString()
                                                       : ResolveText(gb.spec->captionKey));
    for (int i = 0; i < int(m_spec.fields.size()); ++i) {
        const Field& f = m_spec.fields[std::size_t(i)];
        if (f.kind == Kind::Switch) {
            for (int choice = 0; choice < 2; ++choice) {
                if (auto* r = m_radios[std::size_t(i) * 2 + std::size_t(choice)])
                    r->setText(choice < f.entries.size() ? ResolveText(f.entries.at(choice))
                                                         : QString());
            }
            continue;
        }
        if (auto* check = qobject_cast<QCheckBox*>(ControlOf(i)))
            check->setText(ResolveText(f.captionKey));
        if (!f.label.isEmpty()) {
            if (auto* label = findChild<QLabel*>(f.label))
                label->setText(ResolveText(f.captionKey));
        }
        if (!f.trailing.isEmpty()) {
            if (auto* label = findChild<QLabel*>(f.trailing))
                label->setText(ResolveText(f.trailingText));
        }
    }
}

void FormParaSetEngine::LayOut() {
    // Rows of a group box: labels in one column, controls after them.
    struct Size {
        int w = 0;
        int h = 0;
    };
    auto labelWidth = [](const std::vector<Row>& rows) {
        int w = 0;
        for (const Row& r : rows) {
            if (r.label)
                w = std::max(w, r.label->sizeHint().width());
        }
        return w;
    };
    auto layRows = [&](std::vector<Row>& rows, int top) -> Size {
        const int lw = labelWidth(rows);
        int width = 0;
        int y = top;
        for (Row& r : rows) {
            const Field& f = m_spec.fields[std::size_t(r.field)];
            int x = kMargin;
            if (r.label) {
                r.label->setGeometry(x, y + 3, lw, kControlHeight - 4);
                x += lw + 8;
            }
            const int cw =
                f.kind == Kind::BtPairing ? r.control->sizeHint().width() : ControlWidth(f.kind);
            r.control->setGeometry(x, y, cw, kControlHeight);
            x += cw;
            for (QWidget* w : r.more) {
                x += kOctetGap;
                w->setGeometry(x, y, kOctetWidth, kControlHeight);
                x += kOctetWidth;
            }
            if (r.trailing) {
                x += 6;
                const int tw = r.trailing->sizeHint().width();
                r.trailing->setGeometry(x, y + 3, tw, kControlHeight - 4);
                x += tw;
            }
            width = std::max(width, x + kMargin);
            y += kRowHeight;
        }
        return {width, y - top};
    };

    // Size every group box.
    std::vector<Size> sizes(m_groups.size());
    for (std::size_t g = 0; g < m_groups.size(); ++g) {
        GroupBox& gb = m_groups[g];
        if (gb.switchField >= 0) {
            QRadioButton* r0 = m_radios[std::size_t(gb.switchField) * 2];
            QRadioButton* r1 = m_radios[std::size_t(gb.switchField) * 2 + 1];
            const int w0 = r0->sizeHint().width();
            const int w1 = r1->sizeHint().width();
            r0->setGeometry(kMargin, kTitleHeight, w0, kControlHeight);
            r1->setGeometry(kMargin + w0 + 20, kTitleHeight, w1, kControlHeight);
            const int titleWidth = gb.box->fontMetrics().horizontalAdvance(gb.box->title()) + 30;
            sizes[g] = {std::max(kMargin + w0 + 20 + w1 + kMargin, titleWidth),
                        kTitleHeight + kControlHeight + 8};
        } else {
            const Size s = layRows(gb.rows, kTitleHeight);
            const int titleWidth = gb.box->fontMetrics().horizontalAdvance(gb.box->title()) + 30;
            sizes[g] = {std::max(s.w, titleWidth), kTitleHeight + s.h + 4};
        }
    }
    auto visible = [](const GroupBox& gb) { return !gb.box->isHidden(); };
    int leftW = 0;
    int rightW = 0;
    int fullW = 0;
    for (std::size_t g = 0; g < m_groups.size(); ++g) {
        if (!visible(m_groups[g]))
            continue;
        switch (m_groups[g].spec->place) {
        case Place::Left:
            leftW = std::max(leftW, sizes[g].w);
            break;
        case Place::Right:
            rightW = std::max(rightW, sizes[g].w);
            break;
        default:
            fullW = std::max(fullW, sizes[g].w);
            break;
        }
    }
    // The foot line: the anti-stick row on the left, the buttons on the right.
    int footW = 0;
    {
        int x = kMargin;
        const int gap = m_spec.sumacStopPrintRow ? 5 : 3;
        for (Row& r : m_footRows) {
            if (r.label) {
                int lw = r.label->sizeHint().width();
                if (m_spec.sumacStopPrintRow)
                    lw = pellum::lang::LanguageId == QLatin1String("1033") ? 108 : 65;
                r.label->setGeometry(x, 0, lw, kControlHeight - 4);
                x += lw + gap;
            }
            r.control->setGeometry(x, 0, kFieldWidth, kControlHeight);
            x += kFieldWidth;
            if (r.trailing) {
                x += gap;
                const int tw = r.trailing->sizeHint().width();
                r.trailing->setGeometry(x, 0, tw, kControlHeight - 4);
                x += tw;
            }
        }
        footW = x + 20 + 2 * kButtonWidth + 10;
    }
    int bodyW = leftW + (rightW > 0 ? kGap + rightW : 0);
    bodyW = std::max({bodyW, fullW, footW - kMargin});
    if (rightW > 0)
        rightW = bodyW - leftW - kGap;
    else
        leftW = bodyW;

    int y = kMargin;
    for (std::size_t g = 0; g < m_groups.size(); ++g) {
        if (visible(m_groups[g]) && m_groups[g].spec->place == Place::Top) {
            m_groups[g].box->setGeometry(kMargin, y, bodyW, sizes[g].h);
            y += sizes[g].h + kGap;
        }
    }
    int yl = y;
    int yr = y;
    for (std::size_t g = 0; g < m_groups.size(); ++g) {
        if (!visible(m_groups[g]))
            continue;
        if (m_groups[g].spec->place == Place::Left) {
            m_groups[g].box->setGeometry(kMargin, yl, leftW, sizes[g].h);
            yl += sizes[g].h + kGap;
        } else if (m_groups[g].spec->place == Place::Right) {
            m_groups[g].box->setGeometry(kMargin + leftW + kGap, yr, rightW, sizes[g].h);
            yr += sizes[g].h + kGap;
        }
    }
    y = std::max(yl, yr);
    for (std::size_t g = 0; g < m_groups.size(); ++g) {
        if (visible(m_groups[g]) && m_groups[g].spec->place == Place::Bottom) {
            m_groups[g].box->setGeometry(kMargin, y, bodyW, sizes[g].h);
            y += sizes[g].h + kGap;
        }
    }
    y += 2;
    for (Row& r : m_footRows) {
        for (QWidget* w :
             {static_cast<QWidget*>(r.label), r.control, static_cast<QWidget*>(r.trailing)}) {
            if (w)
                w->move(w->x(), y + (w == r.control ? 0 : 3));
        }
    }
    const int right = kMargin + bodyW;
    m_btnClose->setGeometry(right - kButtonWidth, y, kButtonWidth, kButtonHeight);
    m_btnSet->setGeometry(right - 2 * kButtonWidth - 10, y, kButtonWidth, kButtonHeight);
    setFixedSize(bodyW + 2 * kMargin, y + kButtonHeight + kMargin);
}

void FormParaSetEngine::ApplyOnlyChinese() {
    const OnlyChineseRule& rule = m_spec.onlyChinese;
    if (rule.action == OnlyChineseRule::None || !ModelInOnlyChinese())
        return;
    if (rule.action == OnlyChineseRule::DisableCodepage) {
        for (const char* name : {"cmbCodepage", "lblCodepage"}) {
            if (auto* w = findChild<QWidget*>(QString::fromLatin1(name)))
                w->setEnabled(false);
        }
        return;
    }
    auto* group = findChild<QGroupBox*>(QStringLiteral("gpbLanguage"));
    if (!group)
        return;
    const int freed = group->height() + kGap;
    group->hide();
    int rise = 0;
    switch (rule.rise) {
    case OnlyChineseRule::ButtonHeight:
        rise = m_btnSet->height();
        break;
    case OnlyChineseRule::GroupHeight:
        rise = freed;
        break;
    case OnlyChineseRule::TenPixels:
        rise = 10;
        break;
    case OnlyChineseRule::ToStopRow:
        rise = 15;
        break;
    }
    rise = std::min(rise, freed);
    m_btnSet->move(m_btnSet->x(), m_btnSet->y() - rise);
    m_btnClose->move(m_btnClose->x(), m_btnSet->y());
    // The anti-stick row shares the foot line with the buttons, so it rises
    // with them; otherwise it would be cut off by the shorter window.
    for (Row& r : m_footRows) {
        for (QWidget* w :
             {static_cast<QWidget*>(r.label), r.control, static_cast<QWidget*>(r.trailing)}) {
            if (w)
                w->move(w->x(), w->y() - rise);
        }
    }
    int shrink = (rule.shrinkByGroup ? freed : 0) + rule.shrinkPixels;
    shrink = std::min(shrink, rise);
    if (shrink > 0)
        setFixedSize(width(), height() - shrink);
}

void FormParaSetEngine::EnableBluetooth(bool on) {
    for (const char* name : {"txtBTName", "txtBTPWD", "chkSimplePairing"}) {
        if (auto* w = findChild<QWidget*>(QString::fromLatin1(name)))
            w->setEnabled(on);
    }
}

void FormParaSetEngine::PushValues() {
    for (int i = 0; i < m_model->fieldCount(); ++i) {
        if (!m_model->fieldActive(i))
            continue;
        const FieldValue& v = m_model->value(i);
        const Field& f = m_model->field(i);
        if (f.kind == Kind::Switch) {
            m_radios[std::size_t(i) * 2 + (v.index == 1 ? 1 : 0)]->setChecked(true);
        } else if (auto* combo = qobject_cast<QComboBox*>(ControlOf(i))) {
            combo->setCurrentIndex(v.index);
        } else if (auto* edit = qobject_cast<QLineEdit*>(ControlOf(i))) {
            // A value read from the printer may be longer than the field lets
            // the user type; the field keeps it whole rather than cutting it.
            if (v.text.size() > edit->maxLength())
                edit->setMaxLength(int(v.text.size()));
            edit->setText(v.text);
        } else if (auto* check = qobject_cast<QCheckBox*>(ControlOf(i))) {
            check->setChecked(v.index == 1);
        }
    }
}

void FormParaSetEngine::PullValues() {
    for (int i = 0; i < m_model->fieldCount(); ++i) {
        FieldValue& v = m_model->value(i);
        const Field& f = m_model->field(i);
        if (f.kind == Kind::Switch) {
            v.index = m_radios[std::size_t(i) * 2 + 1]->isChecked() ? 1 : 0;
        } else if (auto* combo = qobject_cast<QComboBox*>(ControlOf(i))) {
            v.index = combo->currentIndex();
        } else if (auto* edit = qobject_cast<QLineEdit*>(ControlOf(i))) {
            v.text = edit->text();
        } else if (auto* check = qobject_cast<QCheckBox*>(ControlOf(i))) {
            v.index = check->isChecked() ? 1 : 0;
        }
    }
}

void FormParaSetEngine::SplitSetting() {
    m_model->Split(PrintSetting);
    PushValues();
    cmbDHCPChange();
    cmbDetectModeChange();
}

void FormParaSetEngine::ShowConversionError(int field) {
    const QString text = m_model ? m_model->value(field).text : QString();
    pellum::lang::ErrorBox(pellum::lang::LangText(QStringLiteral("FormParaSet_Err_NotANumber"))
                               .replace(QStringLiteral("%1"), text));
}

void FormParaSetEngine::ShowRangeError(int field) {
    const Field& f = m_model->field(field);
    pellum::lang::ErrorBox(
        pellum::lang::LangText(QStringLiteral("FormParaSet_Err_OutOfRange"))
            .replace(QStringLiteral("%1"), m_model->Caption(field))
            .replace(QStringLiteral("%2"), ShownNumber(f.check.low))
            .replace(QStringLiteral("%3"), ShownNumber(f.check.high))
            .replace(QStringLiteral("%4"), m_model->value(field).text.trimmed()));
}

bool FormParaSetEngine::ReplacePrintSetting() {
    PullValues();
    int errorField = -1;
    const StoreError error = m_model->Replace(PrintSetting, &errorField);
    switch (error) {
    case StoreError::None:
        return true;
    case StoreError::PinLength:
        pellum::lang::ErrorBox(pellum::lang::Msg(QStringLiteral("_Err_BTPWD_Len")));
        return false;
    case StoreError::Conversion:
        ShowConversionError(errorField);
        if (QWidget* w = ControlOf(errorField))
            w->setFocus();
        return false;
    case StoreError::Range:
        ShowRangeError(errorField);
        if (QWidget* w = ControlOf(errorField))
            w->setFocus();
        return false;
    }
    return false;
}

void FormParaSetEngine::btnSetClick() {
    if (!m_readOk)
        return;
    if (!ReplacePrintSetting())
        return; // nothing written; the window stays open
    const bool ok = ParameterBlockProtocol::WriteParameterBlock(m_session, PrintSetting);
    if (ok && m_spec.bluetooth && m_spec.bluetooth->pinRule)
        PrinterCMD::CmdDo(m_session,
                          QStringLiteral("\"reset_printer\"")); // its result is not reported
    if (ok)
        pellum::lang::InfoBox(pellum::lang::Msg(QStringLiteral("_ParaSet_OK")));
    else
        pellum::lang::ErrorBox(pellum::lang::Msg(QStringLiteral("_Err_ParaSet")));
    close();
}

void FormParaSetEngine::btnCloseClick() {
    close();
}

void FormParaSetEngine::Timer1Timer() {
    m_timer->stop();
    close();
}

void FormParaSetEngine::cmbDHCPChange() {
    if (m_spec.dhcp == DhcpRule::None)
        return;
    auto* combo = findChild<QComboBox*>(QStringLiteral("cmbDHCP"));
    if (!combo)
        return;
    const int staticEntry = m_spec.dhcp == DhcpRule::StaticIsEntry0 ? 0 : 1;
    const bool on = combo->currentIndex() == staticEntry;
    for (int i = 0; i < int(m_spec.fields.size()); ++i) {
        if (m_spec.fields[std::size_t(i)].kind == Kind::Octet)
            ControlOf(i)->setEnabled(on);
    }
}

void FormParaSetEngine::cmbDetectModeChange() {
    if (!m_spec.juniperDetectMode)
        return;
    auto* combo = findChild<QComboBox*>(QStringLiteral("cmbDetectMode"));
    if (!combo)
        return;
    const bool on = combo->currentIndex() != 0;
    for (const char* name : {"gpbReprintWhenError", "gpbPrintReprint"}) {
        if (auto* w = findChild<QWidget*>(QString::fromLatin1(name)))
            w->setEnabled(on);
    }
}

bool FormParaSetEngine::CheckValue(QLineEdit* edit) {
    const int i = FieldOf(edit);
    if (i < 0)
        return true;
    const Field& f = m_spec.fields[std::size_t(i)];
    bool conversionError = false;
    const QString corrected = ApplyCheck(f, edit->text(), &conversionError);
    if (conversionError) {
        pellum::lang::ErrorBox(pellum::lang::LangText(QStringLiteral("FormParaSet_Err_NotANumber"))
                                   .replace(QStringLiteral("%1"), edit->text()));
        return false;
    }
    if (corrected != edit->text())
        edit->setText(corrected);
    return true;
}

bool FormParaSetEngine::eventFilter(QObject* watched, QEvent* event) {
    auto* edit = qobject_cast<QLineEdit*>(watched);
    const int i = edit ? FieldOf(edit) : -1;
    if (i < 0)
        return QDialog::eventFilter(watched, event);
    const Field& f = m_spec.fields[std::size_t(i)];
    if (event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (text.isEmpty())
            return false; // navigation keys
        const bool pinRule = m_spec.bluetooth && m_spec.bluetooth->pinRule;
        bool (*accept)(char16_t) = nullptr;
        if (IsDigitKind(f.kind) || (f.kind == Kind::BtPin && pinRule))
            accept = Digit; // CheckImportNumber, CheckImportBTP
        else if (f.kind == Kind::BtName && pinRule)
            accept = NameCharacter; // CheckImportBTN
        if (!accept)
            return false;
        for (const QChar c : text) {
            if (!KeyAllowed(c, accept))
                return true; // dropped
        }
        return false;
    }
    if (event->type() == QEvent::FocusOut && f.check.active && f.check.clamp) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // A message box or a closing window takes the focus too; only a
        // real move to another control is "leaving the field".
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            CheckValue(edit);
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace pellum
