// pellumctl block and settings: the parameter block of a block-protocol
// printer, whole or by the settings of the model's window.
//
//   block read [--out FILE]        the 256 bytes as hex text, or raw into FILE
//   block write FILE               a 256-byte block (raw, or hex text), checksum renewed
//   settings show                  one controlName=value line per setting
//   settings set NAME=VALUE ...    stores values as the window would, writes, shows
#include "cli/CliCommon.h"

#include "core/Localization.h"
#include "core/PrinterSession.h"
#include "diagnostics/HexText.h"
#include "settings/IdentityQueries.h"
#include "settings/ParameterBlock.h"
#include "settings/PrinterCMD.h"
#include "settings/SettingsTables.h"

#include <QFile>
#include <QSaveFile>

#include <utility>

namespace pellumctl {

namespace {

using ParameterBlockProtocol::ParameterBlock;

int ReadBlock(pellum::PrinterSession& session, ParameterBlock& block) {
    QString message;
    QString key;
    ParameterBlockProtocol::ReadParameterBlock(session, block, message, &key);
    if (!key.isEmpty()) {
        if (key == QLatin1String("_Err_OpenPort"))
            return FailWithCode(message, session.LastResult());
        return Fail(message);
    }
    return kExitOk;
}

int BlockRead(pellum::PrinterSession& session, const QStringList& args) {
    QString out;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--out") && i + 1 < args.size())
            out = args[++i];
        else
            return Fail(QStringLiteral("usage: block read [--out FILE]"), kExitUsage);
    }
    if (!CreateSelectedPrinter(session))
        return kExitFailed;
    ParameterBlock block{};
    if (int rc = ReadBlock(session, block); rc != kExitOk)
        return rc;
    const QByteArray bytes = ParameterBlockProtocol::ToBytes(block);
    if (out.isEmpty()) {
        Print(HexText(bytes).trimmed());
        return kExitOk;
    }
    QSaveFile file(out);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return Fail(out + QStringLiteral(": ") + file.errorString());
    return kExitOk;
}

int BlockWrite(pellum::PrinterSession& session, const QStringList& args) {
    if (args.size() != 1)
        return Fail(QStringLiteral("usage: block write FILE"), kExitUsage);
    QFile file(args[0]);
    if (!file.open(QIODevice::ReadOnly))
        return Fail(args[0] + QStringLiteral(": ") + file.errorString());
    QByteArray bytes = file.readAll();
    // A file written by "block read --out" holds the raw bytes; one printed by
    // "block read" holds hex text.
    if (bytes.size() != ParameterBlockProtocol::kBlockSize) {
        QByteArray parsed;
        if (ParseHex(QString::fromLatin1(bytes), &parsed))
            bytes = parsed;
    }
    ParameterBlock block{};
    if (!ParameterBlockProtocol::FromBytes(bytes, block))
        return Fail(QStringLiteral("%1: a parameter block has 256 bytes, this file has %2")
                        .arg(args[0])
                        .arg(bytes.size()));
    // Every block a printer sends starts with the marker; a file without it
    // is no parameter block and is not sent.
    if (block[0] != ParameterBlockProtocol::kMarker)
        return Fail(QStringLiteral("%1: byte 0 is 0x%2, a parameter block starts with 0x78")
                        .arg(args[0])
                        .arg(block[0], 2, 16, QLatin1Char('0')));
    if (!CreateSelectedPrinter(session))
        return kExitFailed;
    if (!ParameterBlockProtocol::WriteParameterBlock(session, block))
        return Fail(pellum::lang::Msg(QStringLiteral("_Err_ParaSet")));
    Print(pellum::lang::Msg(QStringLiteral("_ParaSet_OK")));
    return kExitOk;
}

// Opens the connection and finds the model's settings window the way the
// main window does.
int OpenWindow(pellum::PrinterSession& session, const SettingsTables::WindowSpec** spec) {
    if (!CreateSelectedPrinter(session))
        return kExitFailed;
    const std::int32_t rc = session.Tspl().Open(session.Port());
    session.SetLastResult(rc);
    if (rc != 0 && rc != 5)
        return FailWithCode(pellum::lang::Msg(QStringLiteral("_Err_OpenPort")), rc);
    const QString className =
        SettingsTables::WindowClassForModel(session.Model(), [&session](const QString& version) {
            return IdentityQueries::CheckFirmwareVersion(session, version);
        });
    *spec = SettingsTables::FindWindow(className);
    if (!*spec) {
        session.Tspl().Close();
        return Fail(QStringLiteral("%1 keeps its settings as keys (%2); use getval and setval")
                        .arg(session.Model(), className));
    }
    return kExitOk;
}

// Reads the block the way the window does.
int ReadWindowBlock(pellum::PrinterSession& session, const SettingsTables::WindowSpec& spec,
                    ParameterBlock& block) {
    if (spec.queryEmulation)
        session.SetFamily(IdentityQueries::QueryEmulation(session));
    return ReadBlock(session, block);
}

int OpenWindowBlock(pellum::PrinterSession& session, const SettingsTables::WindowSpec** spec,
                    ParameterBlock& block) {
    if (int rc = OpenWindow(session, spec); rc != kExitOk)
        return rc;
    return ReadWindowBlock(session, **spec, block);
}

// Enters the assignments into the model; on a wrong name or value the
// message is printed and the usage exit code returned.
int EnterAssignments(SettingsTables::WindowModel& model,
                     const QList<std::pair<QString, QString>>& assignments) {
    for (const auto& [name, value] : assignments) {
        const int i = model.fieldIndex(name);
        if (i < 0) {
            QStringList names;
            for (int f = 0; f < model.fieldCount(); ++f) {
                if (model.fieldActive(f))
                    names << model.field(f).control;
            }
            return Fail(QStringLiteral("%1 has no setting %2; its settings: %3")
                            .arg(model.spec().className, name, names.join(QStringLiteral(", "))),
                        kExitUsage);
        }
        QString error;
        if (!model.SetFromText(i, value, &error))
            return Fail(error, kExitUsage);
    }
    return kExitOk;
}

void PrintSettings(const SettingsTables::WindowModel& model) {
    for (int i = 0; i < model.fieldCount(); ++i) {
        if (model.fieldActive(i))
            Print(model.field(i).control + QLatin1Char('=') + model.DisplayText(i));
    }
}

int SettingsShow(pellum::PrinterSession& session, const QStringList& args) {
    if (!args.isEmpty())
        return Fail(QStringLiteral("usage: settings show"), kExitUsage);
    const SettingsTables::WindowSpec* spec = nullptr;
    ParameterBlock block{};
    if (int rc = OpenWindowBlock(session, &spec, block); rc != kExitOk)
        return rc;
    SettingsTables::WindowModel model(*spec, session.Model());
    model.Split(block);
    PrintSettings(model);
    return kExitOk;
}

int SettingsSet(pellum::PrinterSession& session, const QStringList& args) {
    if (args.isEmpty())
        return Fail(QStringLiteral("usage: settings set NAME=VALUE ..."), kExitUsage);
    QList<std::pair<QString, QString>> assignments;
    for (const QString& a : args) {
        const auto eq = a.indexOf(QLatin1Char('='));
        if (eq <= 0)
            return Fail(QStringLiteral("\"%1\" is no NAME=VALUE").arg(a), kExitUsage);
        assignments.append({a.left(eq), a.mid(eq + 1)});
    }
    const SettingsTables::WindowSpec* spec = nullptr;
    if (int rc = OpenWindow(session, &spec); rc != kExitOk)
        return rc;
    // Every name and value is checked before the block is read, so that a
    // refused value sends nothing to the printer.
    {
        SettingsTables::WindowModel check(*spec, session.Model());
        if (int rc = EnterAssignments(check, assignments); rc != kExitOk) {
            session.Tspl().Close();
            return rc;
        }
    }
    ParameterBlock block{};
    if (int rc = ReadWindowBlock(session, *spec, block); rc != kExitOk)
        return rc;
    SettingsTables::WindowModel model(*spec, session.Model());
    model.Split(block);
    if (int rc = EnterAssignments(model, assignments); rc != kExitOk)
        return rc;
    int errorField = -1;
    switch (model.Replace(block, &errorField)) {
    case SettingsTables::StoreError::None:
        break;
    case SettingsTables::StoreError::PinLength:
        return Fail(pellum::lang::Msg(QStringLiteral("_Err_BTPWD_Len")), kExitUsage);
    case SettingsTables::StoreError::Conversion:
        return Fail(QStringLiteral("%1 needs a number").arg(model.field(errorField).control),
                    kExitUsage);
    case SettingsTables::StoreError::Range:
        return Fail(QStringLiteral("%1 takes %2")
                        .arg(model.field(errorField).control,
                             SettingsTables::RangeText(model.field(errorField))),
                    kExitUsage);
    }
    if (!ParameterBlockProtocol::WriteParameterBlock(session, block))
        return Fail(pellum::lang::Msg(QStringLiteral("_Err_ParaSet")));
    if (spec->bluetooth && spec->bluetooth->pinRule)
        PrinterCMD::CmdDo(session, QStringLiteral("\"reset_printer\""));
    SettingsTables::WindowModel written(*spec, session.Model());
    written.Split(block);
    PrintSettings(written);
    return kExitOk;
}

int Dispatch(
    pellum::PrinterSession& session, const QStringList& args,
    const QList<std::pair<QString, int (*)(pellum::PrinterSession&, const QStringList&)>>& verbs,
    const QString& usage) {
    if (!args.isEmpty()) {
        for (const auto& [verb, run] : verbs) {
            if (args[0] == verb)
                return run(session, args.mid(1));
        }
    }
    return Fail(usage, kExitUsage);
}

} // namespace

QList<Command> BlockCommands() {
    return {
        {QStringLiteral("block"),
         QStringLiteral("block read [--out FILE]  the parameter block as hex text, or into FILE\n"
                        "block write FILE  send a 256-byte block (raw or hex), checksum renewed"),
         [](pellum::PrinterSession& session, const QStringList& args) {
             return Dispatch(
                 session, args,
                 {{QStringLiteral("read"), BlockRead}, {QStringLiteral("write"), BlockWrite}},
                 QStringLiteral("usage: block read [--out FILE] | block write FILE"));
         }},
        {QStringLiteral("settings"),
         QStringLiteral("settings show  every setting of the model's window, name=value\n"
                        "settings set NAME=VALUE ...  store settings as the window would"),
         [](pellum::PrinterSession& session, const QStringList& args) {
             return Dispatch(
                 session, args,
                 {{QStringLiteral("show"), SettingsShow}, {QStringLiteral("set"), SettingsSet}},
                 QStringLiteral("usage: settings show | settings set NAME=VALUE ..."));
         }},
    };
}

} // namespace pellumctl
