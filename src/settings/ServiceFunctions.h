// The service functions of the main window without the window: the
// configuration page, label learning, the print-module test, factory
// defaults, the sensor graph and the firmware-update mode. The main window's
// buttons and pellumctl's "service" command both run them, so both send the
// same bytes for the same model and family.
#pragma once

#include "core/PrinterSession.h"

#include <QByteArray>

namespace ServiceFunctions {

// Service commands, byte for byte.
inline const QByteArray kConfigPageEscMaple = QByteArray::fromHex("1D2841020000"
                                                                  "01");
inline const QByteArray kConfigPageEsc = QByteArray::fromHex("1D2841020000"
                                                             "02");
inline const QByteArray kLearn = QByteArrayLiteral("ZZZLEARN\r\n");
inline const QByteArray kDensityTest = QByteArrayLiteral("ZZZDENSITYTST\r\n");
inline const QByteArray kModuleTestOther = QByteArray::fromHex("1B1B04");
inline const QByteArray kModuleTestPlain = QByteArray::fromHex("1256");
inline const QByteArray kFactoryEscMaple = QByteArray::fromHex("1B1B20");
inline const QByteArray kFactory = QByteArray::fromHex("1B2152");
inline const QByteArray kDfuMode = QByteArrayLiteral("ZZZDFUMODE\r\n");

// True when CurrentModel is in the model list (no model is in no list).
bool InList(pellum::PrinterSession& session, const char* listKey);

// The first steps of every function: opens the TSPL connection to
// CurrentPort (0 and 5 are usable; anything else is shown as
// "_Err_OpenPort:code" and gives false), then sets CurrentFamily to 1, or to
// the printer's emulation for a model in "HaveTwoProtocol".
bool OpenForFunction(pellum::PrinterSession& session);

// The actions; each expects OpenForFunction(session) to have succeeded and leaves
// the port closed. Results are in LastResultCode (write failures are not
// shown).
void PrintConfigPage(pellum::PrinterSession& session);
void StartLearn(pellum::PrinterSession& session);
void SensorGraph(pellum::PrinterSession& session);
void ModuleTest(pellum::PrinterSession& session);
// Asks "FormMain_Label_MSGRestore" first; false when the user cancelled
// (nothing is sent).
bool FactoryDefault(pellum::PrinterSession& session);

// Sends the firmware-update-mode command unless the model is in
// "DFUWithoutCMD" (opens and closes the port itself). False when the open
// failed (shown as "_Err_OpenPort:code").
bool EnterFirmwareUpdateMode(pellum::PrinterSession& session);

} // namespace ServiceFunctions
