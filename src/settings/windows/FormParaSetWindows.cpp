#include "settings/windows/FormParaSetWindows.h"

#include <functional>
#include <map>

namespace {

const SettingsTables::WindowSpec& Table(const char* className) {
    return *SettingsTables::FindWindow(QString::fromLatin1(className));
}

} // namespace

#define PELLUM_DEFINE_SETTINGS_WINDOW(Name)                                                        \
    T_frmParaSet_##Name::T_frmParaSet_##Name(QWidget* parent)                                      \
        : pellum::FormParaSetEngine(Table("T_frmParaSet_" #Name), parent) {}
PELLUM_FOR_EACH_SETTINGS_WINDOW(PELLUM_DEFINE_SETTINGS_WINDOW)
#undef PELLUM_DEFINE_SETTINGS_WINDOW

namespace pellum {

std::unique_ptr<FormParaSetEngine> CreateSettingsWindow(const QString& className, QWidget* parent) {
    using Factory = std::function<std::unique_ptr<FormParaSetEngine>(QWidget*)>;
#define PELLUM_FACTORY(Name)                                                                       \
    {QStringLiteral("T_frmParaSet_" #Name),                                                        \
     [](QWidget* p) { return std::make_unique<T_frmParaSet_##Name>(p); }},
    static const std::map<QString, Factory> factories{
        PELLUM_FOR_EACH_SETTINGS_WINDOW(PELLUM_FACTORY)};
#undef PELLUM_FACTORY
    auto it = factories.find(className);
    if (it == factories.end())
        return nullptr;
    return it->second(parent);
}

} // namespace pellum
