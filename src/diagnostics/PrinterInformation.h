// What the printer information window shows: the production date derived
// from the serial number, the printed length and the firmware version, read
// over one TSPL connection.
#pragma once

#include "core/PrinterSession.h"

#include <QDate>
#include <QString>

#include <cstdint>

namespace PrinterInformation {

// The production date in a serial number. The "Brisa" layout keeps YYWW in
// its first four characters, each pair a decimal number plus 40 (year
// 2000 + YY - 40, week WW - 40); the other layout keeps, in the last seven
// characters, the last digit of the year (placed in the decade of `today`)
// and two digits of the week. The date is the Monday of that week, counted
// from 1 January in steps of seven days. An invalid date when the serial
// does not hold one (too short, no digits there, a week outside 1..53).
QDate ProduceDate(const QString& serial, bool brisaLayout, const QDate& today);

// The text of the production-date label for a serial of the selected model
// (list "Brisa_Serial" chooses the layout): the `_Err_ReadData` text for an
// empty serial or the placeholder "XXXXX...", the date in the system's short
// date format, or a text that names the serial when it holds no date.
QString ProduceDateText(const QString& serial, const QString& model);

// Reads the serial number (the connection must be open) and gives the
// production-date text.
QString GetProduceDate(pellum::PrinterSession& session);

struct Facts {
    bool opened = false;
    std::int32_t openCode = 0;
    QString serial;
    QString produceDate;
    QString printedLength;
    QString firmwareVersion;
};

// Opens the TSPL connection to CurrentPort (the code goes to LastResultCode);
// when usable reads the serial number (and from it the production date), the
// printed length and the firmware version, and closes again.
Facts ReadFacts(pellum::PrinterSession& session);

} // namespace PrinterInformation
