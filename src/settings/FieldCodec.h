// How the settings are encoded in the parameter block: one small function
// pair per encoding (block -> value, value -> block).
#pragma once

#include "settings/ParameterBlock.h"

#include <QString>

#include <array>
#include <cstdint>

namespace FieldCodec {

using ParameterBlockProtocol::ParameterBlock;

// index / number: the unsigned byte itself; storing keeps the low 8 bits.
int ReadByte(const ParameterBlock& b, int offset);
void WriteByte(ParameterBlock& b, int offset, long long value);

// flag: any non-zero byte reads as 1.
int ReadFlag(const ParameterBlock& b, int offset);
void WriteFlag(ParameterBlock& b, int offset, bool on);

// 16-bit little-endian value.
int ReadU16(const ParameterBlock& b, int offset);
void WriteU16(ParameterBlock& b, int offset, long long value);

// dots16: millimetres in the user's terms, dots (8 per mm) in the block.
// Reading drops the remainder; storing keeps the low 16 bits of mm * 8.
int ReadMillimetres(const ParameterBlock& b, int offset);
void WriteMillimetres(ParameterBlock& b, int offset, long long mm);

// heat: signed -50..+50 as the low byte in two's complement and 0xFF / 0x00.
int ReadHeat(const ParameterBlock& b, int offset);
void WriteHeat(ParameterBlock& b, int offset, int value);

// ipv4: four octets, the first at `offset`.
std::array<int, 4> ReadIpv4(const ParameterBlock& b, int offset);
void WriteIpv4(ParameterBlock& b, int offset, const std::array<long long, 4>& octets);

// text16 / text4: one byte per character (low 8 bits), 0x00 padding. Reading
// stops before the first byte at or below 0x20. Storing writes at most
// `width` characters and pads the rest of the field with 0x00.
QString ReadText(const ParameterBlock& b, int offset, int width);
void WriteText(ParameterBlock& b, int offset, int width, const QString& text);

// volts16: raw = volts * 4096 / 3.3, rounded to the nearest integer with
// halves going to the even neighbour.
int VoltsToRaw(double volts);
double RawToVolts(int raw);
// The shown value: volts rounded to one decimal place.
double ShownVolts(int raw);

} // namespace FieldCodec
