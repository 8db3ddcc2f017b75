// The seventeen settings windows of the block-protocol models.
//
// Every window is the settings-window engine with its own table from
// SettingsTables.cpp; what differs between them is data, so each class only
// names its table.
#pragma once

#include "settings/windows/FormParaSetEngine.h"

#include <QString>

#include <memory>

#define PELLUM_SETTINGS_WINDOW(Name)                                                               \
    class T_frmParaSet_##Name : public pellum::FormParaSetEngine {                                 \
    public:                                                                                        \
        explicit T_frmParaSet_##Name(QWidget* parent = nullptr);                                   \
    };

PELLUM_SETTINGS_WINDOW(Nutmeg)
PELLUM_SETTINGS_WINDOW(Alder)
PELLUM_SETTINGS_WINDOW(Birch)
PELLUM_SETTINGS_WINDOW(Cedar)
PELLUM_SETTINGS_WINDOW(Dogwood)
PELLUM_SETTINGS_WINDOW(Ginkgo)
PELLUM_SETTINGS_WINDOW(Hazel)
PELLUM_SETTINGS_WINDOW(Ilex)
PELLUM_SETTINGS_WINDOW(Juniper)
PELLUM_SETTINGS_WINDOW(Maple)
PELLUM_SETTINGS_WINDOW(Poplar)
PELLUM_SETTINGS_WINDOW(Poplar_Varro)
PELLUM_SETTINGS_WINDOW(Quince)
PELLUM_SETTINGS_WINDOW(Quince_Varro)
PELLUM_SETTINGS_WINDOW(Quince_Rowan)
PELLUM_SETTINGS_WINDOW(Sumac)
PELLUM_SETTINGS_WINDOW(Sumac_Varro)

#undef PELLUM_SETTINGS_WINDOW

namespace pellum {

// Creates the window of a class name ("T_frmParaSet_Nutmeg"); nullptr for a
// name that is no block-protocol settings window.
std::unique_ptr<FormParaSetEngine> CreateSettingsWindow(const QString& className,
                                                        QWidget* parent = nullptr);

} // namespace pellum
