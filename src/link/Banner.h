#pragma once

#include <QObject>
#include <QString>

class ActivityLog;
class BannerLines;
class Dialogs;
class QTimer;
class StationState;

// The operator message banner: the state's two banner lines (AFF_MSG[0] and AFF_MSG[1] in
// FR_MSG), with a picture chosen from their texts. A changed line shows the banner, makes the
// station busy (the window disabled) and logs the text; the once-a-second tick counts down in
// the banner countdown (TIM_HIDE_MSG.Tag) and hides the banner, or turns a wait the unit never
// answered into a communication error.
class Banner : public QObject
{
    Q_OBJECT
public:
    // The tick that finds this countdown value hides the banner or times it out.
    static constexpr int kActOnCountdown = 5;

    Banner(StationState &state, Dialogs &dialogs, ActivityLog &activityLog,
           BannerLines &bannerLines, QTimer &hideTimer);

    void AFF_MSG_Change(int Index);
    void TIM_HIDE_MSG_Timer();

    // "Log activity to Trelvane_DD-MM-YYYY.log" for the clock's current day.
    QString logCaption() const;

private:
    void classify();
    void showPicture(int element);
    void timeOutOrHide();

    StationState &m_state;
    Dialogs &m_dialogs;
    ActivityLog &m_activityLog;
    BannerLines &m_bannerLines;
};
