// One back-end of the connection layer: the process's printer object for one
// printer library and the operations on it. The named modules
// (mdlPrinterLib_TSPL, _CPCL, _ESC) are thin faces over one Backend each.
#pragma once

#include "connection/PrinterLibraries.h"

#include <QString>

#include <atomic>
#include <cstdint>

namespace pellum::connection {

class Backend {
public:
    Backend(LibraryId library, bool reopenWhenAlreadyOpen)
        : m_library(library), m_reopenWhenAlreadyOpen(reopenWhenAlreadyOpen) {}

    // Sets the handle to null, then asks the library for a new printer object.
    std::int32_t Create(const QString& libraryModel);
    // The handle keeps its value: the library accepts it again for an open.
    std::int32_t Destroy();
    // -6 without a printer object. The TSPL back-end closes and reopens once
    // when the library reports the port already open (5).
    std::int32_t Open(const QString& port);
    std::int32_t Close();
    std::int32_t Write(const std::uint8_t* bytes, std::int32_t count);
    std::int32_t Read(std::uint8_t* buffer, std::int32_t size, std::int32_t* count);
    // Up to `attempts` reads, waiting `intervalMs` after each incomplete one.
    // Each read asks only for the bytes still missing, so nothing is stored
    // beyond `size` and no byte that arrived is dropped.
    std::int32_t ReadRetry(std::uint8_t* buffer, std::int32_t size, std::int32_t* count,
                           std::int32_t attempts, std::int32_t intervalMs);
    std::int32_t ReadEof(std::uint8_t* buffer, std::int32_t value32, std::int32_t capacity,
                         std::int32_t value8, std::int32_t endByte, std::int32_t* count);
    std::int32_t SelfTest();
    std::int32_t GetSN(std::uint8_t* buffer32);

    PellumHandle Handle() const { return m_handle.load(); }

private:
    const PrinterLibrary& Lib() const { return Library(m_library); }

    LibraryId m_library;
    bool m_reopenWhenAlreadyOpen;
    std::atomic<PellumHandle> m_handle{nullptr};
};

Backend& TsplBackend();
Backend& CpclBackend();
Backend& EscBackend();

} // namespace pellum::connection
