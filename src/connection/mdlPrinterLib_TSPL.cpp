#include "connection/mdlPrinterLib_TSPL.h"

#include "connection/Backend.h"

using pellum::connection::TsplBackend;

std::int32_t TsplCreatePrinter(const QString& libraryModel) {
    return TsplBackend().Create(libraryModel);
}
std::int32_t TsplDestroyPrinter() { return TsplBackend().Destroy(); }
std::int32_t TsplOpenPort(const QString& port) { return TsplBackend().Open(port); }
std::int32_t TsplClosePort() { return TsplBackend().Close(); }
std::int32_t TsplWriteData(const std::uint8_t* bytes, std::int32_t count) {
    return TsplBackend().Write(bytes, count);
}
std::int32_t TsplWriteData(const QByteArray& bytes) {
    return TsplBackend().Write(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                               static_cast<std::int32_t>(bytes.size()));
}
std::int32_t TsplReadData(std::uint8_t* buffer, std::int32_t size, std::int32_t* count) {
    return TsplBackend().Read(buffer, size, count);
}
std::int32_t TsplReadDataRetry(std::uint8_t* buffer, std::int32_t size, std::int32_t* count,
                               std::int32_t attempts, std::int32_t intervalMs) {
    return TsplBackend().ReadRetry(buffer, size, count, attempts, intervalMs);
}
std::int32_t TsplReadDataEOF(std::uint8_t* buffer, std::int32_t value32, std::int32_t capacity,
                             std::int32_t value8, std::int32_t endByte, std::int32_t* count) {
    return TsplBackend().ReadEof(buffer, value32, capacity, value8, endByte, count);
}
std::int32_t TsplSelfTest() { return TsplBackend().SelfTest(); }
std::int32_t TsplGetSN(std::uint8_t* buffer32) { return TsplBackend().GetSN(buffer32); }
