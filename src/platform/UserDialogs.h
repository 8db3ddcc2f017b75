// Message boxes and the open-file dialog, behind one interface.
//
// The desktop program shows them with Qt; the command-line tool prints them;
// tests record them. Code that reports to the user never creates a message
// box itself, it calls the installed UserDialogs.
#pragma once

#include <QString>

namespace pellum {

enum class MessageKind { Error, Information };

class UserDialogs {
public:
    virtual ~UserDialogs() = default;
    // A box with one OK button and the icon of its kind.
    virtual void ShowMessage(MessageKind kind, const QString& title, const QString& text) = 0;
    // A question box with OK and Cancel, Cancel the default; true only for OK.
    virtual bool Confirm(const QString& title, const QString& text) = 0;
    // The open-file dialog; "" when the user cancels. `filter` is in Qt's
    // "Pictures (*.bmp *.png)" form.
    virtual QString OpenFileName(const QString& title, const QString& filter) = 0;
};

// The installed dialogs (a console implementation until another is set).
UserDialogs& Dialogs();
// Installs `dialogs` (not owned); nullptr restores the console one.
void SetDialogs(UserDialogs* dialogs);

// Prints messages to standard error; confirmations answer `confirmAnswer`.
class ConsoleDialogs : public UserDialogs {
public:
    explicit ConsoleDialogs(bool confirmAnswer = false) : m_confirmAnswer(confirmAnswer) {}
    void ShowMessage(MessageKind kind, const QString& title, const QString& text) override;
    bool Confirm(const QString& title, const QString& text) override;
    QString OpenFileName(const QString& title, const QString& filter) override;
    void SetConfirmAnswer(bool answer) { m_confirmAnswer = answer; }

private:
    bool m_confirmAnswer;
};

} // namespace pellum
