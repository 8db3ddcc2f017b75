#include "diagnostics/TestPrintJobs.h"

#include "core/Family.h"
#include "core/ModelLists.h"
#include "core/PrinterSession.h"
#include "platform/AnsiCodec.h"

namespace TestPrintJobs {

namespace {

const QString kTemplateVector = QStringLiteral("TEXT {0},{1},\"9\",0,50,50,\"{2}\"");
const QString kTemplatePlain = QStringLiteral("TEXT {0},{1},\"9\",0,1,1,\"{2}\"");

bool Usable(std::int32_t openCode) {
    return openCode == 0 || openCode == 5;
}

// The text with its line breaks as CR LF, the form the printer gets.
QString WithCrLf(const QString& text) {
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return t;
}

bool IsDecimal(const QString& text, int* value) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (ok)
        *value = v;
    return ok;
}

} // namespace

QByteArray SizeCommand(const QString& width, const QString& height) {
    return pellum::ToAnsi(QStringLiteral("SIZE ") + width.trimmed() + QStringLiteral(" mm,") +
                          height.trimmed() + QStringLiteral(" mm\r\n"));
}

QByteArray TextCommand(int x, int y, const QString& line, bool vectorFont) {
    QString command = vectorFont ? kTemplateVector : kTemplatePlain;
    command.replace(QStringLiteral("{0}"), QString::number(x), Qt::CaseInsensitive);
    command.replace(QStringLiteral("{1}"), QString::number(y), Qt::CaseInsensitive);
    // The line goes in last, so placeholders typed in it stay as typed.
    QString quoted = line;
    quoted.replace(QLatin1Char('"'), QLatin1String("\\[\"]"));
    command.replace(QStringLiteral("{2}"), quoted, Qt::CaseInsensitive);
    return pellum::ToAnsi(command + QStringLiteral("\r\n"));
}

QStringList TextLines(const QString& text) {
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return t.split(QLatin1Char('\n'));
}

QList<QByteArray> LabelJob(const QString& text, const QString& width, const QString& height,
                           bool vectorFont) {
    QList<QByteArray> writes{kCls, SizeCommand(width, height)};
    int y = kTextY;
    for (const QString& line : TextLines(text)) {
        writes.append(TextCommand(kTextX, y, line, vectorFont));
        y += kLineStep;
    }
    writes.append(kPrint1);
    return writes;
}

QString TextJob(const QString& text, std::int32_t family) {
    switch (family) {
    case pellum::FamilyCPCL:
        return text + QStringLiteral("\r\n");
    case pellum::FamilyZPL: {
        // "^" and "~" start commands even inside field data; the field
        // then takes hexadecimal escapes instead.
        QString field = QStringLiteral("^FD") + text;
        if (text.contains(QLatin1Char('^')) || text.contains(QLatin1Char('~'))) {
            QString escaped = text;
            escaped.replace(QLatin1Char('_'), QLatin1String("_5F"));
            escaped.replace(QLatin1Char('^'), QLatin1String("_5E"));
            escaped.replace(QLatin1Char('~'), QLatin1String("_7E"));
            field = QStringLiteral("^FH^FD") + escaped;
        }
        return QStringLiteral("^XA\r\n^FO0,0^CI14^A@N,24,24,SIMSUN.TTF") + field +
               QStringLiteral("^FS\r\n^XZ\r\n");
    }
    case pellum::FamilyEPL: {
        QString quoted = text;
        quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        quoted.replace(QLatin1Char('"'), QLatin1String("\\\""));
        return QStringLiteral("N\r\nA300,10,0,1,2,2,N,\"") + quoted +
               QStringLiteral("\"\r\nP1\r\n");
    }
    default:
        return text + QLatin1Char('\n');
    }
}

int CodePageAt(const QString& codeList, int index) {
    const QStringList codes = codeList.split(QLatin1Char(','));
    if (index < 0 || index >= codes.size())
        return 0;
    int value = 0;
    if (!IsDecimal(codes[index], &value) || value <= 0)
        return 0;
    return value;
}

bool ClampWidth(const QString& text, int paperWidth, QString* clamped) {
    int value = 0;
    if (!IsDecimal(text, &value))
        return false;
    *clamped = text;
    if (value > paperWidth) {
        *clamped = QString::number(paperWidth);
        value = paperWidth;
    }
    if (value < kMinimumSize)
        *clamped = QString::number(kMinimumSize);
    return true;
}

bool ClampHeight(const QString& text, QString* clamped) {
    int value = 0;
    if (!IsDecimal(text, &value))
        return false;
    *clamped = text;
    if (value > kMaximumHeight) {
        *clamped = QString::number(kMaximumHeight);
        value = kMaximumHeight;
    }
    if (value < kMinimumSize)
        *clamped = QString::number(kMinimumSize);
    return true;
}

QString CharacterList(const QString& characters) {
    QStringList each;
    for (const uint c : characters.toUcs4())
        each << QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1);
    return each.join(QLatin1Char(' '));
}

Outcome PrintLabel(pellum::PrinterSession& session, const QString& text, const QString& width,
                   const QString& height) {
    const std::int32_t opened = session.Tspl().Open(session.Port());
    session.SetLastResult(opened);
    if (!Usable(opened))
        return {Outcome::OpenFailed, opened};
    if (text.trimmed().isEmpty())
        return {Outcome::EmptyText, 0};
    const int codePage = pellum::AnsiCodePage();
    if (const QString missing = pellum::UnconvertibleCharacters(text, codePage);
        !missing.isEmpty()) {
        session.Tspl().Close();
        return {Outcome::Unprintable, 0, codePage, missing};
    }
    const QList<QByteArray> writes =
        LabelJob(text, width, height,
                 pellum::models::ModelIn(QStringLiteral("UseVectorFont"), session.Model()));
    for (qsizetype i = 0; i < writes.size(); ++i) {
        const std::int32_t code = session.Tspl().Write(writes[i]);
        session.SetLastResult(code);
        // Only the first (CLS) and the last (PRINT 1) write decide; the
        // size and text lines go on regardless.
        const bool decides = i == 0 || i == writes.size() - 1;
        if (decides && code != 0)
            return {Outcome::WriteFailed, code};
    }
    session.Tspl().Close();
    return {Outcome::Done, 0};
}

Outcome PrintText(pellum::PrinterSession& session, const QString& text, int codePage) {
    session.SetLastResult(session.Lib().Create(session.LibraryModel()));
    const std::int32_t opened = session.Lib().Open(session.Port());
    session.SetLastResult(opened);
    if (!Usable(opened))
        return {Outcome::OpenFailed, opened};
    if (text.trimmed().isEmpty())
        return {Outcome::EmptyText, 0};
    const QString job = TextJob(WithCrLf(text), session.Family());
    const QByteArray bytes =
        codePage == 0 ? pellum::ToAnsi(job) : pellum::ToCodePage(job, codePage);
    // A code page the system cannot convert to gives no bytes; nothing is
    // sent then, not even the mode prefix.
    if (codePage < 0 || bytes.isEmpty())
        return {Outcome::UnknownCodePage, 0};
    const int used = codePage == 0 ? pellum::AnsiCodePage() : codePage;
    if (const QString missing = pellum::UnconvertibleCharacters(text, used); !missing.isEmpty()) {
        session.Lib().Close();
        return {Outcome::Unprintable, 0, used, missing};
    }
    if (pellum::models::ModelIn(QStringLiteral("Send1B53First"), session.Model()))
        session.SetLastResult(session.Lib().Write(kStandardMode));
    const std::int32_t code = session.Lib().Write(bytes);
    session.SetLastResult(code);
    if (code != 0)
        return {Outcome::WriteFailed, code};
    session.Lib().Close();
    return {Outcome::Done, 0};
}

} // namespace TestPrintJobs
