// Pieces the download windows share: the stored-file lists and handing work
// from a download thread to the window's thread.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QString>

#include <utility>

class QTreeWidget;
class QTreeWidgetItem;

namespace pellum {

// Runs `f` on the thread of `context` (queued when called from another
// thread); dropped when `context` is destroyed first.
template <typename F> void OnWindowThread(QObject* context, F f) {
    QMetaObject::invokeMethod(context, std::move(f), Qt::QueuedConnection);
}

// A two-column list of stored files (memory caption, file name).
void SetUpStoredList(QTreeWidget* list, const QString& memoryCaption, const QString& nameCaption);
// Empties `list` and adds one row per entry of a stored-file list reply.
void FillStoredList(QTreeWidget* list, const QString& reply, const QString& ramCaption,
                    const QString& storageCaption);
// The name of a row as the printer stores it: "R_" when the row's memory
// caption is the RAM caption, otherwise "E_", then the file name.
QString StoredName(const QTreeWidgetItem* row, const QString& ramCaption);

} // namespace pellum
