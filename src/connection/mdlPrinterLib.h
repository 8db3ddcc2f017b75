// The dispatcher of the connection layer: each operation goes to the
// back-end that CurrentFamily selects at the moment of the call (0 ESC,
// 3 CPCL, every other value TSPL).
#pragma once

#include "connection/PrinterLibraries.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

// The library a family value selects.
pellum::connection::LibraryId LibraryForFamily(std::int32_t family);

std::int32_t LibCreatePrinter(const QString& libraryModel);
std::int32_t LibDestroyPrinter();
std::int32_t LibOpenPort(const QString& port);
std::int32_t LibClosePort();
std::int32_t LibWriteData(const std::uint8_t* bytes, std::int32_t count);
std::int32_t LibWriteData(const QByteArray& bytes);
std::int32_t LibReadDataEOF(std::uint8_t* buffer, std::int32_t value32, std::int32_t capacity,
                            std::int32_t value8, std::int32_t endByte, std::int32_t* count);
