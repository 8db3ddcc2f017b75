// The key-value command protocol of the key-value printer models.
//
// Every command is one line: the prefix 1B 1C 26 20 56 31 20, a verb ("do ",
// "setval ", "getval "), a quoted key, optional quoted arguments, CR LF.
// The operations here build and send those lines through the connection
// layer's dispatcher, read replies, and keep track of a connection that is
// held open for a series of commands (PortHeld).
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>

namespace PrinterCMD {

// A connection opened by CmdHoldOpen is held until CmdRelease.
extern std::atomic<bool> PortHeld;

// The protocol's keys, in their defined order, each with its double quotes
// ("\"density\"").
const QStringList& Keys();

// The bytes of the line forms (pieces after the prefix as documented above).
QByteArray LineDo(const QString& key);
QByteArray LineDoArg(const QString& key, const QString& argument);
QByteArray LineDoArgs(const QString& key, const QString& subKey, const QString& argument);
QByteArray LineSetVal(const QString& key, const QString& value); // value as given
QByteArray LineGetVal(const QString& key);

bool CmdOpen();
void CmdClose();
bool CmdHoldOpen();
void CmdRelease();
void CmdDo(const QString& key);
void CmdDoArg(const QString& key, const QString& argument);
void CmdDoArgs(const QString& key, const QString& subKey, const QString& argument);
void CmdSetVal(const QString& key, const QString& value);      // ASCII capitals lowered
void CmdSetValExact(const QString& key, const QString& value); // value unchanged
QString CmdGetVal(const QString& key);

} // namespace PrinterCMD
