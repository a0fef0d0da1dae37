#pragma once

#include <QByteArray>

#include <optional>

// Reassembles the frames of the source unit from the chunks a link delivers. Pure: the
// pending bytes live with the caller (the window's RX_SCORE), so that a fragment left
// pending survives a bulk collection untouched.
//
// A chunk whose last byte is the start byte replaces what is pending (the start of a new
// frame); any other chunk is appended. As soon as the pending bytes begin with the start
// byte and end with LF they form one completed buffer, dispatched once even when it holds
// more than one frame.
namespace FrameAssembler {

// Largest pending buffer; a stream that never brings a frame start at a chunk's end keeps
// only its newest bytes.
inline constexpr qsizetype kMaxPendingBytes = 64 * 1024;

// Adds one chunk to the pending bytes, keeping at most maxPending of them. Returns the
// completed buffer and empties pending, or nothing when the buffer is not complete yet. An
// empty chunk changes nothing.
std::optional<QByteArray> add(QByteArray &pending, const QByteArray &chunk,
                              qsizetype maxPending = kMaxPendingBytes);

} // namespace FrameAssembler
