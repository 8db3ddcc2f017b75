#include "connection/mdlPrinterLib_CPCL.h"

#include "connection/Backend.h"

using pellum::connection::CpclBackend;

std::int32_t CpclCreatePrinter(const QString& libraryModel) {
    return CpclBackend().Create(libraryModel);
}
std::int32_t CpclDestroyPrinter() { return CpclBackend().Destroy(); }
std::int32_t CpclOpenPort(const QString& port) { return CpclBackend().Open(port); }
std::int32_t CpclClosePort() { return CpclBackend().Close(); }
std::int32_t CpclWriteData(const std::uint8_t* bytes, std::int32_t count) {
    return CpclBackend().Write(bytes, count);
}
std::int32_t CpclWriteData(const QByteArray& bytes) {
    return CpclBackend().Write(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                               static_cast<std::int32_t>(bytes.size()));
}
std::int32_t CpclReadDataEOF(std::uint8_t* buffer, std::int32_t value32, std::int32_t capacity,
                             std::int32_t value8, std::int32_t endByte, std::int32_t* count) {
    return CpclBackend().ReadEof(buffer, value32, capacity, value8, endByte, count);
}
