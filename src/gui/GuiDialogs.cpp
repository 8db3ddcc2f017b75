#include "gui/GuiDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>

namespace pellum {
namespace {

// Runs `f` on the user-interface thread and waits for it.
template <typename F> void OnGuiThread(F f) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        f();
        return;
    }
    QMetaObject::invokeMethod(app, f, Qt::BlockingQueuedConnection);
}

QWidget* ParentWindow() {
    return QApplication::activeWindow();
}

} // namespace

void GuiDialogs::ShowMessage(MessageKind kind, const QString& title, const QString& text) {
    OnGuiThread([&] {
        QMessageBox box(kind == MessageKind::Error ? QMessageBox::Critical
                                                   : QMessageBox::Information,
                        title, text, QMessageBox::Ok, ParentWindow());
        box.exec();
    });
}

bool GuiDialogs::Confirm(const QString& title, const QString& text) {
    bool ok = false;
    OnGuiThread([&] {
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                        ParentWindow());
        box.setDefaultButton(QMessageBox::Cancel);
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
        ok = box.exec() == QMessageBox::Ok;
    });
    return ok;
}

QString GuiDialogs::OpenFileName(const QString& title, const QString& filter) {
    QString name;
    OnGuiThread(
        [&] { name = QFileDialog::getOpenFileName(ParentWindow(), title, QString(), filter); });
    return name;
}

} // namespace pellum
