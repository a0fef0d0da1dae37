#include "log/BannerLines.h"

#include "station/StationState.h"

bool BannerLines::AFF_LOG_MSG(const QString &LIGNE, int LINE_NUMBER)
{
    if (LINE_NUMBER == 9999) {
        setLine(0, LIGNE);
        setLine(1, LIGNE);
        return true;
    }
    const int element = LINE_NUMBER - 1;
    if (element < 0 || element >= 3)
        return false;
    setLine(element, LIGNE);
    return true;
}

void BannerLines::setLine(int element, const QString &text)
{
    // Writing the text a line already holds is not a change: the banner is neither
    // restarted nor logged again (bulk collection writes the same line per chunk).
    if (m_state.bannerLine(element) == text)
        return;
    m_state.setBannerLine(element, text);
    if (element <= 1)
        emit lineChanged(element);
}
