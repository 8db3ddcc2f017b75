#include "downloads/GuiDownloadCommon.h"

#include "downloads/PacketDownload.h"

#include <QHeaderView>
#include <QTreeWidget>

namespace pellum {

void SetUpStoredList(QTreeWidget* list, const QString& memoryCaption, const QString& nameCaption) {
    list->setColumnCount(2);
    list->setHeaderLabels({memoryCaption, nameCaption});
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->header()->setStretchLastSection(true);
}

void FillStoredList(QTreeWidget* list, const QString& reply, const QString& ramCaption,
                    const QString& storageCaption) {
    list->clear();
    for (const PacketDownload::StoredFile& f : PacketDownload::ParseStoredFileList(reply))
        list->addTopLevelItem(
            new QTreeWidgetItem(QStringList{f.ram ? ramCaption : storageCaption, f.name}));
}

QString StoredName(const QTreeWidgetItem* row, const QString& ramCaption) {
    return PacketDownload::MemoryPrefix(row->text(0) == ramCaption) + row->text(1);
}

} // namespace pellum
