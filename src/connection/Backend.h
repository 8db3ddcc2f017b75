// One back-end of the connection layer: a printer object of one printer
// library and the operations on it. Each printer session owns one back-end per
// library; the object is destroyed with the back-end.
#pragma once

#include "connection/PrinterLibraries.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>

namespace pellum::connection {

class Backend {
public:
    Backend(LibraryId library, bool reopenWhenAlreadyOpen)
        : m_library(library), m_reopenWhenAlreadyOpen(reopenWhenAlreadyOpen) {}
    ~Backend();
    Backend(const Backend&) = delete;
    Backend& operator=(const Backend&) = delete;

    // Asks the library for a new printer object for the model; an object
    // this back-end already had is destroyed first.
    std::int32_t Create(const QString& libraryModel);
    // Destroys the printer object (its port closes); 0 when there was none.
    std::int32_t Destroy();
    // The model of the printer object that Open creates when there is none
    // (empty: Open reports -6 instead).
    void SetModelForOpen(const QString& libraryModel) { m_modelForOpen = libraryModel; }
    // Creates the printer object first when there is none and a model is
    // set. The TSPL back-end closes and reopens once when the library reports
    // the port already open (5).
    std::int32_t Open(const QString& port);
    std::int32_t Close();
    std::int32_t Write(const std::uint8_t* bytes, std::int32_t count);
    std::int32_t Write(const QByteArray& bytes);
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
    QString m_modelForOpen;
    std::atomic<PellumHandle> m_handle{nullptr};
};

} // namespace pellum::connection
