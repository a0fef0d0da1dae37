#include "cli/ProgressReporter.h"

#include "cli/PlainText.h"
#include "platform/Clock.h"
#include "station/StationState.h"

#include <QStringList>
#include <QTextStream>
#include <QTimer>

#include <utility>

namespace {

int wholePercent(int done, int total)
{
    return total > 0 ? int(qint64(done) * 100 / total) : 100;
}

} // namespace

ProgressReporter::ProgressReporter(const StationState &state, QTextStream &errors, Output output,
                                   const Clock &clock, QObject *parent)
    : QObject(parent), m_state(state), m_errors(errors), m_output(output), m_clock(clock)
{
    connect(&state, &StationState::changed, this, [this](StationState::Field field) {
        if (field == StationState::Field::BannerLine1)
            bannerLineChanged(0);
        else if (field == StationState::Field::BannerLine2)
            bannerLineChanged(1);
        else if (field == StationState::Field::SyncProgress)
            syncProgressChanged();
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

void ProgressReporter::syncProgressChanged()
{
    const StationState::SyncProgress progress = m_state.syncProgress();
    if (progress.shown)
        reportCount(progress.value, progress.maximum, progress.text);
    else
        endCount();
}

QString ProgressReporter::shownBanner() const
{
    // One blank between the lines, unless the second brings its own (" to 10.0.0.7 ...").
    QString shown;
    for (int line = 0; line < 2; ++line) {
        const QString text = m_state.bannerLine(line);
        if (text.isEmpty())
            continue;
        if (!shown.isEmpty() && !text.front().isSpace())
            shown += QLatin1Char(' ');
        shown += text;
    }
    return shown;
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
    write(plainText(banner));
}

void ProgressReporter::reportCount(int done, int total, const QString &text)
{
    if (done == m_lastDone && total == m_lastTotal)
        return;
    // Work counted anew: its first count is written whatever came before.
    if (total != m_lastTotal || done < m_lastDone)
        m_writtenDone = -1;
    m_lastDone = done;
    m_lastTotal = total;
    // The step that led to this count comes first.
    flush();
    QString line = QStringLiteral("[%1/%2]").arg(done).arg(total);
    if (!text.isEmpty())
        line += QLatin1Char(' ') + plainText(text);
    if (m_output == Output::Terminal) {
        showCounter(line);
        if (done >= total)
            endCount();
        return;
    }
    if (logWants(done, total)) {
        writeLine(line);
        m_counterLine.clear();
        m_writtenDone = done;
        m_writtenAtMs = m_clock.now().toMSecsSinceEpoch();
    } else {
        m_counterLine = line;
    }
}

bool ProgressReporter::logWants(int done, int total) const
{
    if (m_writtenDone < 0 || done >= total)
        return true;
    return wholePercent(done, total) != wholePercent(m_writtenDone, total) &&
           m_clock.now().toMSecsSinceEpoch() - m_writtenAtMs >= kLogIntervalMs;
}

void ProgressReporter::endCount()
{
    if (m_output == Output::Terminal) {
        if (!m_counterLine.isEmpty())
            m_errors << '\n';
    } else if (!m_counterLine.isEmpty()) {
        m_errors << m_counterLine << '\n';
    }
    m_errors.flush();
    m_counterLine.clear();
    m_lastDone = m_lastTotal = m_writtenDone = -1;
}

void ProgressReporter::finish()
{
    flush();
    endCount();
}

void ProgressReporter::write(const QString &line)
{
    if (m_output == Output::Terminal && !m_counterLine.isEmpty()) {
        // The step goes above the counter, which is drawn again under it.
        const QString counter = std::exchange(m_counterLine, QString());
        m_errors << '\r' << QString(counter.size(), QLatin1Char(' ')) << '\r' << line << '\n';
        showCounter(counter);
        return;
    }
    writeLine(line);
}

void ProgressReporter::writeLine(const QString &line)
{
    m_errors << line << '\n';
    m_errors.flush();
}

void ProgressReporter::showCounter(const QString &line)
{
    // Carriage return and blanks over what the longer line before left: no escape sequence,
    // which not every console understands.
    const qsizetype left = m_counterLine.size() - line.size();
    m_errors << '\r' << line;
    if (left > 0)
        m_errors << QString(left, QLatin1Char(' '));
    m_errors.flush();
    m_counterLine = line;
}
