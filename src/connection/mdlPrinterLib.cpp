#include "connection/mdlPrinterLib.h"

#include "connection/Backend.h"
#include "core/CurrentPrinter.h"
#include "core/Family.h"

using namespace pellum::connection;

LibraryId LibraryForFamily(std::int32_t family) {
    if (family == pellum::FamilyESC)
        return LibraryId::ESC;
    if (family == pellum::FamilyCPCL)
        return LibraryId::CPCL;
    return LibraryId::TSPL;
}

namespace {
Backend& Current() {
    switch (LibraryForFamily(pellum::current::CurrentFamily.load())) {
    case LibraryId::ESC:
        return EscBackend();
    case LibraryId::CPCL:
        return CpclBackend();
    case LibraryId::TSPL:
        break;
    }
    return TsplBackend();
}
} // namespace

std::int32_t LibCreatePrinter(const QString& libraryModel) {
    return Current().Create(libraryModel);
}
std::int32_t LibDestroyPrinter() {
    return Current().Destroy();
}
std::int32_t LibOpenPort(const QString& port) {
    return Current().Open(port);
}
std::int32_t LibClosePort() {
    return Current().Close();
}
std::int32_t LibWriteData(const std::uint8_t* bytes, std::int32_t count) {
    return Current().Write(bytes, count);
}
std::int32_t LibWriteData(const QByteArray& bytes) {
    return Current().Write(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                           static_cast<std::int32_t>(bytes.size()));
}
std::int32_t LibReadDataEOF(std::uint8_t* buffer, std::int32_t value32, std::int32_t capacity,
                            std::int32_t value8, std::int32_t endByte, std::int32_t* count) {
    return Current().ReadEof(buffer, value32, capacity, value8, endByte, count);
}
