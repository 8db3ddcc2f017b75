// libCPCL_SDK.so: the Prt* interface without PrtReadData, TSPL_SelfTest and
// TSPL_GetSN.
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
PELLUM_EXPORT int32_t PrtReadDataEOF(PellumHandle handle, uint8_t* buffer, int32_t value32,
                                     int32_t size, uint8_t value8, uint8_t endByte,
                                     int32_t* delivered) {
    return ReadDataEOF(handle, buffer, value32, size, value8, endByte, delivered);
}

static_assert(std::is_same_v<decltype(&PrtPrinterCreatorW), PrtPrinterCreatorW_t>);
static_assert(std::is_same_v<decltype(&PrtPrinterDestroy), PrtPrinterDestroy_t>);
static_assert(std::is_same_v<decltype(&PrtPortOpenW), PrtPortOpenW_t>);
static_assert(std::is_same_v<decltype(&PrtPortClose), PrtPortClose_t>);
static_assert(std::is_same_v<decltype(&PrtWriteData), PrtWriteData_t>);
static_assert(std::is_same_v<decltype(&PrtReadDataEOF), PrtReadDataEOF_t>);
