// Bytes shown as text: two upper-case hex digits and a space for each byte.
#pragma once

#include <QByteArray>
#include <QString>

QString HexText(const QByteArray& bytes);
