// The key-value command protocol of the key-value printer models.
//
// Every command is one line: the prefix 1B 1C 26 20 56 31 20, a verb ("do ",
// "setval ", "getval "), a quoted key, optional quoted arguments, CR LF.
// The operations here build and send those lines through the connection
// layer's dispatcher, read replies, and keep track of a connection that is
// held open for a series of commands (the session's portHeld).
#pragma once

#include "core/PrinterSession.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>

namespace PrinterCMD {

// A connection opened by CmdHoldOpen is held until CmdRelease.

// The protocol's keys, in their defined order, each with its double quotes
// ("\"density\"").
const QStringList& Keys();

// The bytes of the line forms (pieces after the prefix as documented above).
QByteArray LineDo(const QString& key);
QByteArray LineDoArg(const QString& key, const QString& argument);
QByteArray LineDoArgs(const QString& key, const QString& subKey, const QString& argument);
QByteArray LineSetVal(const QString& key, const QString& value); // value as given
QByteArray LineGetVal(const QString& key);

bool CmdOpen(pellum::PrinterSession& session);
void CmdClose(pellum::PrinterSession& session);
bool CmdHoldOpen(pellum::PrinterSession& session);
void CmdRelease(pellum::PrinterSession& session);
void CmdDo(pellum::PrinterSession& session, const QString& key);
void CmdDoArg(pellum::PrinterSession& session, const QString& key, const QString& argument);
void CmdDoArgs(pellum::PrinterSession& session, const QString& key, const QString& subKey,
               const QString& argument);
void CmdSetVal(pellum::PrinterSession& session, const QString& key,
               const QString& value); // ASCII capitals lowered
void CmdSetValExact(pellum::PrinterSession& session, const QString& key,
                    const QString& value); // value unchanged
QString CmdGetVal(pellum::PrinterSession& session, const QString& key);

} // namespace PrinterCMD
