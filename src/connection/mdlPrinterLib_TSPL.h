// The TSPL back-end of the connection layer: the process's TSPL printer
// object and the operations on it. The main window, the parameter block, the
// identity queries and most tool windows use it whatever the printer's
// command language is.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// Sets the handle to null, then creates a printer object for the library
// model name.
std::int32_t TsplCreatePrinter(const QString& libraryModel);
// Destroys the object; the handle keeps its value and can be opened again.
std::int32_t TsplDestroyPrinter();
// -6 without a printer object; on 5 (already open) closes and opens once
// more and returns that second result.
std::int32_t TsplOpenPort(const QString& port);
std::int32_t TsplClosePort();
std::int32_t TsplWriteData(const std::uint8_t* bytes, std::int32_t count);
std::int32_t TsplWriteData(const QByteArray& bytes);
std::int32_t TsplReadData(std::uint8_t* buffer, std::int32_t size, std::int32_t* count);
// Up to `attempts` reads with `intervalMs` after each incomplete one; the
// buffer holds `size` bytes and the count says how many arrived.
std::int32_t TsplReadDataRetry(std::uint8_t* buffer, std::int32_t size, std::int32_t* count,
                               std::int32_t attempts, std::int32_t intervalMs);
// Reads until `endByte` or `capacity` bytes; the two 8-bit positions take the
// low 8 bits of what is given.
std::int32_t TsplReadDataEOF(std::uint8_t* buffer, std::int32_t value32, std::int32_t capacity,
                             std::int32_t value8, std::int32_t endByte, std::int32_t* count);
std::int32_t TsplSelfTest();
std::int32_t TsplGetSN(std::uint8_t* buffer32);
