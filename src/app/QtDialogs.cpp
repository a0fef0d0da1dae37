#include "app/QtDialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>

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

// Room for the window manager's icon and buttons beside the title.
constexpr int kTitleBarExtra = 160;

// An input box is made wide enough for its whole title: a short prompt would otherwise leave
// the title bar narrower than its text, and the operator reads "Target Trelvane I...". The
// box sizes itself to its contents, so the field is widened. (A message box already counts
// its title.)
void fitTitle(QInputDialog &box)
{
    const int wanted =
        box.fontMetrics().horizontalAdvance(box.windowTitle()) * 6 / 5 + kTitleBarExtra;
    const int margins = 4 * box.style()->pixelMetric(QStyle::PM_LayoutLeftMargin);
    if (auto *field = box.findChild<QLineEdit *>())
        field->setMinimumWidth(qMax(field->minimumWidth(), wanted - margins));
}

// Prompts and messages carry addresses, paths and texts from units and files: shown as
// typed, never read as markup.
void showLabelsAsPlainText(QWidget &box)
{
    for (QLabel *label : box.findChildren<QLabel *>())
        label->setTextFormat(Qt::PlainText);
}

} // namespace

QWidget *QtDialogs::parentWindow() const
{
    // Over the window the operator is working in. A box owned by the main window while the
    // user list window is open would be disabled with the main window by the banner, and
    // could not be answered.
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    return m_parent;
}

QString QtDialogs::inputBox(const QString &prompt, const QString &title, const QString &preset)
{
    QInputDialog box(parentWindow());
    box.setWindowTitle(titleOrProgramName(title));
    box.setInputMode(QInputDialog::TextInput);
    box.setLabelText(prompt);
    box.setTextValue(preset);
    showLabelsAsPlainText(box);
    fitTitle(box);
    return box.exec() == QDialog::Accepted ? box.textValue() : QString();
}

Dialogs::Answer QtDialogs::messageBox(const QString &text, const QString &title, Icon icon,
                                      Buttons buttons)
{
    QMessageBox box(qtIcon(icon), titleOrProgramName(title), text,
                    buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                              : QMessageBox::Ok,
                    parentWindow());
    box.setTextFormat(Qt::PlainText);
    const int result = box.exec();
    if (result == QMessageBox::Yes)
        return Answer::Yes;
    if (result == QMessageBox::No)
        return Answer::No;
    return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
}

Dialogs::Answer QtDialogs::question(const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::Question, titleOrProgramName(title), text,
                    QMessageBox::Yes | QMessageBox::No, parentWindow());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void QtDialogs::beep()
{
    QApplication::beep();
}
