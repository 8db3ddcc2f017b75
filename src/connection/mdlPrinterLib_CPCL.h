// The CPCL back-end of the connection layer: the process's CPCL printer
// object, created only through the dispatcher with family 3. Its open makes no
// retry.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

std::int32_t CpclCreatePrinter(const QString& libraryModel);
std::int32_t CpclDestroyPrinter();
std::int32_t CpclOpenPort(const QString& port);
std::int32_t CpclClosePort();
std::int32_t CpclWriteData(const std::uint8_t* bytes, std::int32_t count);
std::int32_t CpclWriteData(const QByteArray& bytes);
std::int32_t CpclReadDataEOF(std::uint8_t* buffer, std::int32_t value32, std::int32_t capacity,
                             std::int32_t value8, std::int32_t endByte, std::int32_t* count);
