// The ESC back-end of the connection layer: the process's ESC printer object,
// created by the command console and through the dispatcher with family 0.
// Its open makes no retry.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

std::int32_t EscCreatePrinter(const QString& libraryModel);
std::int32_t EscDestroyPrinter();
std::int32_t EscOpenPort(const QString& port);
std::int32_t EscClosePort();
std::int32_t EscWriteData(const std::uint8_t* bytes, std::int32_t count);
std::int32_t EscWriteData(const QByteArray& bytes);
std::int32_t EscReadData(std::uint8_t* buffer, std::int32_t size, std::int32_t* count);
std::int32_t EscReadDataRetry(std::uint8_t* buffer, std::int32_t size, std::int32_t* count,
                              std::int32_t attempts, std::int32_t intervalMs);
std::int32_t EscReadDataEOF(std::uint8_t* buffer, std::int32_t value32, std::int32_t capacity,
                            std::int32_t value8, std::int32_t endByte, std::int32_t* count);
