#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

// The encodings of the files the program exchanges.
namespace exchange {

enum class TextEncoding { Cp1250, Utf8 };

// How a file's bytes are to be read: UTF-8 when they start with its byte-order mark, or when
// they are valid UTF-8 holding at least one byte of 0x80 or more; code page 1250 otherwise.
TextEncoding DetectEncoding(const QByteArray& bytes);

// DetectEncoding of a file read in pieces, for files too large to hold whole.
class EncodingSniffer
{
public:
    void feed(QByteArrayView piece);
    // The encoding of everything fed so far, as DetectEncoding would tell it of the whole.
    TextEncoding result() const;

private:
    QByteArray m_head;    // the first bytes, for the byte-order mark
    QByteArray m_pending; // a character cut by the end of the last piece
    bool m_high = false;
    bool m_invalid = false;
};

// The file's text in the detected encoding, a UTF-8 byte-order mark dropped.
QString DecodeText(const QByteArray& bytes);
QString DecodeText(const QByteArray& bytes, TextEncoding encoding);

// A decoder of the encoding that keeps no state between pieces, for decoding line by line.
QStringDecoder LineDecoder(TextEncoding encoding);
// The UTF-8 byte-order mark.
QByteArrayView Utf8Mark();

// The text in code page 1250. False when a character has no place in it; `bytes` then holds the
// encoder's replacement for such characters, and `firstMissing` (when given) the first of them.
bool EncodeCp1250(const QString& text, QByteArray* bytes, QChar* firstMissing = nullptr);

} // namespace exchange
