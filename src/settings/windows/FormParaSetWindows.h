// The seventeen settings windows of the block-protocol models.
//
// Every window is the settings-window engine with its own table from
// SettingsTables.cpp; what differs between them is data, so each class only
// names its table.
#pragma once

#include "settings/windows/FormParaSetEngine.h"

#include <QString>

#include <memory>

// The seventeen window names, for the declarations, constructors and factories.
#define PELLUM_FOR_EACH_SETTINGS_WINDOW(X)                                                         \
    X(Nutmeg)                                                                                      \
    X(Alder)                                                                                       \
    X(Birch)                                                                                       \
    X(Cedar)                                                                                       \
    X(Dogwood)                                                                                     \
    X(Ginkgo)                                                                                      \
    X(Hazel)                                                                                       \
    X(Ilex)                                                                                        \
    X(Juniper)                                                                                     \
    X(Maple)                                                                                       \
    X(Poplar)                                                                                      \
    X(Poplar_Varro)                                                                                \
    X(Quince)                                                                                      \
    X(Quince_Varro)                                                                                \
    X(Quince_Rowan)                                                                                \
    X(Sumac)                                                                                       \
    X(Sumac_Varro)

#define PELLUM_DECLARE_SETTINGS_WINDOW(Name)                                                       \
    class T_frmParaSet_##Name : public pellum::FormParaSetEngine {                                 \
    public:                                                                                        \
        explicit T_frmParaSet_##Name(const pellum::PrinterTarget& printer,                         \
                                     QWidget* parent = nullptr);                                   \
    };
PELLUM_FOR_EACH_SETTINGS_WINDOW(PELLUM_DECLARE_SETTINGS_WINDOW)
#undef PELLUM_DECLARE_SETTINGS_WINDOW

namespace pellum {

// Creates the window of a class name ("T_frmParaSet_Nutmeg"); nullptr for a
// name that is no block-protocol settings window.
std::unique_ptr<FormParaSetEngine> CreateSettingsWindow(const QString& className,
                                                        const PrinterTarget& printer,
                                                        QWidget* parent = nullptr);

} // namespace pellum
