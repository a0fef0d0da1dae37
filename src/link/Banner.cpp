#include "link/Banner.h"

#include "log/ActivityLog.h"
#include "log/BannerLines.h"
#include "platform/Dialogs.h"
#include "station/StationState.h"
#include "util/NumericValue.h"

#include <QTimer>
#include <array>
#include <initializer_list>

namespace {

// One way of reading the banner: the row applies when line 1 contains one of its line-1
// words or line 2 one of its line-2 words (both in upper case). The first row that applies
// sets the countdown (unless it keeps "0") and the picture.
struct Row
{
    std::initializer_list<const char *> line1;
    std::initializer_list<const char *> line2;
    const char *countdown; // nullptr: the countdown stays "0"
    int picture;
    bool alarm; // an error: bring the window forward and beep
};

const std::array<Row, 12> kRows{{
    // A template that could not be saved: its text holds "SAVE", but it is a failure and
    // must not read as one of the saves below.
    {{"CANNOT SAVE"}, {"CANNOT SAVE"}, "-3", 7, true},
    {{"YOUR FINGER ON"}, {}, "-6", 0, false},
    {{"REMOVE"}, {}, "-2", 2, false},
    {{"UPLOAD", "SYNCHRONIZE"}, {"SAVE"}, nullptr, 5, false},
    {{"DELETE", "DOES NOT EXIST"}, {}, nullptr, 3, false},
    {{"ENROLL"}, {}, nullptr, 6, false},
    {{"COMPLETE"}, {}, "-1", 4, false},
    {{"ESTABLISHED"}, {}, "2", 4, false},
    {{}, {"COMPLETE"}, nullptr, 4, false},
    {{"SYNCHRONISE"}, {}, nullptr, 5, false},
    {{"ESTABLISH "}, {}, "-3", 8, false}, // the handshake wait; "ESTABLISHED" has no blank
    {{"ERROR"}, {}, "-3", 7, true},
}};

bool containsAny(const QString &line, std::initializer_list<const char *> words)
{
    for (const char *word : words)
        if (line.contains(QLatin1String(word)))
            return true;
    return false;
}

// Line-1 texts of waits that only the unit's answer ends: the prompt of an enrollment, the
// handshake, a deletion. Still shown when the countdown runs out, they mean no answer came.
bool isUnansweredWait(const QString &line1)
{
    return containsAny(line1, {"YOUR FINGER ON", "ESTABLISH ", "DELETE "});
}

const QString kIdle = QStringLiteral("99");

} // namespace

Banner::Banner(StationState &state, Dialogs &dialogs, ActivityLog &activityLog,
               BannerLines &bannerLines, QTimer &hideTimer)
    : m_state(state), m_dialogs(dialogs), m_activityLog(activityLog), m_bannerLines(bannerLines)
{
    connect(&hideTimer, &QTimer::timeout, this, &Banner::TIM_HIDE_MSG_Timer);
    // A banner line that changes drives the banner, once the line is shown.
    connect(&bannerLines, &BannerLines::lineChanged, this, &Banner::AFF_MSG_Change);
}

void Banner::AFF_MSG_Change(int Index)
{
    if (Index < 0 || Index > 1)
        return; // only the two banner lines drive the banner
    m_state.setBannerShown(true);
    m_state.bannerCountdown = QStringLiteral("0");
    m_state.setBannerPicture(-1);
    classify();
    // No input while an operation is under way; the countdown enables the window again.
    // Drawn at once, as waits that serve no events may follow.
    m_state.setBusy(true);
    emit m_state.showNow();
    m_activityLog.WRITE_LOG(m_state.bannerLine(Index));
}

void Banner::classify()
{
    const QString line1 = m_state.bannerLine(0).toUpper();
    const QString line2 = m_state.bannerLine(1).toUpper();
    for (const Row &row : kRows) {
        if (!containsAny(line1, row.line1) && !containsAny(line2, row.line2))
            continue;
        if (row.countdown)
            m_state.bannerCountdown = QLatin1String(row.countdown);
        showPicture(row.picture);
        if (row.alarm) {
            emit m_state.windowWanted();
            m_dialogs.beep(3);
        }
        return;
    }
}

void Banner::showPicture(int element)
{
    m_state.setBannerPicture(element);
}

QString Banner::logCaption() const
{
    return QStringLiteral("Log activity to ") + m_activityLog.fileName();
}

void Banner::TIM_HIDE_MSG_Timer()
{
    // The check box names the file being written, also after midnight.
    const QString caption = logCaption();
    m_state.setLogCaption(caption);

    const double countdown = numericValue(m_state.bannerCountdown);
    if (countdown > kActOnCountdown)
        return; // idle
    if (countdown == kActOnCountdown)
        timeOutOrHide();
    // Re-read: the lines written above may have restarted the countdown.
    m_state.bannerCountdown = QString::number(numericValue(m_state.bannerCountdown) + 1, 'g', 15);
}

void Banner::timeOutOrHide()
{
    if (isUnansweredWait(m_state.bannerLine(0).toUpper())) {
        // Writing the lines restarts the countdown for the error text, shows its picture,
        // brings the window forward and beeps.
        m_bannerLines.AFF_LOG_MSG(QStringLiteral("Communication Error with Trelvane source unit."),
                                  1);
        m_bannerLines.AFF_LOG_MSG(QString(), 2);
        emit m_state.windowWanted();
    } else {
        m_bannerLines.AFF_LOG_MSG(QString(), 1);
        m_bannerLines.AFF_LOG_MSG(QString(), 2);
        m_state.bannerCountdown = kIdle;
        m_state.setBannerShown(false);
    }
    m_state.setBusy(false);
}
