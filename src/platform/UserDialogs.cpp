#include "platform/UserDialogs.h"

#include <atomic>
#include <cstdio>

namespace pellum {
namespace {
ConsoleDialogs g_console;
std::atomic<UserDialogs*> g_dialogs{nullptr};
} // namespace

UserDialogs& Dialogs() {
    UserDialogs* d = g_dialogs.load();
    return d ? *d : g_console;
}

void SetDialogs(UserDialogs* dialogs) {
    g_dialogs.store(dialogs);
}

void ConsoleDialogs::ShowMessage(MessageKind kind, const QString& title, const QString& text) {
    // The title already says what kind of message it is ("Error: ..."); an
    // untitled error still says so.
    const QString head = !title.isEmpty()             ? title + QStringLiteral(": ")
                         : kind == MessageKind::Error ? QStringLiteral("error: ")
                                                      : QString();
    std::fprintf(stderr, "%s%s\n", qPrintable(head), qPrintable(text));
}

bool ConsoleDialogs::Confirm(const QString& title, const QString& text) {
    std::fprintf(stderr, "%s%s -> %s\n",
                 title.isEmpty() ? "" : qPrintable(title + QStringLiteral(": ")), qPrintable(text),
                 m_confirmAnswer ? "OK" : "Cancel");
    return m_confirmAnswer;
}

QString ConsoleDialogs::OpenFileName(const QString&, const QString&) {
    return QString();
}

} // namespace pellum
