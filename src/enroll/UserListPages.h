#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Decoding of a unit's user list as it arrives page by page: what a page reply announces,
// which part of it is data, and how the 8-byte template records become one list line per
// user. Pure functions over bytes: no widgets, no I/O; safe on any input.
namespace UserListPages {

// The most pages one request reads, whatever the unit announces.
constexpr int kMaxPages = 100;
// Leading bytes of a reply that are not data: page 1 brings an acknowledgement frame and
// the data header, later pages the data header alone.
constexpr qsizetype kFirstPageHead = 26;
constexpr qsizetype kLaterPageHead = 13;
// Trailing bytes of a reply (the data's sum and two zeros).
constexpr qsizetype kTail = 4;
// Bytes that must have arrived before the data length can be read from a reply.
constexpr qsizetype kLengthKnownAt = 26;
// Expected length of a page that is polled for its full time (the unit's last page).
constexpr qsizetype kPollFullTime = 9999;
// The longest reply a page can announce: a 16-bit data length and page 1's 30 other bytes.
// Until a reply's own length is known, no more than this is kept of it.
constexpr qsizetype kLongestReply = 0xFFFF + 30;
// The most users one list holds. A unit holds at most tens of thousands of users: this
// leaves room above the largest, while a unit (or anything answering in its place) that lists
// more cannot make the window hold more than a few tens of megabytes. The records read are
// bounded anyway by kMaxPages pages of at most 65,535 bytes.
constexpr qsizetype kMaxUsers = 100000;
constexpr qsizetype kRecordBytes = 8;
constexpr qsizetype kUserBytes = 4;
// Width of the user number column of a list line.
constexpr int kNumberColumn = 37;
// Readers of a line find the user number in its first characters.
constexpr int kNumberPrefix = 15;

// What the collected bytes of a page reply say about it.
struct Expectation
{
    qsizetype length = 0;    // bytes to wait for; 0: not known yet
    int pageCount = 0;       // the page count after this page (page 1 announces it)
    qsizetype announced = 0; // bytes the reply says it holds; 0: not known yet
};

// The expected reply length of page `page` (1 = the first) from its collected bytes,
// given the page count known so far. Nothing is known before kLengthKnownAt bytes have
// arrived. Page 1 reads the data length at bytes 21-22 and the page count at byte 16; a
// later page below the page count reads its length at bytes 8-9; a later page at or
// beyond the page count is polled for its full time. `announced` is the length the reply's
// header gives on every page (data length + 30 on page 1, + 17 later), the last page included.
Expectation expect(const QByteArray &collected, int page, int pageCount);

// Appends what arrived to a page reply, keeping no more than the reply may hold: its announced
// length once the header has been read (`announced` > 0), kLongestReply before. A unit that
// goes on sending beyond its page is not kept. Returns the number of bytes dropped.
qsizetype appendBounded(QByteArray &reply, const QByteArray &chunk, qsizetype announced);

// The data part of one collected page reply.
struct PagePart
{
    QByteArray data;
    bool endOfList = false; // nothing arrived, or nothing after the leading bytes
};

// Removes the leading bytes (26 on page 1, 13 on later pages) and the 4 trailing bytes. A
// part after the leading bytes that is shorter than the trailing bytes carries no record
// and is dropped; the list goes on with the next page.
PagePart trimPage(const QByteArray &collected, int page);

// One user of the list and the number of templates the unit holds for it.
struct UnitUser
{
    QString number; // decimal text, as BYTES_TO_USER_NUMBER gives it
    int templates = 0;
};

// Walks the data in steps of 8 bytes, reading a user number from the first 4 bytes of
// each record; consecutive records of the same user count as its templates. A last record
// too short to hold a user number (under 4 bytes) is dropped. At most kMaxUsers users are
// listed; `cut` (when given) tells whether records were left out for that reason.
QList<UnitUser> groupRecords(const QByteArray &data, bool *cut = nullptr);

// "1001" padded with blanks to 37 characters, one blank, and the template count.
QString listLine(const UnitUser &user);
QStringList listLines(const QList<UnitUser> &users);

// The user number at the start of a list line (its first 15 characters, blanks trimmed).
QString userOfLine(const QString &line);

} // namespace UserListPages
