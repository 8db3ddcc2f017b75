#include "gui/GuiLanguage.h"

#include "core/Localization.h"
#include "gui/GuiCaptionFit.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTextEdit>
#include <QWidget>

namespace pellum::lang {
namespace {

QFont LanguageFontFor(const QFont& base) {
    const LanguageFont& lf = CurrentLanguageFont();
    QFont font = base;
    QFontDatabase::WritingSystem ws = WritingSystemForCharset(lf.charset);
    QString family = lf.name;
    if (ws != QFontDatabase::Any) {
        const QStringList supporting = QFontDatabase::families(ws);
        if (!family.isEmpty() && !supporting.contains(family, Qt::CaseInsensitive) &&
            !supporting.isEmpty())
            family = supporting.first();
    }
    if (!family.isEmpty())
        font.setFamily(family);
    if (lf.pointSize > 0)
        font.setPointSize(lf.pointSize);
    return font;
}

bool TakesLanguageFont(QWidget* w) {
    // Buttons cover push buttons, radio buttons and check boxes; QFrame covers
    // panels, and the list views and edit fields derived from it.
    return qobject_cast<QAbstractButton*>(w) || qobject_cast<QAbstractItemView*>(w) ||
           qobject_cast<QGroupBox*>(w) || qobject_cast<QLineEdit*>(w) ||
           qobject_cast<QTextEdit*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
           qobject_cast<QTabWidget*>(w) || qobject_cast<QComboBox*>(w) || qobject_cast<QFrame*>(w);
}

} // namespace

QFontDatabase::WritingSystem WritingSystemForCharset(int charset) {
    switch (charset) {
    case 128:
        return QFontDatabase::Japanese;
    case 129:
    case 130:
        return QFontDatabase::Korean;
    case 134:
        return QFontDatabase::SimplifiedChinese;
    case 136:
        return QFontDatabase::TraditionalChinese;
    case 161:
        return QFontDatabase::Greek;
    case 162:
    case 238:
    case 186:
        return QFontDatabase::Latin;
    case 163:
        return QFontDatabase::Vietnamese;
    case 177:
        return QFontDatabase::Hebrew;
    case 178:
        return QFontDatabase::Arabic;
    case 204:
        return QFontDatabase::Cyrillic;
    case 222:
        return QFontDatabase::Thai;
    default:
        return QFontDatabase::Any;
    }
}

void ApplyLanguageFont(QWidget* window) {
    if (!window)
        return;
    window->setFont(LanguageFontFor(window->font()));
    const QList<QWidget*> children = window->findChildren<QWidget*>();
    for (QWidget* w : children) {
        if (auto* label = qobject_cast<QLabel*>(w)) {
            label->setFont(LanguageFontFor(label->font()));
            label->adjustSize();
        } else if (TakesLanguageFont(w)) {
            w->setFont(LanguageFontFor(w->font()));
        }
    }
    FitCaptions(window);
}

void PlaceAfterLabel(QWidget* label, QWidget* control) {
    if (!label || !control)
        return;
    control->move(label->x() + label->width(), control->y());
}

} // namespace pellum::lang
