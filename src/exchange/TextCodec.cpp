#include "exchange/TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace exchange {
namespace {

const QByteArray kUtf8Mark("\xEF\xBB\xBF");

bool IsValidUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

bool HasHighByte(const QByteArray& bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
}

} // namespace

TextEncoding DetectEncoding(const QByteArray& bytes)
{
    if (bytes.startsWith(kUtf8Mark))
        return TextEncoding::Utf8;
    return HasHighByte(bytes) && IsValidUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Cp1250;
}

QString DecodeText(const QByteArray& bytes, TextEncoding encoding)
{
    if (encoding == TextEncoding::Utf8) {
        const QByteArray body = bytes.startsWith(kUtf8Mark) ? bytes.mid(kUtf8Mark.size()) : bytes;
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        return decoder.decode(body);
    }
    QStringDecoder decoder("windows-1250", QStringDecoder::Flag::Stateless);
    return decoder.decode(bytes);
}

QString DecodeText(const QByteArray& bytes)
{
    return DecodeText(bytes, DetectEncoding(bytes));
}

bool EncodeCp1250(const QString& text, QByteArray* bytes, QChar* firstMissing)
{
    QStringEncoder encoder("windows-1250", QStringEncoder::Flag::Stateless);
    *bytes = encoder.encode(text);
    if (!encoder.hasError())
        return true;
    if (firstMissing) {
        // Find the first character the code page lacks, for the message to the user.
        for (qsizetype i = 0; i < text.size(); ++i) {
            QStringEncoder one("windows-1250", QStringEncoder::Flag::Stateless);
            const qsizetype len = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            // The encoder works only when its result is taken.
            const QByteArray ignored = one.encode(QStringView(text).mid(i, len));
            if (one.hasError()) {
                *firstMissing = text.at(i);
                break;
            }
            i += len - 1;
        }
    }
    return false;
}

} // namespace exchange
