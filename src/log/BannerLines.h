#pragma once

#include <QObject>
#include <QString>

class StationState;

// Puts a text on a banner line of the state. The banner reacts to the change (shows,
// classifies, logs): lineChanged comes once the state, and whatever shows it, holds the text.
class BannerLines : public QObject
{
    Q_OBJECT
public:
    explicit BannerLines(StationState &state) : m_state(state) {}

    // LINE_NUMBER 1 or 2 sets that line, 9999 both; any other number names element
    // LINE_NUMBER - 1 of the label array when it exists (2 is the error frame's label)
    // and is ignored otherwise. Returns false when no such element exists.
    bool AFF_LOG_MSG(const QString &LIGNE, int LINE_NUMBER);

signals:
    // Line 0 or 1 of the banner took a new text.
    void lineChanged(int element);

private:
    void setLine(int element, const QString &text);

    StationState &m_state;
};
