#pragma once

#include <QByteArray>
#include <QIODevice>

#include <optional>

// Reads lines ended by CR LF, LF or a lone CR from a device, in chunks, keeping at most
// maxBytes of each line; the rest of a longer line is skipped. A read error counts as the
// end of the input, so reading always ends.
class LineReader
{
public:
    LineReader(QIODevice &in, qsizetype maxBytes) : m_in(in), m_maxBytes(maxBytes) {}

    // The next line without its line end, or nothing at the end of the input.
    std::optional<QByteArray> next();

private:
    void keep(QByteArray &line, qsizetype end) const;
    bool fill();

    static constexpr qint64 kChunk = 8 * 1024;
    QIODevice &m_in;
    const qsizetype m_maxBytes;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
};
