#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

// The content lines of vCard files, below the meaning of any property: line ends, folding,
// parameters and quoted-printable. The reader takes values from them; a card edited in place
// is cut into them so that every line not changed keeps its bytes.
namespace vcard {

struct LogicalLine
{
    QByteArray text; // unfolded, without its line end; empty for an overlong line
    int line = 0;    // its first physical line, from 1
    qsizetype start = 0;
    qsizetype end = 0; // past the line end of its last physical line
    // It has a physical line longer than kLongestLine, which is not held.
    bool overlong = false;
};

struct Property
{
    QByteArray group;                            // as written, without its dot
    QByteArray name;                             // upper case, group prefix dropped
    QList<QPair<QByteArray, QByteArray>> params; // upper-case name (TYPE for bare values), value
    QByteArray value;

    QByteArray param(const char* name) const;
    bool hasType(const char* type) const;
};

// UTF-16 files are turned into UTF-8 whole, also without a byte-order mark when the file
// starts with a letter of "BEGIN"; a UTF-8 mark is dropped.
QByteArray Normalised(const QByteArray& bytes);

// Lines end with CR LF, LF, CR or CR CR LF. A line longer than kLongestLine is marked overlong.
QList<LogicalLine> PhysicalLines(const QByteArray& bytes);

// Unfolding: a line starting with a blank or a tab continues the previous one; a
// quoted-printable value ending in "=" continues on the next line whatever it starts with;
// the bare lines of an old phone's base64 picture belong to it until an empty line. An overlong
// line continues nothing (its start is not known) but is continued like any other.
QList<LogicalLine> Unfolded(const QList<LogicalLine>& physical);

// The position of the colon that ends the name and parameters, outside quoted parameter values.
qsizetype ValueColon(const QByteArray& line);

bool ParseProperty(const QByteArray& line, Property* property);

QByteArray DecodeQuotedPrintable(const QByteArray& text);

} // namespace vcard
