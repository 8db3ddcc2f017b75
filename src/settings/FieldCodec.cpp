#include "settings/FieldCodec.h"

#include "core/TextTools.h"

#include <algorithm>
#include <cmath>

namespace FieldCodec {

int ReadByte(const ParameterBlock& b, int offset) {
    return b[offset];
}

void WriteByte(ParameterBlock& b, int offset, long long value) {
    b[offset] = std::uint8_t(static_cast<unsigned long long>(value) & 0xFF);
}

int ReadFlag(const ParameterBlock& b, int offset) {
    return b[offset] != 0 ? 1 : 0;
}

void WriteFlag(ParameterBlock& b, int offset, bool on) {
    b[offset] = on ? 1 : 0;
}

int ReadU16(const ParameterBlock& b, int offset) {
    return b[offset] | (b[offset + 1] << 8);
}

void WriteU16(ParameterBlock& b, int offset, long long value) {
    const auto v = static_cast<unsigned long long>(value);
    b[offset] = std::uint8_t(v & 0xFF);
    b[offset + 1] = std::uint8_t((v >> 8) & 0xFF);
}

int ReadMillimetres(const ParameterBlock& b, int offset) {
    return ReadU16(b, offset) / 8;
}

void WriteMillimetres(ParameterBlock& b, int offset, long long mm) {
    WriteU16(b, offset, mm * 8);
}

int ReadHeat(const ParameterBlock& b, int offset) {
    const int low = b[offset];
    return b[offset + 1] != 0 ? low - 256 : low;
}

void WriteHeat(ParameterBlock& b, int offset, int value) {
    b[offset] = std::uint8_t(static_cast<unsigned>(value) & 0xFF);
    b[offset + 1] = value < 0 ? 0xFF : 0x00;
}

std::array<int, 4> ReadIpv4(const ParameterBlock& b, int offset) {
    return {b[offset], b[offset + 1], b[offset + 2], b[offset + 3]};
}

void WriteIpv4(ParameterBlock& b, int offset, const std::array<long long, 4>& octets) {
    for (int i = 0; i < 4; ++i)
        WriteByte(b, offset + i, octets[i]);
}

QString ReadText(const ParameterBlock& b, int offset, int width) {
    return pellum::text::BytesToText(b.data() + offset, width - 1);
}

void WriteText(ParameterBlock& b, int offset, int width, const QString& text) {
    const QString cut = text.left(width);
    for (int i = 0; i < width; ++i)
        b[offset + i] = 0x00;
    if (!cut.isEmpty())
        pellum::text::TextToBytes(cut, b.data() + offset);
}

int VoltsToRaw(double volts) {
    // std::nearbyint rounds halves to even in the default rounding mode. The
    // reading has 16 bits: a value beyond them stays at the nearest end
    // rather than wrapping round to a small reading.
    const double raw = std::nearbyint(volts * 4096.0 / 3.3);
    return int(std::clamp(raw, 0.0, 65535.0));
}

double RawToVolts(int raw) {
    return raw * 3.3 / 4096.0;
}

double ShownVolts(int raw) {
    return std::round(RawToVolts(raw) * 10.0) / 10.0;
}

} // namespace FieldCodec
