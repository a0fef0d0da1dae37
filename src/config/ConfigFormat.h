#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <optional>

// The lines of the configuration file "Trelvane.cfg", decoded and encoded without any
// window or file: 8-bit text, CR LF line ends, 1 serial port number, 2 mode (" 1 " read,
// " 0 " enroll), 3 read-mode prefix, 4 read-mode suffix, 5 templates folder, 6 to 10 empty,
// then one target unit entry per line.
namespace ConfigFormat {

// What reading takes from a file at most: longer lines are cut, further target lines
// ignored, so that any file, however large or strange, reads quickly and sanely.
inline constexpr qsizetype kMaxLineBytes = 64 * 1024;
inline constexpr int kMaxTargets = 10000;
inline constexpr int kReservedLines = 5; // lines 6 to 10

struct Values
{
    // Lines missing from a short file: the window keeps its own value for these three.
    std::optional<QString> serialPort; // read back as the plain decimal text of its value
    bool readMode = false;             // line 2's numeric value is 1
    std::optional<QString> prefix;
    std::optional<QString> suffix;
    QString templatesFolder; // as written; empty when the line is missing
    QStringList targets;     // entry texts, in list order

    friend bool operator==(const Values &, const Values &) = default;
};

// Reads a whole file from a device (a file, or a buffer). Never fails: what is missing or
// unreadable stays at its default.
Values read(QIODevice &in);

// The file for these values, every line ending with CR LF. A missing value is written as
// an empty line; a line break inside a value becomes a blank, so that no later line moves.
QByteArray write(const Values &values);

// A number as plain decimal text: "4", "-3", "2.5", never an exponent.
QString plainDecimal(double value);

} // namespace ConfigFormat
