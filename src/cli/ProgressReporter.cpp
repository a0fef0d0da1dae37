#include "cli/ProgressReporter.h"

#include "cli/PlainText.h"
#include "station/StationState.h"

#include <QStringList>
#include <QTextStream>
#include <QTimer>

ProgressReporter::ProgressReporter(const StationState &state, QTextStream &errors, QObject *parent)
    : QObject(parent), m_state(state), m_errors(errors)
{
    connect(&state, &StationState::changed, this, [this](StationState::Field field) {
        if (field == StationState::Field::BannerLine1)
            bannerLineChanged(0);
        else if (field == StationState::Field::BannerLine2)
            bannerLineChanged(1);
    });
    connect(&state, &StationState::showNow, this, &ProgressReporter::flush);
}

void ProgressReporter::bannerLineChanged(int line)
{
    // A line cleared is not a step of its own: it only ends the one before.
    if (m_state.bannerLine(line).isEmpty())
        return;
    m_pending = true;
    if (m_flushQueued)
        return;
    m_flushQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_flushQueued = false;
        flush();
    });
}

QString ProgressReporter::shownBanner() const
{
    QStringList texts;
    for (int line = 0; line < 2; ++line)
        if (!m_state.bannerLine(line).isEmpty())
            texts << m_state.bannerLine(line);
    return texts.join(QLatin1Char(' '));
}

void ProgressReporter::flush()
{
    if (!m_pending)
        return;
    m_pending = false;
    const QString banner = shownBanner();
    if (banner.isEmpty() || banner == m_lastBanner)
        return;
    m_lastBanner = banner;
    write(banner);
}

void ProgressReporter::reportCount(int done, int total, const QString &text)
{
    if (done == m_lastDone && total == m_lastTotal)
        return;
    m_lastDone = done;
    m_lastTotal = total;
    QString line = QStringLiteral("[%1/%2]").arg(done).arg(total);
    if (!text.isEmpty())
        line += QLatin1Char(' ') + text;
    write(line);
}

void ProgressReporter::write(const QString &line)
{
    m_errors << plainText(line) << '\n';
    m_errors.flush();
}
