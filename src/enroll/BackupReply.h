#pragma once

#include <QByteArray>

#include <optional>

// Cuts the template out of the source unit's block answer to a template request, as it was
// collected in bulk. Pure.
//
// The answer to the first request of a user is a 13-byte acknowledgement, a 13-byte data
// header, the template and a 4-byte trailer; the answer to a next request lacks the
// acknowledgement. A part of 10 bytes or fewer is no template.
namespace BackupReply {

inline constexpr int kFirstReplyHead = 26; // acknowledgement frame and data header
inline constexpr int kNextReplyHead = 13;  // data header
inline constexpr int kReplyTail = 4;       // block trailer
inline constexpr int kNoTemplateMax = 10;  // a part this short is no template

// The first template: what follows the head, without the trailer, when more than 10 bytes
// follow the head (so at least 7 bytes); nothing otherwise.
std::optional<QByteArray> firstTemplate(const QByteArray &reply);

// A next template: what follows the head, without the trailer (a tail of fewer than 4 bytes
// stays), when that is more than 10 bytes; nothing otherwise, which ends the fetch.
std::optional<QByteArray> nextTemplate(const QByteArray &reply);

// Whether a template this long asks for the next one.
bool asksForNext(const QByteArray &templateBytes);

} // namespace BackupReply
