#include "settings/windows/FormParaSet_Larch.h"

#include <QLineEdit>

using namespace KvSettings;

T_frmParaSet_Larch::T_frmParaSet_Larch(const pellum::PrinterTarget& printer, QWidget* parent)
    : T_frmParaSet_Kapok(Variant::Larch, printer, parent) {}

bool T_frmParaSet_Larch::CheckImportNumber(QChar c) {
    return KeyAccepted(KeyFilter::Digits, c.unicode());
}

bool T_frmParaSet_Larch::CheckImportNumber_(QChar c) {
    return KeyAccepted(KeyFilter::DigitsDash, c.unicode());
}

void T_frmParaSet_Larch::CheckValue(QLineEdit* left) {
    // Only the tear-off edit is corrected when left; an address part
    // outside 0-255 stays as typed and is refused at Set.
    if (left && left->objectName() == QLatin1String("txtTearOff"))
        CheckValue_();
}

void T_frmParaSet_Larch::CheckValue_() {
    Pull();
    m_model->CheckTearOff(); // the Larch window's limit is always 120
    Push();
}
