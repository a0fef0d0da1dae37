#pragma once

#include "platform/Dialogs.h"

class QWidget;

// The real dialogs, modal over the given window.
class QtDialogs final : public Dialogs
{
public:
    void setParentWindow(QWidget *parent) { m_parent = parent; }

    QString inputBox(const QString &prompt, const QString &title,
                     const QString &preset = QString()) override;
    Answer messageBox(const QString &text, const QString &title, Icon icon,
                      Buttons buttons = Buttons::Ok) override;
    Answer question(const QString &text, const QString &title) override;
    void beep() override;

private:
    QWidget *parentWindow() const;

    QWidget *m_parent = nullptr;
};
