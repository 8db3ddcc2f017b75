#include "connection/PrinterLibraries.h"

#include <dlfcn.h>
#include <mutex>

namespace pellum::connection {
namespace {

int32_t MissingCreate(PellumHandle*, const PellumChar*) { return kResultLibraryMissing; }
int32_t MissingDestroy(PellumHandle*) { return kResultLibraryMissing; }
int32_t MissingOpen(PellumHandle, const PellumChar*) { return kResultLibraryMissing; }
int32_t MissingClose(PellumHandle) { return kResultLibraryMissing; }
int32_t MissingWrite(PellumHandle, const uint8_t*, int32_t) { return kResultLibraryMissing; }
int32_t MissingRead(PellumHandle, uint8_t*, int32_t, int32_t* delivered) {
    if (delivered)
        *delivered = 0;
    return kResultLibraryMissing;
}
int32_t MissingReadEof(PellumHandle, uint8_t*, int32_t, int32_t, uint8_t, uint8_t,
                       int32_t* delivered) {
    if (delivered)
        *delivered = 0;
    return kResultLibraryMissing;
}
int32_t MissingSelfTest(PellumHandle) { return kResultLibraryMissing; }
int32_t MissingGetSn(PellumHandle, uint8_t*) { return kResultLibraryMissing; }

PrinterLibrary WithStandIns(PrinterLibrary lib) {
    if (!lib.create)
        lib.create = MissingCreate;
    if (!lib.destroy)
        lib.destroy = MissingDestroy;
    if (!lib.open)
        lib.open = MissingOpen;
    if (!lib.close)
        lib.close = MissingClose;
    if (!lib.write)
        lib.write = MissingWrite;
    if (!lib.read)
        lib.read = MissingRead;
    if (!lib.readEof)
        lib.readEof = MissingReadEof;
    if (!lib.selfTest)
        lib.selfTest = MissingSelfTest;
    if (!lib.getSn)
        lib.getSn = MissingGetSn;
    return lib;
}

PrinterLibrary g_libraries[3] = {WithStandIns({}), WithStandIns({}), WithStandIns({})};
std::mutex g_loadMutex;

template <typename T> T Symbol(void* module, const char* name, const QString& file,
                               QStringList* problems) {
    void* p = module ? dlsym(module, name) : nullptr;
    if (!p && module && problems)
        problems->append(QStringLiteral("%1 lacks the function %2").arg(file, QLatin1String(name)));
    return reinterpret_cast<T>(p);
}

} // namespace

const PrinterLibrary& Library(LibraryId id) { return g_libraries[static_cast<int>(id)]; }

void InstallLibrary(LibraryId id, const PrinterLibrary& library) {
    g_libraries[static_cast<int>(id)] = WithStandIns(library);
}

QString LibraryFileName(LibraryId id) {
    switch (id) {
    case LibraryId::TSPL: return QStringLiteral("libTSPL_SDK.so");
    case LibraryId::CPCL: return QStringLiteral("libCPCL_SDK.so");
    case LibraryId::ESC: return QStringLiteral("libESC_SDK.so");
    }
    return QString();
}

bool LoadPrinterLibraries(const QString& folder, QStringList* problems) {
    std::lock_guard<std::mutex> lock(g_loadMutex);
    const int before = problems ? static_cast<int>(problems->size()) : 0;
    bool allFound = true;
    for (LibraryId id : {LibraryId::TSPL, LibraryId::CPCL, LibraryId::ESC}) {
        const QString file = LibraryFileName(id);
        QString path = folder;
        if (!path.endsWith(QLatin1Char('/')))
            path += QLatin1Char('/');
        path += file;
        // Libraries stay loaded for the whole run: their functions are called
        // until the process ends.
        void* module = dlopen(path.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            allFound = false;
            if (problems)
                problems->append(QStringLiteral("%1 could not be loaded: %2")
                                     .arg(path, QString::fromLocal8Bit(dlerror())));
            InstallLibrary(id, {});
            continue;
        }
        PrinterLibrary lib;
        if (id == LibraryId::ESC) {
            lib.create = Symbol<PrinterCreator_t>(module, "PrinterCreator", file, problems);
            lib.destroy = Symbol<PrinterDestroy_t>(module, "PrinterDestroy", file, problems);
            lib.open = Symbol<PortOpen_t>(module, "PortOpen", file, problems);
            lib.close = Symbol<PortClose_t>(module, "PortClose", file, problems);
            lib.write = Symbol<WriteData_t>(module, "WriteData", file, problems);
            lib.read = Symbol<ReadData_t>(module, "ReadData", file, problems);
            lib.readEof = Symbol<ReadDataEOF_t>(module, "ReadDataEOF", file, problems);
        } else {
            lib.create = Symbol<PrtPrinterCreatorW_t>(module, "PrtPrinterCreatorW", file, problems);
            lib.destroy = Symbol<PrtPrinterDestroy_t>(module, "PrtPrinterDestroy", file, problems);
            lib.open = Symbol<PrtPortOpenW_t>(module, "PrtPortOpenW", file, problems);
            lib.close = Symbol<PrtPortClose_t>(module, "PrtPortClose", file, problems);
            lib.write = Symbol<PrtWriteData_t>(module, "PrtWriteData", file, problems);
            lib.readEof = Symbol<PrtReadDataEOF_t>(module, "PrtReadDataEOF", file, problems);
            if (id == LibraryId::TSPL) {
                lib.read = Symbol<PrtReadData_t>(module, "PrtReadData", file, problems);
                lib.selfTest = Symbol<TSPL_SelfTest_t>(module, "TSPL_SelfTest", file, problems);
                lib.getSn = Symbol<TSPL_GetSN_t>(module, "TSPL_GetSN", file, problems);
            }
        }
        InstallLibrary(id, lib);
    }
    return allFound && (!problems || problems->size() == before);
}

QString ResultMeaning(std::int32_t code) {
    if (code == kResultLibraryMissing)
        return QStringLiteral("the printer library or one of its functions is missing");
    return QString::fromUtf8(PellumSdkResultMeaning(code));
}

} // namespace pellum::connection
