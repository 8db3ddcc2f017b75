// pellumctl info and print-text: the printer information window and the
// test-print windows without windows. Both take the command language of the
// model the way the main window does (asked of the printer for the models
// that speak two), unless --family names it.
#include "cli/CliCommon.h"

#include "core/Family.h"
#include "core/Localization.h"
#include "core/OptionTables.h"
#include "core/PrinterSession.h"
#include "diagnostics/PrinterInformation.h"
#include "diagnostics/TestPrintJobs.h"
#include "settings/ServiceFunctions.h"

namespace pellumctl {

namespace {

QString Msg(const char* key) {
    return pellum::lang::Msg(QLatin1String(key));
}

int UsageError(const QString& text) {
    return Fail(QStringLiteral("pellumctl: ") + text, kExitUsage);
}

// Opens the port as the main window does before a function, fixes the
// family (--family wins) and closes the port again: the functions open it
// for their own exchanges. False when the open failed (already printed).
bool ChooseFamily(pellum::PrinterSession& session) {
    if (!ServiceFunctions::OpenForFunction(session))
        return false;
    if (Options().family >= 0)
        session.SetFamily(Options().family);
    session.Tspl().Close();
    return true;
}

int Info(pellum::PrinterSession& session, const QStringList& args) {
    if (!args.isEmpty())
        return UsageError(QStringLiteral("info takes no arguments"));
    if (!CreateSelectedPrinter(session))
        return kExitFailed;
    if (!ChooseFamily(session))
        return kExitFailed;
    if (session.Family() == pellum::FamilyESC)
        return Fail(Msg("_Err_ProtocolFunction"));
    const PrinterInformation::Facts facts = PrinterInformation::ReadFacts(session);
    if (!facts.opened)
        return FailWithCode(Msg("_Err_OpenPort"), facts.openCode);
    Print(QStringLiteral("firmware version: ") + facts.firmwareVersion);
    Print(QStringLiteral("serial number: ") + facts.serial);
    Print(QStringLiteral("printed length: ") + facts.printedLength);
    Print(QStringLiteral("production date: ") + facts.produceDate);
    // A printer that answered none of the questions is a failure, even
    // though each line shows what the window would show.
    const QString noReply = Msg("_Err_ReadData");
    if (facts.serial.isEmpty() && facts.firmwareVersion == noReply &&
        facts.printedLength == noReply)
        return Fail(noReply);
    return kExitOk;
}

int PrintText(pellum::PrinterSession& session, const QStringList& args) {
    QString width = QStringLiteral("30");
    QString height = QStringLiteral("30");
    QStringList rest;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--width") || a == QLatin1String("--height")) {
            if (i + 1 >= args.size())
                return UsageError(a + QStringLiteral(" needs a number of millimetres"));
            bool ok = false;
            args[i + 1].toInt(&ok, 10);
            if (!ok)
                return UsageError(a + QStringLiteral(" needs a number of millimetres"));
            (a == QLatin1String("--width") ? width : height) = args[++i];
        } else {
            rest.append(a);
        }
    }
    if (rest.size() != 1)
        return UsageError(QStringLiteral("print-text needs one TEXT"));
    const QString text = rest[0];
    if (text.trimmed().isEmpty())
        return UsageError(Msg("_Err_ImportNull"));
    // The label window's boxes bring the sizes into range when left.
    QString w;
    QString h;
    TestPrintJobs::ClampWidth(width, OptionTables::GetPaperWidth(session.Model()).toInt(), &w);
    TestPrintJobs::ClampHeight(height, &h);

    if (!CreateSelectedPrinter(session))
        return kExitFailed;
    if (!ChooseFamily(session))
        return kExitFailed;
    const bool label = session.Family() == pellum::FamilyTSPL;
    const TestPrintJobs::Outcome outcome = label ? TestPrintJobs::PrintLabel(session, text, w, h)
                                                 : TestPrintJobs::PrintText(session, text, 0);
    // The main window re-creates the TSPL printer object afterwards.
    session.Tspl().Create(session.LibraryModel());
    switch (outcome.step) {
    case TestPrintJobs::Outcome::Done:
        if (label)
            Print(QStringLiteral("label %1 mm x %2 mm printed").arg(w, h));
        else
            Print(QStringLiteral("text job sent (family %1)").arg(int(session.Family())));
        return kExitOk;
    case TestPrintJobs::Outcome::OpenFailed:
        return FailWithCode(Msg("_Err_OpenPort"), outcome.code);
    case TestPrintJobs::Outcome::EmptyText:
        return Fail(Msg("_Err_ImportNull"));
    case TestPrintJobs::Outcome::WriteFailed:
    case TestPrintJobs::Outcome::UnknownCodePage:
        break;
    case TestPrintJobs::Outcome::Unprintable:
        return Fail(
            pellum::lang::LangText(QStringLiteral("FormPrintText_Err_Unprintable"))
                .replace(QStringLiteral("%1"), QString::number(outcome.codePage))
                .replace(QStringLiteral("%2"), TestPrintJobs::CharacterList(outcome.characters)));
    }
    return FailWithCode(Msg("_Err_WriteData"), outcome.code);
}

} // namespace

QList<Command> DiagnosticsCommands() {
    return {
        {QStringLiteral("info"),
         QStringLiteral("info  firmware version, serial number, printed length and production "
                        "date"),
         Info},
        {QStringLiteral("print-text"),
         QStringLiteral("print-text [--width MM --height MM] TEXT  print a test label (TSPL: one\n"
                        "    TEXT line per line of TEXT on a label of that size, default 30 x 30;\n"
                        "    other families: the family's text job)"),
         PrintText},
    };
}

} // namespace pellumctl
