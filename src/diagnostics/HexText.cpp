#include "diagnostics/HexText.h"

QString HexText(const QByteArray& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    QString text;
    text.reserve(bytes.size() * 3);
    for (unsigned char b : bytes) {
        text += QLatin1Char(digits[b >> 4]);
        text += QLatin1Char(digits[b & 0x0F]);
        text += QLatin1Char(' ');
    }
    return text;
}
