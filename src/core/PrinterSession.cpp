#include "core/PrinterSession.h"

namespace pellum {

connection::LibraryId LibraryForFamily(std::int32_t family) {
    if (family == FamilyESC)
        return connection::LibraryId::ESC;
    if (family == FamilyCPCL)
        return connection::LibraryId::CPCL;
    return connection::LibraryId::TSPL;
}

PrinterSession::PrinterSession(PrinterTarget target)
    : m_target(std::move(target)), m_family(m_target.family) {
    SetLibraryModel(m_target.libraryModel);
}

void PrinterSession::SetLibraryModel(const QString& libraryModel) {
    m_target.libraryModel = libraryModel;
    // Each library's printer object is created by the first open.
    m_tspl.SetModelForOpen(libraryModel);
    m_cpcl.SetModelForOpen(libraryModel);
    m_esc.SetModelForOpen(libraryModel);
}

void PrinterSession::SetTarget(PrinterTarget target) {
    m_tspl.Destroy();
    m_cpcl.Destroy();
    m_esc.Destroy();
    portHeld = false;
    m_target = std::move(target);
    m_family = m_target.family;
    SetLibraryModel(m_target.libraryModel);
}

connection::Backend& PrinterSession::Lib() {
    switch (LibraryForFamily(m_family.load())) {
    case connection::LibraryId::ESC:
        return m_esc;
    case connection::LibraryId::CPCL:
        return m_cpcl;
    case connection::LibraryId::TSPL:
        break;
    }
    return m_tspl;
}

} // namespace pellum
