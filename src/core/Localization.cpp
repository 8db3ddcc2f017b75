#include "core/Localization.h"

#include "core/ProgramFiles.h"
#include "core/TextTools.h"
#include "platform/SystemLanguage.h"
#include "platform/UserDialogs.h"

#include <QHash>

namespace pellum::lang {
namespace {

QHash<QString, QString> g_messages;
LanguageFont g_font;

int DecimalOrMinusOne(const QString& text) {
    bool ok = false;
    int v = text.trimmed().toInt(&ok, 10);
    return ok ? v : -1;
}

} // namespace

QString LanguageIdForSwitch(const QString& argument) {
    struct Entry {
        const char* sw;
        const char* id;
    };
    static const Entry table[] = {{"-CN", "2052"}, {"-EN", "1033"}, {"-TW", "1028"},
                                  {"-JP", "1041"}, {"-RU", "1049"}, {"-PT", "1046"},
                                  {"-ES", "1034"}};
    for (const Entry& e : table)
        if (argument == QLatin1String(e.sw))
            return QString::fromLatin1(e.id);
    return QString();
}

void ApplyCommandLineSwitch(const QStringList& arguments) {
    if (arguments.isEmpty())
        return;
    QString id = LanguageIdForSwitch(arguments.first());
    if (!id.isEmpty())
        pellum::lang::LanguageId = id;
}

int MapSystemLanguageId(int languageId) {
    for (int k = 0; k < 20; ++k)
        if (languageId == 0x040A + k * 0x0400)
            return 1034;
    if (languageId == 2070)
        return 1046;
    if (languageId == 3076 || languageId == 5124)
        return 1028;
    return languageId;
}

QString DecideLanguageId(const QString& current, int systemLanguageId, const QString& listText,
                         const QString& defaultId) {
    QString id = current;
    if (id.isEmpty())
        id = QString::number(MapSystemLanguageId(systemLanguageId));
    if (!listText.contains(id))
        id = defaultId;
    return id;
}

void ChooseLanguage() {
    const QString file = pellum::files::kLanguageFile;
    pellum::lang::LanguageId =
        DecideLanguageId(pellum::lang::LanguageId, pellum::SystemLanguageId(),
                         pellum::text::ReadIniString(file, QStringLiteral("LanguageCollect"),
                                                     QStringLiteral("List")),
                         pellum::text::ReadIniString(file, QStringLiteral("LanguageCollect"),
                                                     QStringLiteral("DefaultLanguageID")));
}

const QStringList& MessageKeys() {
    static const QStringList keys = {QStringLiteral("_MSG_Title_Message"),
                                     QStringLiteral("_MSG_Title_Error"),
                                     QStringLiteral("_MSG_Title_Warn"),
                                     QStringLiteral("_ParaSet"),
                                     QStringLiteral("_Set"),
                                     QStringLiteral("_Print"),
                                     QStringLiteral("_Close"),
                                     QStringLiteral("_ConnectOK"),
                                     QStringLiteral("_DownloadSuccess"),
                                     QStringLiteral("_ParaSet_OK"),
                                     QStringLiteral("_Support"),
                                     QStringLiteral("_UnSupport"),
                                     QStringLiteral("_Enable"),
                                     QStringLiteral("_Disable"),
                                     QStringLiteral("_On"),
                                     QStringLiteral("_Off"),
                                     QStringLiteral("_PaperType_Auto"),
                                     QStringLiteral("_PaperType_Receipt"),
                                     QStringLiteral("_PaperType_Label"),
                                     QStringLiteral("_PaperType_BlackMark"),
                                     QStringLiteral("_PrintType1"),
                                     QStringLiteral("_PrintType2"),
                                     QStringLiteral("_BTSet"),
                                     QStringLiteral("_BTName"),
                                     QStringLiteral("_BTPWD"),
                                     QStringLiteral("_Err_CreatePrinter"),
                                     QStringLiteral("_Err_OpenPort"),
                                     QStringLiteral("_Err_WriteData"),
                                     QStringLiteral("_Err_ReadData"),
                                     QStringLiteral("_Err_FileNotExist"),
                                     QStringLiteral("_Err_ImportNull"),
                                     QStringLiteral("_Err_CheckSum"),
                                     QStringLiteral("_Err_ParaSet"),
                                     QStringLiteral("_Err_ProtocolFunction"),
                                     QStringLiteral("_Err_FileToBig"),
                                     QStringLiteral("_Err_BTPWD_Len"),
                                     QStringLiteral("_E_IC"),
                                     QStringLiteral("_E_ITW")};
    return keys;
}

void LoadMessageTable() {
    QHash<QString, QString> table;
    for (const QString& key : MessageKeys())
        table.insert(key, LangText(key));
    g_messages = std::move(table);
}

QString Msg(const QString& key) {
    return g_messages.value(key);
}

QString LangText(const QString& key) {
    return pellum::text::ReadIniString(pellum::files::kLanguageFile, pellum::lang::LanguageId, key);
}

QString WithCode(const QString& text, std::int32_t code) {
    return text + QLatin1Char(':') + QString::number(code);
}

QString CodeFirst(std::int32_t code, const QString& text) {
    return QString::number(code) + QLatin1Char(':') + text;
}

void ErrorBox(const QString& text) {
    pellum::Dialogs().ShowMessage(pellum::MessageKind::Error,
                                  Msg(QStringLiteral("_MSG_Title_Error")), text);
}

void InfoBox(const QString& text) {
    pellum::Dialogs().ShowMessage(pellum::MessageKind::Information,
                                  Msg(QStringLiteral("_MSG_Title_Message")), text);
}

bool ConfirmBox(const QString& text) {
    return pellum::Dialogs().Confirm(Msg(QStringLiteral("_MSG_Title_Warn")), text);
}

void ReadLanguageFont() {
    LanguageFont font;
    font.name = LangText(QStringLiteral("_FontName"));
    font.pointSize = DecimalOrMinusOne(LangText(QStringLiteral("_FontSize")));
    font.charset = DecimalOrMinusOne(LangText(QStringLiteral("_FontCharset")));
    if (font.pointSize <= 0)
        font.pointSize = -1;
    g_font = font;
}

const LanguageFont& CurrentLanguageFont() {
    return g_font;
}

} // namespace pellum::lang
