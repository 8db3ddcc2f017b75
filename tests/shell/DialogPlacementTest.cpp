// Dialogs that fix their size while being shown still end up centred on the
// window that opened them.
#include "gui/GuiDialogPlacement.h"

#include <QApplication>
#include <QDialog>
#include <QShowEvent>
#include <gtest/gtest.h>

namespace {

class SizesItselfWhenShown : public QDialog {
public:
    using QDialog::QDialog;

protected:
    void showEvent(QShowEvent* event) override {
        QDialog::showEvent(event);
        setFixedSize(300, 120); // as the windows do after their texts are set
    }
};

TEST(DialogPlacement, CentredOnTheParentWindowWithTheSizeItEndsWith) {
    static bool installed = false;
    if (!installed) {
        pellum::CentreDialogsOnTheirParents(*qApp);
        installed = true;
    }
    QWidget parent;
    parent.setGeometry(100, 100, 500, 600);
    parent.show();
    SizesItselfWhenShown dialog(&parent);
    dialog.show();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    const QPoint parentCentre = parent.frameGeometry().center();
    const QPoint dialogCentre = dialog.pos() + QPoint(dialog.width() / 2, dialog.height() / 2);
    EXPECT_LE((parentCentre - dialogCentre).manhattanLength(), 2)
        << dialog.x() << "," << dialog.y();
    EXPECT_EQ(dialog.size(), QSize(300, 120));
}

} // namespace
