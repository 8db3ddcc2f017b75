#include "diagnostics/PrinterInformation.h"

#include "core/Localization.h"
#include "core/ModelLists.h"
#include "core/PrinterSession.h"
#include "settings/IdentityQueries.h"

#include <QLocale>

namespace PrinterInformation {

namespace {

// A run of decimal digits only (no sign, no blanks).
bool Digits(const QString& text, int* value) {
    if (text.isEmpty())
        return false;
    int v = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        v = v * 10 + (c.unicode() - u'0');
    }
    *value = v;
    return true;
}

// The Monday of week `week` counted from 1 January of `year`.
QDate MondayOfWeek(int year, int week) {
    const QDate reached = QDate(year, 1, 1).addDays(qint64(week - 1) * 7);
    // dayOfWeek: Monday 1 ... Sunday 7.
    return reached.addDays(-(reached.dayOfWeek() - 1));
}

} // namespace

QDate ProduceDate(const QString& serial, bool brisaLayout, const QDate& today) {
    int year = 0;
    int week = 0;
    if (brisaLayout) {
        int yy = 0;
        int ww = 0;
        if (serial.size() < 4 || !Digits(serial.mid(0, 2), &yy) || !Digits(serial.mid(2, 2), &ww))
            return QDate();
        if (yy < 40)
            return QDate();
        year = 2000 + (yy - 40);
        week = ww - 40;
    } else {
        if (serial.size() < 7)
            return QDate();
        const QString tail = serial.right(7);
        int digit = 0;
        if (!Digits(tail.mid(0, 1), &digit) || !Digits(tail.mid(1, 2), &week))
            return QDate();
        year = today.year() / 10 * 10 + digit;
    }
    if (week < 1 || week > 53)
        return QDate();
    return MondayOfWeek(year, week);
}

QString ProduceDateText(const QString& serial, const QString& model) {
    if (serial.isEmpty() || serial.startsWith(QLatin1String("XXXXX")))
        return pellum::lang::Msg(QStringLiteral("_Err_ReadData"));
    const QDate date =
        ProduceDate(serial, pellum::models::ModelIn(QStringLiteral("Brisa_Serial"), model),
                    QDate::currentDate());
    if (!date.isValid())
        return pellum::lang::LangText(QStringLiteral("FormPrinterInformation_NoDate"))
            .replace(QStringLiteral("%1"), serial);
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

QString GetProduceDate(pellum::PrinterSession& session) {
    return ProduceDateText(IdentityQueries::ReadSerialNumber(session), session.Model());
}

Facts ReadFacts(pellum::PrinterSession& session) {
    Facts facts;
    facts.openCode = session.Tspl().Open(session.Port());
    session.SetLastResult(facts.openCode);
    if (facts.openCode != 0 && facts.openCode != 5)
        return facts;
    facts.opened = true;
    facts.serial = IdentityQueries::ReadSerialNumber(session);
    facts.produceDate = ProduceDateText(facts.serial, session.Model());
    facts.printedLength = IdentityQueries::ReadPrintedLength(session);
    facts.firmwareVersion = IdentityQueries::ReadFirmwareVersion(session);
    session.Tspl().Close();
    return facts;
}

} // namespace PrinterInformation
