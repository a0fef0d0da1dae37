#include "link/FrameAssembler.h"

#include "link/Frame.h"

namespace FrameAssembler {

std::optional<QByteArray> add(QByteArray &pending, const QByteArray &chunk, qsizetype maxPending)
{
    if (chunk.isEmpty())
        return std::nullopt;
    if (chunk.back() == Frame::kStart)
        pending = chunk;
    else
        pending += chunk;
    if (pending.size() > maxPending)
        pending = pending.right(maxPending);
    if (pending.back() != Frame::kEnd || pending.front() != Frame::kStart)
        return std::nullopt;
    QByteArray completed;
    completed.swap(pending);
    return completed;
}

} // namespace FrameAssembler
