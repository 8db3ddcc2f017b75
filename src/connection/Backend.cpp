#include "connection/Backend.h"

#include "platform/Delay.h"

#include <algorithm>
#include <vector>

namespace pellum::connection {
namespace {
const PellumChar* Utf16(const QString& text) {
    return reinterpret_cast<const PellumChar*>(text.utf16());
}
} // namespace

Backend::~Backend() {
    Destroy();
}

std::int32_t Backend::Create(const QString& libraryModel) {
    Destroy();
    PellumHandle handle = nullptr;
    std::int32_t result = Lib().create(&handle, Utf16(libraryModel));
    m_handle.store(handle);
    return result;
}

std::int32_t Backend::Destroy() {
    PellumHandle handle = m_handle.exchange(nullptr);
    if (!handle)
        return 0;
    return Lib().destroy(&handle);
}

std::int32_t Backend::Open(const QString& port) {
    if (!m_handle.load() && !m_modelForOpen.isEmpty()) {
        const std::int32_t created = Create(m_modelForOpen);
        if (created != 0)
            return created;
    }
    PellumHandle handle = m_handle.load();
    if (!handle)
        return kResultNoPrinter;
    std::int32_t result = Lib().open(handle, Utf16(port));
    if (result == PELLUM_ERR_ALREADY_OPEN && m_reopenWhenAlreadyOpen) {
        Close();
        result = Lib().open(handle, Utf16(port));
    }
    return result;
}

std::int32_t Backend::Close() {
    return Lib().close(m_handle.load());
}

std::int32_t Backend::Write(const std::uint8_t* bytes, std::int32_t count) {
    return Lib().write(m_handle.load(), bytes, count);
}

std::int32_t Backend::Write(const QByteArray& bytes) {
    return Write(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                 static_cast<std::int32_t>(bytes.size()));
}

std::int32_t Backend::Read(std::uint8_t* buffer, std::int32_t size, std::int32_t* count) {
    return Lib().read(m_handle.load(), buffer, size, count);
}

std::int32_t Backend::ReadRetry(std::uint8_t* buffer, std::int32_t size, std::int32_t* count,
                                std::int32_t attempts, std::int32_t intervalMs) {
    std::int32_t total = 0;
    std::int32_t result = 0;
    if (size < 0)
        size = 0;
    std::vector<std::uint8_t> scratch(static_cast<size_t>(std::max(size, 1)));
    for (std::int32_t pass = 0; pass < attempts; ++pass) {
        const std::int32_t wanted = size - total;
        std::int32_t got = 0;
        result = Lib().read(m_handle.load(), scratch.data(), wanted, &got);
        got = std::clamp(got, 0, wanted);
        std::copy(scratch.begin(), scratch.begin() + got, buffer + total);
        total += got;
        if (total == size)
            break;
        Delay(intervalMs);
    }
    if (count)
        *count = total;
    return result;
}

std::int32_t Backend::ReadEof(std::uint8_t* buffer, std::int32_t value32, std::int32_t capacity,
                              std::int32_t value8, std::int32_t endByte, std::int32_t* count) {
    return Lib().readEof(m_handle.load(), buffer, value32, capacity,
                         static_cast<std::uint8_t>(value8 & 0xFF),
                         static_cast<std::uint8_t>(endByte & 0xFF), count);
}

std::int32_t Backend::SelfTest() {
    return Lib().selfTest(m_handle.load());
}

std::int32_t Backend::GetSN(std::uint8_t* buffer32) {
    return Lib().getSn(m_handle.load(), buffer32);
}

} // namespace pellum::connection
