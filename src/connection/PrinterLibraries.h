// The three printer libraries, bound at start from the program folder.
//
// Each library is a table of C function pointers. A library that is missing,
// or lacks a function, gets stand-in functions that fail with
// kResultLibraryMissing, so the program still starts and every operation on
// that library reports a clear code. Tests install their own tables.
#pragma once

#include "PellumSdk.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace pellum::connection {

// No printer object: the back-end's handle is null (open is not attempted).
constexpr std::int32_t kResultNoPrinter = -6;
// The printer library (or one of its functions) could not be loaded.
constexpr std::int32_t kResultLibraryMissing = -7;

enum class LibraryId { TSPL = 0, CPCL = 1, ESC = 2 };

struct PrinterLibrary {
    PrtPrinterCreatorW_t create = nullptr;
    PrtPrinterDestroy_t destroy = nullptr;
    PrtPortOpenW_t open = nullptr;
    PrtPortClose_t close = nullptr;
    PrtWriteData_t write = nullptr;
    PrtReadData_t read = nullptr;       // not in the CPCL library
    PrtReadDataEOF_t readEof = nullptr;
    TSPL_SelfTest_t selfTest = nullptr; // TSPL only
    TSPL_GetSN_t getSn = nullptr;       // TSPL only
};

// The table in use for a library (never holds null pointers).
const PrinterLibrary& Library(LibraryId id);

// Replaces a library's table; null entries get the failing stand-ins.
void InstallLibrary(LibraryId id, const PrinterLibrary& library);

// Loads libTSPL_SDK.so, libCPCL_SDK.so and libESC_SDK.so from `folder`.
// Returns false when anything is missing; `problems` then holds one readable
// line per missing library or function.
bool LoadPrinterLibraries(const QString& folder, QStringList* problems);

// The file name of a library ("libTSPL_SDK.so", ...).
QString LibraryFileName(LibraryId id);

// The meaning of a result code of the connection layer or a library.
QString ResultMeaning(std::int32_t code);

} // namespace pellum::connection
