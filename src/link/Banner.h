#pragma once

#include <QObject>
#include <QString>

class F_MAIN;

// The operator message banner: the two lines AFF_MSG[0] and AFF_MSG[1] in FR_MSG, with a
// picture chosen from their texts. A changed line shows the banner, disables the window and
// logs the text; the once-a-second tick counts down in TIM_HIDE_MSG_Tag and hides the banner,
// or turns a wait the unit never answered into a communication error.
class Banner : public QObject
{
    Q_OBJECT
public:
    // The tick that finds this countdown value hides the banner or times it out.
    static constexpr int kActOnCountdown = 5;

    explicit Banner(F_MAIN &w);

    void AFF_MSG_Change(int Index);
    void TIM_HIDE_MSG_Timer();

    // "Log activity to Trelvane_DD-MM-YYYY.log" for the clock's current day.
    QString logCaption() const;

private:
    void classify();
    void showPicture(int element);
    void timeOutOrHide();

    F_MAIN &w;
};
