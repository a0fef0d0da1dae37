#include "platform/Dialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace {

QString titleOrProgramName(const QString &title)
{
    return title.isEmpty() ? QApplication::applicationName() : title;
}

QMessageBox::Icon qtIcon(Dialogs::Icon icon)
{
    switch (icon) {
    case Dialogs::Icon::Information:
        return QMessageBox::Information;
    case Dialogs::Icon::Exclamation:
        return QMessageBox::Warning;
    case Dialogs::Icon::Critical:
        return QMessageBox::Critical;
    case Dialogs::Icon::Question:
        return QMessageBox::Question;
    case Dialogs::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QString QtDialogs::inputBox(const QString &prompt, const QString &title, const QString &preset)
{
    QInputDialog box(m_parent);
    box.setWindowTitle(titleOrProgramName(title));
    box.setLabelText(prompt);
    box.setTextValue(preset);
    box.setInputMode(QInputDialog::TextInput);
    return box.exec() == QDialog::Accepted ? box.textValue() : QString();
}

Dialogs::Answer QtDialogs::messageBox(const QString &text, const QString &title, Icon icon,
                                      Buttons buttons)
{
    QMessageBox box(
        qtIcon(icon), titleOrProgramName(title), text,
        buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, m_parent);
    const int result = box.exec();
    if (result == QMessageBox::Yes)
        return Answer::Yes;
    if (result == QMessageBox::No)
        return Answer::No;
    return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
}

void QtDialogs::beep()
{
    QApplication::beep();
}
