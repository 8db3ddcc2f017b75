// The settings window of the Larch key-value models: the Kapok window with a
// print-method group (ribbon switch), the emulation written first, an
// emulation list that some models may not change, fixed tear-off limits and
// three-digit address edits.
#pragma once

#include "settings/windows/FormParaSet_Kapok.h"

class T_frmParaSet_Larch : public T_frmParaSet_Kapok {
    Q_OBJECT
public:
    explicit T_frmParaSet_Larch(const pellum::PrinterTarget& printer, QWidget* parent = nullptr);

    // Key filters: the address edits take digits only, the tear-off edit
    // digits and "-".
    static bool CheckImportNumber(QChar c);
    static bool CheckImportNumber_(QChar c);
    // Leaving the tear-off edit: CheckValue_. Address edits are checked at
    // Set (0-255), not corrected when left.
    void CheckValue(QLineEdit* left) override;
    // The tear-off range -120 to 120.
    void CheckValue_();
};
