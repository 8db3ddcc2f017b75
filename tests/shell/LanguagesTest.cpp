// Every window in every language of the shipped language file: its texts
// come from the chosen section, Qt's own texts follow the same language, and
// no caption is cut off.
#include "core/TextTools.h"
#include "gui/GuiWindowRegistry.h"
#include "shell/FormMain_Label_Dealer.h"
#include "shell/FormPrinterManage_Label.h"
#include "shell/GuiQtTranslations.h"

#include "GuiTestApp.h"
#include "ShellFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTimer>

#include <functional>
#include <memory>

using namespace shelltest;

namespace {

struct Language {
    const char* sw;
    const char* id;
};
const Language kLanguages[] = {{"-EN", "1033"}, {"-CN", "2052"}, {"-TW", "1028"}, {"-JP", "1041"},
                               {"-RU", "1049"}, {"-PT", "1046"}, {"-ES", "1034"}};

QString ShippedText(const QString& section, const char* key) {
    return pellum::text::ReadIniString(pellum::files::kLanguageFile, section, QLatin1String(key));
}

QString PlainText(QString text) {
    text.remove(QLatin1Char('&'));
    return text;
}

// The width a control's caption needs, 0 for controls without one.
int NeededWidth(QWidget* w) {
    const QFontMetrics fm(w->font());
    if (auto* label = qobject_cast<QLabel*>(w)) {
        if (label->text().isEmpty() || label->wordWrap())
            return 0;
        return label->sizeHint().width();
    }
    if (auto* push = qobject_cast<QPushButton*>(w)) {
        if (push->text().isEmpty())
            return 0;
        // The text and the button's frame and margins on both sides.
        const int frame = 2 * (w->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, w) / 2 +
                               w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w));
        return fm.horizontalAdvance(PlainText(push->text())) + frame;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text().isEmpty() ? 0 : button->sizeHint().width();
    if (auto* group = qobject_cast<QGroupBox*>(w)) {
        if (group->title().isEmpty())
            return 0;
        // The title starts a little in from the frame and needs as much room
        // at its end.
        return fm.horizontalAdvance(PlainText(group->title())) + 16;
    }
    return 0;
}

QString Caption(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text();
    if (auto* group = qobject_cast<QGroupBox*>(w))
        return group->title();
    return QString();
}

// Every label, button, check box, radio button and group title of `window`
// that needs more room than it has, whose text runs under the next control
// on its row, or that sticks out of its parent.
QStringList ClippedCaptions(QWidget* window, const QString& language) {
    QStringList problems;
    const QString where = language + QLatin1Char(' ') + window->objectName() + QLatin1Char('/');
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const int need = NeededWidth(w);
        if (need == 0 || !w->isVisibleTo(window) || w->isWindow())
            continue;
        const QString name =
            where + w->objectName() + QStringLiteral(" \"") + Caption(w) + QLatin1Char('"');
        QWidget* parent = w->parentWidget();
        if (need > w->width())
            problems
                << QStringLiteral("%1 needs %2 px, has %3").arg(name).arg(need).arg(w->width());
        for (QObject* o : parent->children()) {
            auto* s = qobject_cast<QWidget*>(o);
            if (!s || s == w || s->isWindow() || !s->isVisibleTo(window) || parent->layout())
                continue;
            const bool sameRow = s->y() < w->y() + w->height() && w->y() < s->y() + s->height();
            if (sameRow && s->x() > w->x() && s->x() < w->x() + need)
                problems << QStringLiteral("%1 runs under %2").arg(name, s->objectName());
        }
        if (!parent->rect().contains(w->geometry()))
            problems << QStringLiteral("%1 lies outside %2").arg(name, parent->objectName());
    }
    return problems;
}

// A model that gets the settings window `className` (the first of its model
// list), so that the window shows the controls of such a model; the default
// model for every other window.
QString ModelFor(const QString& className) {
    const QString prefix = QStringLiteral("T_frmParaSet_");
    if (!className.startsWith(prefix))
        return QStringLiteral("PL-Nutmeg 200");
    const QString family = className.mid(prefix.size()).section(QLatin1Char('_'), 0, 0);
    const QString list =
        pellum::text::ReadIniString(pellum::files::kModelListFile, QStringLiteral("ParameterSet"),
                                    family + QStringLiteral("_ParameterSetting"));
    const QString first = list.section(QLatin1Char(','), 0, 0);
    return first.isEmpty() ? QStringLiteral("PL-Nutmeg 200") : first;
}

// Lets the windows finish what they posted to themselves (layouts, sizes),
// as they do before the user sees them.
void Settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
    }
}

class Languages : public ShellTest {
protected:
    void SetUp() override {
        GuiApp();
        ShellTest::SetUp();
        pellum::RegisterAllWindows();
    }
    void TearDown() override {
        pellum::InstallQtTranslations(QString());
        ShellTest::TearDown();
    }
    // The start-up language steps for `id`, as the main window runs them.
    void Use(const char* id) {
        pellum::lang::LanguageId = QLatin1String(id);
        pellum::lang::LoadMessageTable();
        pellum::lang::ReadLanguageFont();
        pellum::InstallQtTranslations(pellum::lang::LanguageId);
    }
    // Opens a registered window, runs `look` on it while it is shown, then
    // closes it.
    void Look(const QString& name, const std::function<void(QWidget*)>& look) {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            seen = true;
            Settle();
            look(modal);
            modal->close();
        });
        ASSERT_TRUE(pellum::OpenRegisteredWindow(name, nullptr, session.Target())) << name.toStdString();
        EXPECT_TRUE(seen) << name.toStdString() << " was not shown";
    }
};

TEST_F(Languages, TheLanguageFontsAreInstalled) {
    const QStringList families = QFontDatabase::families();
    for (const Language& l : kLanguages) {
        const QString family = ShippedText(QLatin1String(l.id), "_FontName");
        EXPECT_TRUE(families.contains(family, Qt::CaseInsensitive))
            << l.id << ": font \"" << family.toStdString()
            << "\" is not installed (scripts/install-deps.sh)";
    }
}

// Qt's own texts: the Cancel button of a message box in each language, and
// English again when the translation is missing or English is chosen.
TEST_F(Languages, QtsOwnTextsFollowTheChosenLanguage) {
    const struct {
        const char* id;
        const char* cancel; // nullptr: Qt's built-in English
    } cases[] = {
        {"2052", "取消"},     {"1028", "取消"},     {"1041", "キャンセル"}, {"1049", "Отмена"},
        {"1046", "Cancelar"}, {"1034", "Cancelar"}, {"1033", nullptr},      {"1036", nullptr},
    };
    const auto cancelText = [] { return QCoreApplication::translate("QPlatformTheme", "Cancel"); };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        const bool installed = pellum::InstallQtTranslations(QLatin1String(c.id));
        EXPECT_EQ(installed, c.cancel != nullptr);
        EXPECT_EQ(cancelText(), c.cancel ? QString::fromUtf8(c.cancel) : QStringLiteral("Cancel"));
    }
    // A missing translation file replaces the earlier translation by English.
    ASSERT_TRUE(pellum::InstallQtTranslations(QStringLiteral("1049")));
    EXPECT_FALSE(pellum::InstallQtTranslations(QStringLiteral("1041"),
                                               folder->programFolder() + QStringLiteral("none")));
    EXPECT_EQ(cancelText(), QStringLiteral("Cancel"));
}

// Started with a language switch, the main window and a tool window take
// their texts from that language's own section.
TEST_F(Languages, EachNewLanguageShowsItsOwnTexts) {
    const char* const switches[] = {"-JP", "-RU", "-PT", "-ES"};
    const char* const ids[] = {"1041", "1049", "1046", "1034"};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(switches[i]);
        const QString id = QLatin1String(ids[i]);
        pellum::lang::LanguageId.clear();
        qputenv("PELLUM_LANGID", "1033"); // the system language must not decide
        T_frmMain_Label_Dealer main({QLatin1String(switches[i])}, folder->programFolder());
        main.show();
        qunsetenv("PELLUM_LANGID");
        EXPECT_EQ(pellum::lang::LanguageId, id);
        EXPECT_TRUE(main.windowTitle().startsWith(ShippedText(id, "FormMain_Label_Caption")));
        for (const char* name : {"btnQuit", "btnConnectTest", "btnParameterSetting"}) {
            auto* b = main.findChild<QPushButton*>(QLatin1String(name));
            ASSERT_NE(b, nullptr) << name;
            EXPECT_EQ(b->text(), ShippedText(id, (std::string("FormMain_Label_") + name).c_str()));
            EXPECT_NE(b->text(), ShippedText(QStringLiteral("1033"),
                                             (std::string("FormMain_Label_") + name).c_str()));
        }
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"),
                  ShippedText(id, "msgCC"));
        Look(QStringLiteral("T_frmPrintTextLabel"), [&](QWidget* w) {
            EXPECT_EQ(w->windowTitle(), ShippedText(id, "FormPrintTextLabel_Caption"));
            auto* content = w->findChild<QLabel*>(QStringLiteral("lblContent"));
            ASSERT_NE(content, nullptr);
            EXPECT_EQ(content->text(), ShippedText(id, "FormPrintTextLabel_lblContent"));
            EXPECT_EQ(w->font().family(), ShippedText(id, "_FontName"));
        });
        main.hide();
    }
}

// Every window in every language: no caption is cut off and none sticks out
// of the control that holds it.
TEST_F(Languages, NoCaptionIsClippedInAnyWindow) {
    QStringList problems;
    for (const Language& l : kLanguages) {
        Use(l.id);
        const QString language = QLatin1String(l.sw);
        {
            T_frmMain_Label_Dealer main({QLatin1String(l.sw)}, folder->programFolder());
            main.show();
            Settle();
            problems << ClippedCaptions(&main, language);
            T_frmPrinterManage_Label editor(&main);
            editor.setModal(false);
            for (int port = 0; port < 4; ++port) {
                editor.show();
                if (auto* type = editor.findChild<QComboBox*>(QStringLiteral("cmbPortType")))
                    type->setCurrentIndex(port);
                Settle();
                problems << ClippedCaptions(&editor, language);
                editor.hide();
            }
        }
        for (const QString& name : pellum::RegisteredWindowNames()) {
            session.SetModel(ModelFor(name));
            session.SetFamily(pellum::FamilyTSPL);
            Look(name, [&](QWidget* w) { problems << ClippedCaptions(w, language); });
        }
        dialogs->messages.clear();
    }
    problems.removeDuplicates();
    EXPECT_TRUE(problems.isEmpty()) << problems.size() << " clipped:\n"
                                    << problems.join(QLatin1Char('\n')).toStdString();
}

} // namespace
