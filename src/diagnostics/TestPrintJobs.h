// The test-print jobs: a text label in TSPL (one TEXT command per line on a
// label of a given size) and the plain text job of the other command
// languages, with the sequences that send them. The label window, the text
// window and pellumctl all print through these functions, so they send the
// same bytes for the same model and family.
#pragma once

#include "core/PrinterSession.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace TestPrintJobs {

inline const QByteArray kCls = QByteArrayLiteral("CLS\r\n");
inline const QByteArray kPrint1 = QByteArrayLiteral("PRINT 1\r\n");
// ESC "S": back to standard mode, sent first to the models that need it.
inline const QByteArray kStandardMode = QByteArray::fromHex("1B53");

// First TEXT position and the step between lines, in dots.
constexpr int kTextX = 10;
constexpr int kTextY = 10;
constexpr int kLineStep = 54;

// Label sizes in millimetres.
constexpr int kMinimumSize = 10;
constexpr int kMaximumHeight = 210;

// "SIZE <w> mm,<h> mm" CR LF, the two texts trimmed.
QByteArray SizeCommand(const QString& width, const QString& height);

// The TEXT command of one line at (x, y), CR LF, in the ANSI code page. The
// vector font draws the built-in font "9" at 50 x 50; otherwise at 1 x 1. A
// double quote in the line is written \["], the command language's own
// escape, so that it cannot end the string early.
QByteArray TextCommand(int x, int y, const QString& line, bool vectorFont);

// The lines of a text: CR LF taken as LF, split at LF, empty lines kept.
QStringList TextLines(const QString& text);

// Every write of the label job in order: CLS, SIZE, one TEXT per line,
// PRINT 1.
QList<QByteArray> LabelJob(const QString& text, const QString& width, const QString& height,
                           bool vectorFont);

// The job text of the other families for the text t: CPCL t CR LF; ZPL one
// field in the SIMSUN.TTF font; EPL one text line and P1; any other family
// t followed by LF alone. Characters that would end the text early are
// escaped in the family's own form: in EPL \" and \\ inside the quoted
// data; in ZPL the field takes ^FH and "^", "~" and "_" become _5E, _7E and
// _5F (only when the text holds "^" or "~", so other jobs stay as they are).
QString TextJob(const QString& text, std::int32_t family);

// The code page at `index` of a comma-separated list of code-page numbers;
// 0 when the list has no number there.
int CodePageAt(const QString& codeList, int index);

// The clamping of the label window's size boxes on leaving them. False when
// the text is no decimal number (the box is then left as it is).
bool ClampWidth(const QString& text, int paperWidth, QString* clamped);
bool ClampHeight(const QString& text, QString* clamped);

// The outcome of sending a test print.
struct Outcome {
    enum Step { Done, OpenFailed, EmptyText, WriteFailed, UnknownCodePage, Unprintable };
    Step step = Done;
    std::int32_t code = 0; // result code of the open or the failed write
    // Unprintable: the code page in use and the characters of the text that
    // it cannot hold (nothing was sent; the connection is closed).
    int codePage = 0;
    QString characters = QString();
};

// The characters of the text, each once and separated by spaces, for a
// message.
QString CharacterList(const QString& characters);

// The label job on the TSPL connection to CurrentPort: open, check the text,
// CLS (its failure stops), SIZE and the TEXT lines (codes not looked at),
// PRINT 1 (its failure stops), close. The model's membership in
// "UseVectorFont" chooses the font size. On a failure after the open the
// connection is left open. A text with characters that the ANSI code page
// cannot hold is not printed (they would come out as "?").
Outcome PrintLabel(pellum::PrinterSession& session, const QString& text, const QString& width,
                   const QString& height);

// The text job through the dispatcher (CurrentFamily): create the printer
// object for SdkModel, open, check the text, 1B 53 first for the models in
// "Send1B53First", the job in `codePage` (0: the ANSI code page), close.
// A text with characters that the code page cannot hold is not printed.
Outcome PrintText(pellum::PrinterSession& session, const QString& text, int codePage);

} // namespace TestPrintJobs
