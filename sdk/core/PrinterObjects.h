// The printer objects behind the libraries' handles, and the operations that
// the three C interfaces share.
//
// A handle is a key into a registry, never a pointer: an unknown or null
// handle gives PELLUM_ERR_BAD_HANDLE instead of touching freed memory. Objects
// stay in the registry for the life of the process. Destroy closes the port
// and marks the object destroyed; the caller may still open a port through
// the same handle without a new create, which revives the object.
//
// Every operation is safe to call from several threads on the same object:
// open, close and destroy exclude each other and wait for running transfers;
// a read and a write may run at the same time.
#ifndef PELLUM_SDK_PRINTEROBJECTS_H
#define PELLUM_SDK_PRINTEROBJECTS_H

#include "PellumSdk.h"

#include <cstdint>
#include <string>

namespace pellum::sdk {

std::int32_t CreatePrinter(PellumHandle* handle, const PellumChar* model);
std::int32_t DestroyPrinter(PellumHandle* handle);
std::int32_t OpenPort(PellumHandle handle, const PellumChar* port);
std::int32_t ClosePort(PellumHandle handle);
std::int32_t WriteData(PellumHandle handle, const std::uint8_t* data, std::int32_t count);
std::int32_t ReadData(PellumHandle handle, std::uint8_t* buffer, std::int32_t size,
                      std::int32_t* delivered);
// value32 and value8 are accepted and ignored (callers pass 0).
std::int32_t ReadDataEOF(PellumHandle handle, std::uint8_t* buffer, std::int32_t value32,
                         std::int32_t size, std::uint8_t value8, std::uint8_t endByte,
                         std::int32_t* delivered);

// "SELFTEST\r\n": the printer prints its self-test page. Nothing is read.
std::int32_t SelfTest(PellumHandle handle);
// "ZZZGETSN\r\n", then up to 32 reply bytes into buffer32 (the rest zeroed).
// PELLUM_ERR_TIMEOUT when no byte arrived.
std::int32_t GetSerialNumber(PellumHandle handle, std::uint8_t* buffer32);

// The library model name given at create ("" for an unknown handle).
std::u16string ModelName(PellumHandle handle);

// UTF-16 (NUL-terminated, at most maxUnits units) to UTF-8; false when the
// text is longer. Unpaired surrogates become U+FFFD.
bool Utf16ToUtf8(const PellumChar* text, std::size_t maxUnits, std::string& out);

} // namespace pellum::sdk

#endif
