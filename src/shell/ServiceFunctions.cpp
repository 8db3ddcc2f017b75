#include "shell/ServiceFunctions.h"

#include "connection/mdlPrinterLib_TSPL.h"
#include "settings/IdentityQueries.h"
#include "settings/PrinterCMD.h"
#include "shell/Localization.h"
#include "shell/mdlFunction.h"
#include "shell/mdlGlobal.h"

namespace ServiceFunctions {

namespace {

QString ErrOpenPort(std::int32_t code) {
    return Localization::WithCode(Localization::Msg(QStringLiteral("_Err_OpenPort")), code);
}

void SendAndClose(const QByteArray& bytes) {
    mdlGlobal::LastResultCode = TsplWriteData(bytes);
    TsplClosePort();
}

// The key-value action opens and closes its own connection; the one opened
// for the function is closed first so that only one is ever open.
void KeyValueDo(const char* key) {
    TsplClosePort();
    PrinterCMD::CmdDo(QLatin1String(key));
}

bool IsFamily(std::int32_t family) {
    return mdlGlobal::CurrentFamily.load() == family;
}

} // namespace

bool InList(const char* listKey) {
    return !mdlGlobal::CurrentModel.isEmpty() && mdlFunction::ModelIn(QLatin1String(listKey));
}

bool OpenForFunction() {
    const std::int32_t opened = TsplOpenPort(mdlGlobal::CurrentPort);
    mdlGlobal::LastResultCode = opened;
    if (opened != 0 && opened != 5) {
        Localization::ErrorBox(ErrOpenPort(opened));
        return false;
    }
    mdlGlobal::CurrentFamily = mdlGlobal::FamilyTSPL;
    if (InList("HaveTwoProtocol"))
        mdlGlobal::CurrentFamily = IdentityQueries::QueryEmulation();
    return true;
}

void PrintConfigPage() {
    if (InList("GDS"))
        return KeyValueDo("configguration_page");
    if (IsFamily(mdlGlobal::FamilyESC))
        return SendAndClose(InList("Maple_ParameterSetting") ? kConfigPageEscMaple
                                                             : kConfigPageEsc);
    const std::int32_t rc = TsplSelfTest();
    mdlGlobal::LastResultCode = rc;
    // Nothing follows the self-test: the port is closed rather than left
    // holding the printer's connection.
    TsplClosePort();
    if (rc != 0)
        Localization::ErrorBox(ErrOpenPort(rc));
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
    if (IsFamily(mdlGlobal::FamilyTSPL))
        return SendAndClose(kDensityTest);
    SendAndClose(InList("ModelPrintOtherCMD") ? kModuleTestOther : kModuleTestPlain);
}

bool FactoryDefault() {
    if (!Localization::ConfirmBox(
            Localization::LangText(QStringLiteral("FormMain_Label_MSGRestore")))) {
        TsplClosePort();
        return false;
    }
    if (InList("GDS")) {
        KeyValueDo("factory_default");
        return true;
    }
    SendAndClose(IsFamily(mdlGlobal::FamilyESC) && InList("Maple_ParameterSetting")
                     ? kFactoryEscMaple
                     : kFactory);
    return true;
}

bool EnterFirmwareUpdateMode() {
    if (InList("DFUWithoutCMD"))
        return true;
    const std::int32_t opened = TsplOpenPort(mdlGlobal::CurrentPort);
    mdlGlobal::LastResultCode = opened;
    if (opened != 0 && opened != 5) {
        Localization::ErrorBox(ErrOpenPort(opened));
        return false;
    }
    SendAndClose(kDfuMode);
    return true;
}

} // namespace ServiceFunctions
