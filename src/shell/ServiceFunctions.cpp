#include "shell/ServiceFunctions.h"

#include "connection/mdlPrinterLib_TSPL.h"
#include "core/CurrentPrinter.h"
#include "core/Family.h"
#include "core/Localization.h"
#include "core/ModelLists.h"
#include "settings/IdentityQueries.h"
#include "settings/PrinterCMD.h"

namespace ServiceFunctions {

namespace {

QString ErrOpenPort(std::int32_t code) {
    return pellum::lang::WithCode(pellum::lang::Msg(QStringLiteral("_Err_OpenPort")), code);
}

void SendAndClose(const QByteArray& bytes) {
    pellum::current::LastResultCode = TsplWriteData(bytes);
    TsplClosePort();
}

// The key-value action opens and closes its own connection; the one opened
// for the function is closed first so that only one is ever open.
void KeyValueDo(const char* key) {
    TsplClosePort();
    PrinterCMD::CmdDo(QLatin1String(key));
}

bool IsFamily(std::int32_t family) {
    return pellum::current::CurrentFamily.load() == family;
}

} // namespace

bool InList(const char* listKey) {
    return !pellum::current::CurrentModel.isEmpty() &&
           pellum::models::ModelIn(QLatin1String(listKey));
}

bool OpenForFunction() {
    const std::int32_t opened = TsplOpenPort(pellum::current::CurrentPort);
    pellum::current::LastResultCode = opened;
    if (opened != 0 && opened != 5) {
        pellum::lang::ErrorBox(ErrOpenPort(opened));
        return false;
    }
    pellum::current::CurrentFamily = pellum::FamilyTSPL;
    if (InList("HaveTwoProtocol"))
        pellum::current::CurrentFamily = IdentityQueries::QueryEmulation();
    return true;
}

void PrintConfigPage() {
    if (InList("GDS"))
        return KeyValueDo("configguration_page");
    if (IsFamily(pellum::FamilyESC))
        return SendAndClose(InList("Maple_ParameterSetting") ? kConfigPageEscMaple
                                                             : kConfigPageEsc);
    const std::int32_t rc = TsplSelfTest();
    pellum::current::LastResultCode = rc;
    // Nothing follows the self-test: the port is closed rather than left
    // holding the printer's connection.
    TsplClosePort();
    if (rc != 0)
        pellum::lang::ErrorBox(ErrOpenPort(rc));
}

void StartLearn() {
    if (InList("GDS"))
        return KeyValueDo("calibrate_sensor");
    SendAndClose(kLearn);
}

void SensorGraph() {
    KeyValueDo("graph_sensor");
    TsplClosePort();
}

void ModuleTest() {
    if (InList("GDS"))
        return KeyValueDo("tph_test_page");
    if (IsFamily(pellum::FamilyTSPL))
        return SendAndClose(kDensityTest);
    SendAndClose(InList("ModelPrintOtherCMD") ? kModuleTestOther : kModuleTestPlain);
}

bool FactoryDefault() {
    if (!pellum::lang::ConfirmBox(
            pellum::lang::LangText(QStringLiteral("FormMain_Label_MSGRestore")))) {
        TsplClosePort();
        return false;
    }
    if (InList("GDS")) {
        KeyValueDo("factory_default");
        return true;
    }
    SendAndClose(IsFamily(pellum::FamilyESC) && InList("Maple_ParameterSetting") ? kFactoryEscMaple
                                                                                 : kFactory);
    return true;
}

bool EnterFirmwareUpdateMode() {
    if (InList("DFUWithoutCMD"))
        return true;
    const std::int32_t opened = TsplOpenPort(pellum::current::CurrentPort);
    pellum::current::LastResultCode = opened;
    if (opened != 0 && opened != 5) {
        pellum::lang::ErrorBox(ErrOpenPort(opened));
        return false;
    }
    SendAndClose(kDfuMode);
    return true;
}

} // namespace ServiceFunctions
