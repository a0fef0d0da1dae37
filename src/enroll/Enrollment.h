#pragma once

#include <QObject>
#include <QString>

class F_MAIN;
class QWidget;

// The operator's side of an enrollment (the user number field, the enroll button and their
// checks) and SOURCE_COMMAND, the one procedure that builds and sends every per-user
// command to the source unit.
class Enrollment : public QObject
{
    Q_OBJECT
public:
    explicit Enrollment(F_MAIN &w);

    // True, after telling the operator why, when no command may be sent: the link is not
    // "Connected", or INP_USER_NUMBER holds no usable user number.
    bool USER_ENTRY_ERROR();

    // Sends the command "ADD", "DEL", "INIT" or "LOAD" for the user given as decimal text.
    // Does nothing for a text whose numeric value is 0 or cannot be carried in 4 bytes, or
    // that holds a character no template file name may hold (see isUsableUserText).
    // Send failures are ignored: a dead link simply gives no answer.
    void SOURCE_COMMAND(const QString &userText, const QString &command);

    void B_USER_ENROLL_Click();
    void INP_USER_NUMBER_Change();

    // True when the text may name template files and be sent: a whole number from 1 to
    // 4294967295 at its start, and no character that is a path separator, a drive colon,
    // a control character or a file name pattern.
    static bool isUsableUserText(const QString &userText);

private:
    void refuse(const QString &text, const QString &title, QWidget *fieldToCorrect);

    F_MAIN &w;
};
