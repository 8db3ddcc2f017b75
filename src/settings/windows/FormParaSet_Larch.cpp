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
    if (!left)
        return;
    if (left->objectName() == QLatin1String("txtTearOff")) {
        CheckValue_();
        return;
    }
    // An address edit: its name is the row's prefix and the part 1-4.
    const QString name = left->objectName();
    const int part = name.right(1).toInt() - 1;
    Pull();
    m_model->CheckAddressPart(name.left(name.size() - 1), part);
    Push();
}

void T_frmParaSet_Larch::CheckValue_() {
    Pull();
    m_model->CheckTearOff(); // the Larch window's limit is always 120
    Push();
}
