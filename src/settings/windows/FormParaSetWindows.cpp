#include "settings/windows/FormParaSetWindows.h"

#include <functional>
#include <map>

namespace {

const SettingsTables::WindowSpec& Table(const char* className) {
    return *SettingsTables::FindWindow(QString::fromLatin1(className));
}

} // namespace

#define PELLUM_SETTINGS_WINDOW(Name)                                                               \
    T_frmParaSet_##Name::T_frmParaSet_##Name(QWidget* parent)                                      \
        : pellum::FormParaSetEngine(Table("T_frmParaSet_" #Name), parent) {}

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

std::unique_ptr<FormParaSetEngine> CreateSettingsWindow(const QString& className, QWidget* parent) {
    using Factory = std::function<std::unique_ptr<FormParaSetEngine>(QWidget*)>;
#define PELLUM_FACTORY(Name)                                                                       \
    {                                                                                              \
        QStringLiteral("T_frmParaSet_" #Name),                                                     \
            [](QWidget* p) { return std::make_unique<T_frmParaSet_##Name>(p); }                    \
    }
    static const std::map<QString, Factory> factories{
        PELLUM_FACTORY(Nutmeg), PELLUM_FACTORY(Alder),        PELLUM_FACTORY(Birch),
        PELLUM_FACTORY(Cedar),  PELLUM_FACTORY(Dogwood),      PELLUM_FACTORY(Ginkgo),
        PELLUM_FACTORY(Hazel),  PELLUM_FACTORY(Ilex),         PELLUM_FACTORY(Juniper),
        PELLUM_FACTORY(Maple),  PELLUM_FACTORY(Poplar),       PELLUM_FACTORY(Poplar_Varro),
        PELLUM_FACTORY(Quince), PELLUM_FACTORY(Quince_Varro), PELLUM_FACTORY(Quince_Rowan),
        PELLUM_FACTORY(Sumac),  PELLUM_FACTORY(Sumac_Varro),
    };
#undef PELLUM_FACTORY
    auto it = factories.find(className);
    if (it == factories.end())
        return nullptr;
    return it->second(parent);
}

} // namespace pellum
