#pragma once

#include <QString>

// Modal operator dialogs and the system beep. The station asks through this interface so
// that tests can answer in place of a person.
class Dialogs
{
public:
    enum class Icon { None, Information, Exclamation, Critical, Question };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No, Cancel };

    virtual ~Dialogs() = default;

    // Modal input box; Cancel gives an empty text.
    virtual QString inputBox(const QString &prompt, const QString &title,
                             const QString &preset = QString()) = 0;

    // Modal message box. An empty title stands for the program's name.
    virtual Answer messageBox(const QString &text, const QString &title, Icon icon,
                              Buttons buttons = Buttons::Ok) = 0;

    // Modal Yes/No question before something that cannot be undone. No is the default
    // button and Escape answers No, so a stray Enter or Escape never destroys anything.
    virtual Answer question(const QString &text, const QString &title) = 0;

    virtual void beep() = 0;

    void beep(int times)
    {
        for (int i = 0; i < times; ++i)
            beep();
    }
};
