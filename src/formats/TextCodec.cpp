#include "formats/TextCodec.h"

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

// Where the last character of the bytes starts when it is cut short; -1 when none is.
qsizetype CutCharacterStart(QByteArrayView bytes)
{
    for (qsizetype back = 1; back <= 3 && back <= bytes.size(); ++back) {
        const auto c = static_cast<unsigned char>(bytes.at(bytes.size() - back));
        if ((c & 0xC0) == 0x80)
            continue; // a continuation byte: the lead lies further back
        const int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? bytes.size() - back : -1;
    }
    return -1;
}

} // namespace

void EncodingSniffer::feed(QByteArrayView piece)
{
    if (m_head.size() < kUtf8Mark.size())
        m_head += piece.first(qMin(piece.size(), kUtf8Mark.size() - m_head.size()));
    if (m_invalid)
        return;
    const QByteArray bytes = QByteArray(m_pending).append(piece);
    if (!m_high)
        m_high = HasHighByte(bytes);
    if (!m_high) {
        m_pending.clear();
        return;
    }
    // Decoded whole characters only, so a piece's end never looks like a fault.
    const qsizetype cut = CutCharacterStart(bytes);
    const qsizetype whole = cut < 0 ? bytes.size() : cut;
    m_pending = bytes.mid(whole);
    m_invalid = !IsValidUtf8(bytes.left(whole));
}

TextEncoding EncodingSniffer::result() const
{
    if (m_head.startsWith(kUtf8Mark))
        return TextEncoding::Utf8;
    return m_high && !m_invalid && m_pending.isEmpty() ? TextEncoding::Utf8 : TextEncoding::Cp1250;
}

TextEncoding DetectEncoding(const QByteArray& bytes)
{
    if (bytes.startsWith(kUtf8Mark))
        return TextEncoding::Utf8;
    return HasHighByte(bytes) && IsValidUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Cp1250;
}

QStringDecoder LineDecoder(TextEncoding encoding)
{
    if (encoding == TextEncoding::Utf8)
        return QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    return QStringDecoder("windows-1250", QStringDecoder::Flag::Stateless);
}

QByteArrayView Utf8Mark()
{
    return kUtf8Mark;
}

QString DecodeText(const QByteArray& bytes, TextEncoding encoding)
{
    QStringDecoder decoder = LineDecoder(encoding);
    if (encoding == TextEncoding::Utf8 && bytes.startsWith(kUtf8Mark))
        return decoder.decode(QByteArrayView(bytes).sliced(kUtf8Mark.size()));
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
            // The encoder works lazily: only turning its result into bytes runs it.
            const QByteArray part = one.encode(QStringView(text).mid(i, len));
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
