// libESC_SDK.so: the same operations under the unprefixed names.
#include "PellumSdk.h"
#include "core/PrinterObjects.h"
#include "faces/Export.h"

#include <type_traits>

using namespace pellum::sdk;

PELLUM_EXPORT int32_t PrinterCreator(PellumHandle* handle, const PellumChar* model) {
    return CreatePrinter(handle, model);
}
PELLUM_EXPORT int32_t PrinterDestroy(PellumHandle* handle) {
    return DestroyPrinter(handle);
}
PELLUM_EXPORT int32_t PortOpen(PellumHandle handle, const PellumChar* port) {
    return OpenPort(handle, port);
}
PELLUM_EXPORT int32_t PortClose(PellumHandle handle) {
    return ClosePort(handle);
}
PELLUM_EXPORT int32_t WriteData(PellumHandle handle, const uint8_t* data, int32_t count) {
    return pellum::sdk::WriteData(handle, data, count);
}
PELLUM_EXPORT int32_t ReadData(PellumHandle handle, uint8_t* buffer, int32_t size,
                               int32_t* delivered) {
    return pellum::sdk::ReadData(handle, buffer, size, delivered);
}
PELLUM_EXPORT int32_t ReadDataEOF(PellumHandle handle, uint8_t* buffer, int32_t value32,
                                  int32_t size, uint8_t value8, uint8_t endByte,
                                  int32_t* delivered) {
    return pellum::sdk::ReadDataEOF(handle, buffer, value32, size, value8, endByte, delivered);
}

static_assert(std::is_same_v<decltype(&PrinterCreator), PrinterCreator_t>);
static_assert(std::is_same_v<decltype(&PrinterDestroy), PrinterDestroy_t>);
static_assert(std::is_same_v<decltype(&PortOpen), PortOpen_t>);
static_assert(std::is_same_v<decltype(&PortClose), PortClose_t>);
static_assert(std::is_same_v<decltype(&::WriteData), WriteData_t>);
static_assert(std::is_same_v<decltype(&::ReadData), ReadData_t>);
static_assert(std::is_same_v<decltype(&::ReadDataEOF), ReadDataEOF_t>);
