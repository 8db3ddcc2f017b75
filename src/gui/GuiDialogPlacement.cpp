#include "gui/GuiDialogPlacement.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPointer>
#include <QTimer>

namespace pellum {
namespace {

constexpr char kPlacedProperty[] = "pellumPlacedOnParent";

class DialogPlacement : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show)
            return false;
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (!dialog || !dialog->parentWidget() || dialog->property(kPlacedProperty).toBool())
            return false;
        dialog->setProperty(kPlacedProperty, true);
        // After the dialog's own show handling, which may change its size.
        QPointer<QDialog> guard(dialog);
        QTimer::singleShot(0, dialog, [guard] {
            if (!guard || !guard->parentWidget())
                return;
            const QRect frame = guard->parentWidget()->window()->frameGeometry();
            guard->move(frame.center() - QPoint(guard->width() / 2, guard->height() / 2));
        });
        return false;
    }
};

} // namespace

void CentreDialogsOnTheirParents(QApplication& app) {
    app.installEventFilter(new DialogPlacement(&app));
}

} // namespace pellum
