// libTSPL_SDK.so: the Prt* interface with PrtReadData, TSPL_SelfTest and
// TSPL_GetSN.
//
// TSPL_SelfTest sends "SELFTEST\r\n" (53 45 4C 46 54 45 53 54 0D 0A) and reads
// nothing. TSPL_GetSN sends "ZZZGETSN\r\n" (5A 5A 5A 47 45 54 53 4E 0D 0A) and
// reads up to 32 reply bytes into the buffer, zeroing the rest.
#include "PellumSdk.h"
#include "core/PrinterObjects.h"
#include "faces/Export.h"

#include <type_traits>

using namespace pellum::sdk;

PELLUM_EXPORT int32_t PrtPrinterCreatorW(PellumHandle* handle, const PellumChar* model) {
    return CreatePrinter(handle, model);
}
PELLUM_EXPORT int32_t PrtPrinterDestroy(PellumHandle* handle) {
    return DestroyPrinter(handle);
}
PELLUM_EXPORT int32_t PrtPortOpenW(PellumHandle handle, const PellumChar* port) {
    return OpenPort(handle, port);
}
PELLUM_EXPORT int32_t PrtPortClose(PellumHandle handle) {
    return ClosePort(handle);
}
PELLUM_EXPORT int32_t PrtWriteData(PellumHandle handle, const uint8_t* data, int32_t count) {
    return WriteData(handle, data, count);
}
PELLUM_EXPORT int32_t PrtReadData(PellumHandle handle, uint8_t* buffer, int32_t size,
                                  int32_t* delivered) {
    return ReadData(handle, buffer, size, delivered);
}
PELLUM_EXPORT int32_t PrtReadDataEOF(PellumHandle handle, uint8_t* buffer, int32_t value32,
                                     int32_t size, uint8_t value8, uint8_t endByte,
                                     int32_t* delivered) {
    return ReadDataEOF(handle, buffer, value32, size, value8, endByte, delivered);
}
PELLUM_EXPORT int32_t TSPL_SelfTest(PellumHandle handle) {
    return SelfTest(handle);
}
PELLUM_EXPORT int32_t TSPL_GetSN(PellumHandle handle, uint8_t* buffer32) {
    return GetSerialNumber(handle, buffer32);
}

static_assert(std::is_same_v<decltype(&PrtPrinterCreatorW), PrtPrinterCreatorW_t>);
static_assert(std::is_same_v<decltype(&PrtPrinterDestroy), PrtPrinterDestroy_t>);
static_assert(std::is_same_v<decltype(&PrtPortOpenW), PrtPortOpenW_t>);
static_assert(std::is_same_v<decltype(&PrtPortClose), PrtPortClose_t>);
static_assert(std::is_same_v<decltype(&PrtWriteData), PrtWriteData_t>);
static_assert(std::is_same_v<decltype(&PrtReadData), PrtReadData_t>);
static_assert(std::is_same_v<decltype(&PrtReadDataEOF), PrtReadDataEOF_t>);
static_assert(std::is_same_v<decltype(&TSPL_SelfTest), TSPL_SelfTest_t>);
static_assert(std::is_same_v<decltype(&TSPL_GetSN), TSPL_GetSN_t>);
