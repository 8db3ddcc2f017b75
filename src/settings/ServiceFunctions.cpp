#include "settings/ServiceFunctions.h"

#include "core/Family.h"
#include "core/Localization.h"
#include "core/ModelLists.h"
#include "core/PrinterSession.h"
#include "settings/IdentityQueries.h"
#include "settings/PrinterCMD.h"

namespace ServiceFunctions {

namespace {

QString ErrOpenPort(std::int32_t code) {
    return pellum::lang::WithCode(pellum::lang::Msg(QStringLiteral("_Err_OpenPort")), code);
}

void SendAndClose(pellum::PrinterSession& session, const QByteArray& bytes) {
    session.SetLastResult(session.Tspl().Write(bytes));
    session.Tspl().Close();
}

// The key-value action opens and closes its own connection; the one opened
// for the function is closed first so that only one is ever open.
void KeyValueDo(pellum::PrinterSession& session, const char* key) {
    session.Tspl().Close();
    PrinterCMD::CmdDo(session, QLatin1String(key));
}

bool IsFamily(pellum::PrinterSession& session, std::int32_t family) {
    return session.Family() == family;
}

} // namespace

bool InList(pellum::PrinterSession& session, const char* listKey) {
    return !session.Model().isEmpty() &&
           pellum::models::ModelIn(QLatin1String(listKey), session.Model());
}

bool OpenForFunction(pellum::PrinterSession& session) {
    const std::int32_t opened = session.Tspl().Open(session.Port());
    session.SetLastResult(opened);
    if (opened != 0 && opened != 5) {
        pellum::lang::ErrorBox(ErrOpenPort(opened));
        return false;
    }
    session.SetFamily(pellum::FamilyTSPL);
    if (InList(session, "HaveTwoProtocol"))
        session.SetFamily(IdentityQueries::QueryEmulation(session));
    return true;
}

void PrintConfigPage(pellum::PrinterSession& session) {
    if (InList(session, "GDS"))
        return KeyValueDo(session, "configguration_page");
    if (IsFamily(session, pellum::FamilyESC))
        return SendAndClose(session, InList(session, "Maple_ParameterSetting") ? kConfigPageEscMaple
                                                                               : kConfigPageEsc);
    const std::int32_t rc = session.Tspl().SelfTest();
    session.SetLastResult(rc);
    // Nothing follows the self-test: the port is closed rather than left
    // holding the printer's connection.
    session.Tspl().Close();
    if (rc != 0)
        pellum::lang::ErrorBox(ErrOpenPort(rc));
}

void StartLearn(pellum::PrinterSession& session) {
    if (InList(session, "GDS"))
        return KeyValueDo(session, "calibrate_sensor");
    SendAndClose(session, kLearn);
}

void SensorGraph(pellum::PrinterSession& session) {
    KeyValueDo(session, "graph_sensor");
    session.Tspl().Close();
}

void ModuleTest(pellum::PrinterSession& session) {
    if (InList(session, "GDS"))
        return KeyValueDo(session, "tph_test_page");
    if (IsFamily(session, pellum::FamilyTSPL))
        return SendAndClose(session, kDensityTest);
    SendAndClose(session,
                 InList(session, "ModelPrintOtherCMD") ? kModuleTestOther : kModuleTestPlain);
}

bool FactoryDefault(pellum::PrinterSession& session) {
    if (!pellum::lang::ConfirmBox(
            pellum::lang::LangText(QStringLiteral("FormMain_Label_MSGRestore")))) {
        session.Tspl().Close();
        return false;
    }
    if (InList(session, "GDS")) {
        KeyValueDo(session, "factory_default");
        return true;
    }
    SendAndClose(session,
                 IsFamily(session, pellum::FamilyESC) && InList(session, "Maple_ParameterSetting")
                     ? kFactoryEscMaple
                     : kFactory);
    return true;
}

bool EnterFirmwareUpdateMode(pellum::PrinterSession& session) {
    if (InList(session, "DFUWithoutCMD"))
        return true;
    const std::int32_t opened = session.Tspl().Open(session.Port());
    session.SetLastResult(opened);
    if (opened != 0 && opened != 5) {
        pellum::lang::ErrorBox(ErrOpenPort(opened));
        return false;
    }
    SendAndClose(session, kDfuMode);
    return true;
}

} // namespace ServiceFunctions
