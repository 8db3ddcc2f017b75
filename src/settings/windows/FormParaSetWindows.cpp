#include "settings/windows/FormParaSetWindows.h"

#include <functional>
#include <map>

namespace {

const SettingsTables::WindowSpec& Table(const char* className) {
    return *SettingsTables::FindWindow(QString::fromLatin1(className));
}

} // namespace

#define PELLUM_DEFINE_SETTINGS_WINDOW(Name)                                                        \
    T_frmParaSet_##Name::T_frmParaSet_##Name(const pellum::PrinterTarget& printer,                 \
                                             QWidget* parent)                                      \
        : pellum::FormParaSetEngine(Table("T_frmParaSet_" #Name), printer, parent) {}
PELLUM_FOR_EACH_SETTINGS_WINDOW(PELLUM_DEFINE_SETTINGS_WINDOW)
#undef PELLUM_DEFINE_SETTINGS_WINDOW

namespace pellum {

std::unique_ptr<FormParaSetEngine>
CreateSettingsWindow(const QString& className, const PrinterTarget& printer, QWidget* parent) {
    using Factory =
        std::function<std::unique_ptr<FormParaSetEngine>(const PrinterTarget&, QWidget*)>;
#define PELLUM_FACTORY(Name)                                                                       \
    {QStringLiteral("T_frmParaSet_" #Name), [](const PrinterTarget& t, QWidget* p) {               \
         return std::make_unique<T_frmParaSet_##Name>(t, p);                                       \
     }},
    static const std::map<QString, Factory> factories{
        PELLUM_FOR_EACH_SETTINGS_WINDOW(PELLUM_FACTORY)};
#undef PELLUM_FACTORY
    auto it = factories.find(className);
    if (it == factories.end())
        return nullptr;
    return it->second(printer, parent);
}

} // namespace pellum
