#include "connection/mdlPrinterLib_ESC.h"

#include "connection/Backend.h"

using pellum::connection::EscBackend;

std::int32_t EscCreatePrinter(const QString& libraryModel) {
    return EscBackend().Create(libraryModel);
}
std::int32_t EscDestroyPrinter() { return EscBackend().Destroy(); }
std::int32_t EscOpenPort(const QString& port) { return EscBackend().Open(port); }
std::int32_t EscClosePort() { return EscBackend().Close(); }
std::int32_t EscWriteData(const std::uint8_t* bytes, std::int32_t count) {
    return EscBackend().Write(bytes, count);
}
std::int32_t EscWriteData(const QByteArray& bytes) {
    return EscBackend().Write(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                              static_cast<std::int32_t>(bytes.size()));
}
std::int32_t EscReadData(std::uint8_t* buffer, std::int32_t size, std::int32_t* count) {
    return EscBackend().Read(buffer, size, count);
}
std::int32_t EscReadDataRetry(std::uint8_t* buffer, std::int32_t size, std::int32_t* count,
                              std::int32_t attempts, std::int32_t intervalMs) {
    return EscBackend().ReadRetry(buffer, size, count, attempts, intervalMs);
}
std::int32_t EscReadDataEOF(std::uint8_t* buffer, std::int32_t value32, std::int32_t capacity,
                            std::int32_t value8, std::int32_t endByte, std::int32_t* count) {
    return EscBackend().ReadEof(buffer, value32, capacity, value8, endByte, count);
}
