#include "app/IniFile.h"

#include "db/engine/ErrorLog.h"
#include "db/engine/ErrorText.h"
#include "db/search/ContactSearch.h"
#include "ui/SafeWrite.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace {

constexpr char Codec[] = "windows-1250";
// A settings file holds a few dozen lines; anything far larger is not ours to read.
constexpr qint64 MaxSettingsBytes = 1024 * 1024;

// One line of the file as raw bytes, so that lines we do not change are written
// back byte for byte, whatever they contain.
struct RawLine
{
    QByteArray text;
    QByteArray ending; // "\r\n", "\n" or empty for an unterminated last line
};

QList<RawLine> SplitLines(const QByteArray& data)
{
    QList<RawLine> lines;
    qsizetype start = 0;
    while (start < data.size()) {
        const qsizetype nl = data.indexOf('\n', start);
        if (nl < 0) {
            lines.append({data.mid(start), QByteArray()});
            break;
        }
        qsizetype end = nl;
        if (end > start && data.at(end - 1) == '\r')
            --end;
        lines.append({data.mid(start, end - start), data.mid(end, nl + 1 - end)});
        start = nl + 1;
    }
    return lines;
}

// Returns false when the text has characters that code page 1250 cannot hold.
bool Encode(const QString& text, QByteArray* out)
{
    QStringEncoder encoder(Codec);
    *out = encoder.encode(text);
    return !encoder.hasError();
}

// The section name of a "[name]" line, or nothing for other lines.
std::optional<QString> SectionName(const QString& line)
{
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    if (close < 0)
        return std::nullopt;
    return t.mid(1, close - 1).trimmed();
}

// Position of the "=" when the line holds the key; -1 otherwise.
qsizetype KeyEquals(const QString& line, const QString& key)
{
    if (line.trimmed().startsWith(QLatin1Char(';')))
        return -1;
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return -1;
    return line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0 ? eq : -1;
}

struct Location
{
    qsizetype sectionLine = -1; // first line of the section, -1 when missing
    qsizetype insertAfter = -1; // last non-blank line of that section
    qsizetype keyLine = -1;
    qsizetype keyEquals = -1;
};

// Only the first block of a section counts, for reading and writing alike.
Location Find(const QList<QString>& lines, const QString& section, const QString& key)
{
    Location loc;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (const auto name = SectionName(line)) {
            if (loc.sectionLine >= 0)
                break;
            if (name->compare(section, Qt::CaseInsensitive) == 0)
                loc.sectionLine = loc.insertAfter = i;
            continue;
        }
        if (loc.sectionLine < 0)
            continue;
        if (!line.trimmed().isEmpty())
            loc.insertAfter = i;
        if (const qsizetype eq = KeyEquals(line, key); eq >= 0) {
            loc.keyLine = i;
            loc.keyEquals = eq;
            break;
        }
    }
    return loc;
}

QByteArray Join(const QList<RawLine>& lines)
{
    QByteArray out;
    for (const RawLine& l : lines)
        out += l.text + l.ending;
    return out;
}

// Every line decoded by one decoder; code page 1250 gives one character per byte.
QList<QString> DecodeLines(const QList<RawLine>& lines)
{
    QStringDecoder decoder(Codec);
    QList<QString> decoded;
    decoded.reserve(lines.size());
    for (const RawLine& l : lines)
        decoded.append(decoder.decode(l.text));
    return decoded;
}

QString FailureText(const QString& what, const QString& path, const QString& reason)
{
    return QStringLiteral("%1 %2: %3").arg(what, QFileInfo(path).absoluteFilePath(), reason);
}

// Reads the whole file. A missing file is no failure (empty, true); a special file (a FIFO
// would block the start for good), a folder or an oversized file is not read.
bool ReadSettingsBytes(const QString& path, QByteArray* data, QString* why)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    if (!info.isFile()) {
        *why = QStringLiteral("není obyčejný soubor");
        return false;
    }
    if (info.size() > MaxSettingsBytes) {
        *why = QStringLiteral("soubor je větší než 1 MB");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = db::FileErrorText(file);
        return false;
    }
    // The size may have grown since it was looked at.
    *data = file.read(MaxSettingsBytes + 1);
    if (data->size() > MaxSettingsBytes) {
        *why = QStringLiteral("soubor je větší než 1 MB");
        return false;
    }
    if (file.error() != QFileDevice::NoError) {
        *why = db::FileErrorText(file);
        return false;
    }
    return true;
}

QString ReadKey(const QString& path, const QString& section, const QString& key)
{
    QByteArray data;
    QString why;
    if (!ReadSettingsBytes(path, &data, &why)) {
        WriteErrorLog(FailureText(QStringLiteral("Nelze číst soubor nastavení"), path, why));
        return QString();
    }
    const QList<QString> lines = DecodeLines(SplitLines(data));
    const Location loc = Find(lines, section, key);
    if (loc.keyLine < 0)
        return QString();
    return lines[loc.keyLine].mid(loc.keyEquals + 1).trimmed();
}

bool WriteKey(const QString& path, const QString& section, const QString& key, const QString& value,
              QString* why)
{
    const QString writeFailed = QStringLiteral("Nelze zapsat do souboru nastavení");
    auto fail = [&](const QString& reason) {
        *why = FailureText(writeFailed, path, reason);
        WriteErrorLog(*why);
        return false;
    };
    // A line break or a bracket would make the stored text read back as other keys or sections.
    static const QRegularExpression breaks(QStringLiteral("[\\r\\n]"));
    if (key.trimmed().isEmpty() || key.contains(breaks) || section.contains(breaks) ||
        section.contains(QLatin1Char(']')) || value.contains(breaks))
        return fail(QStringLiteral("neplatný název nebo hodnota klíče %1").arg(key));

    QByteArray data;
    QString reason;
    if (!ReadSettingsBytes(path, &data, &reason))
        return fail(reason);
    QList<RawLine> lines = SplitLines(data);

    // New lines take the line ending the file already uses; a new file gets CR LF.
    QByteArray eol = "\r\n";
    for (const RawLine& l : lines)
        if (!l.ending.isEmpty()) {
            eol = l.ending;
            break;
        }

    const Location loc = Find(DecodeLines(lines), section, key);
    QByteArray encoded;
    bool ok = true;
    if (loc.keyLine >= 0) {
        // Code page 1250 has one byte per character, so the text position is the byte position.
        ok = Encode(value, &encoded);
        lines[loc.keyLine].text = lines[loc.keyLine].text.left(loc.keyEquals + 1) + encoded;
    } else {
        QByteArray keyLine;
        ok = Encode(key.trimmed() + QLatin1Char('=') + value, &keyLine);
        qsizetype at = loc.insertAfter + 1;
        if (loc.sectionLine < 0) {
            // A last line without its end would otherwise run into the new header.
            if (!lines.isEmpty() && lines.last().ending.isEmpty())
                lines.last().ending = eol;
            QByteArray header;
            ok = ok && Encode(QLatin1Char('[') + section + QLatin1Char(']'), &header);
            lines.append({header, eol});
            at = lines.size();
        }
        if (at > 0 && lines[at - 1].ending.isEmpty())
            lines[at - 1].ending = eol;
        lines.insert(at, {keyLine, eol});
    }
    if (!ok)
        return fail(QStringLiteral("text klíče %1 nelze uložit v kódování 1250").arg(key));

    // Written beside the file and renamed over it, so a failure never leaves half a file.
    // The failure of the write names the file itself.
    if (!SafeWriteFile(path, Join(lines), why)) {
        WriteErrorLog(*why);
        return false;
    }
    return true;
}

} // namespace

QString IniAccess(const QString& path, int mode, const QString& section, const QString& key,
                  const QString& value, bool* written)
{
    if (written)
        *written = false;
    // Nothing of the settings file may end the user's action: at worst an empty text.
    try {
        const QString encodedKey = EncodeIniKey(key);
        if (mode == settings::IniRead)
            return ReadKey(path, section, encodedKey);
        if (mode == settings::IniWrite) {
            QString why;
            const bool ok = WriteKey(path, section, encodedKey, value, &why);
            if (written)
                *written = ok;
        } else {
            WriteErrorLog(FailureText(QStringLiteral("Neplatný přístup k souboru nastavení"), path,
                                      QString::number(mode)));
        }
    } catch (const std::exception& error) {
        WriteErrorLog(FailureText(QStringLiteral("Chyba souboru nastavení"), path,
                                  QString::fromLocal8Bit(error.what())));
    } catch (...) {
        WriteErrorLog(
            FailureText(QStringLiteral("Chyba souboru nastavení"), path, QStringLiteral("neznámá chyba")));
    }
    return QString();
}

QString EncodeIniKey(const QString& key)
{
    return ReplaceAll(key, QStringLiteral("="), QStringLiteral("#R#"));
}

QString ReplaceAll(const QString& text, const QString& searched, const QString& replacement)
{
    if (searched.isEmpty())
        return text;
    QString result = text;
    if (!replacement.contains(searched)) {
        // A replacement that is not shorter than the searched text can still feed
        // the search without end (ab -> bbaa on aab), hence the bound on steps.
        const qsizetype bound = 64 + text.size() * text.size();
        qsizetype steps = 0;
        qsizetype at = 0;
        while ((at = result.indexOf(searched)) >= 0 && steps++ < bound)
            result.replace(at, searched.size(), replacement);
        if (at < 0)
            return result;
        result = text;
    }
    qsizetype at = 0;
    while ((at = result.indexOf(searched, at)) >= 0) {
        result.replace(at, searched.size(), replacement);
        at += replacement.size();
    }
    return result;
}

QString BoolToFlag(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

bool IniReadBool(const QString& stored, bool defaultValue)
{
    const QString t = stored.trimmed();
    // Any length of digits counts as a number, so a huge one is still "not zero".
    static const QRegularExpression number(QStringLiteral("^[+-]?([0-9]+)$"));
    const QRegularExpressionMatch m = number.match(t);
    if (m.hasMatch()) {
        const QString digits = m.captured(1);
        return digits.count(QLatin1Char('0')) != digits.size();
    }
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    return defaultValue;
}

int IniReadInt(const QString& stored, int defaultValue)
{
    bool ok = false;
    const int v = stored.trimmed().toInt(&ok, 10);
    return ok ? v : defaultValue;
}

int ClampSearchIndex(int index)
{
    return std::clamp(index, -1, db::kAllSearchColumns);
}

QString SettingsFilePath(const QString& executableDir, const QString& executableFileName)
{
    QString name = executableFileName;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    QString dir = executableDir;
    if (!dir.isEmpty() && !dir.endsWith(QLatin1Char('/')) && !dir.endsWith(QLatin1Char('\\')))
        dir += QLatin1Char('/');
    return dir + name + QStringLiteral(".ini");
}

LegacySettings ParseLegacySettings(const QStringList& lines)
{
    LegacySettings s;
    const QString searchBy = QStringLiteral("SearchBy=");
    for (const QString& line : lines) {
        if (line.contains(QLatin1String("AllwaysOnTop=1")))
            s.allwaysOnTop = true;
        if (line.contains(QLatin1String("AutoSearch=0")))
            s.autoSearch = false;
        if (const qsizetype at = line.indexOf(searchBy); at >= 0) {
            bool ok = false;
            const int v = QString(line).remove(at, searchBy.size()).trimmed().toInt(&ok, 10);
            s.searchBy = ok ? v : 0;
        }
        if (line.contains(QLatin1String("DotPriUzavr=1")))
            s.dotPriUzavr = true;
        if (line.contains(QLatin1String("MinPriAltF4=0")))
            s.minPriAltF4 = false;
        if (line.contains(QLatin1String("PametSirkaSl=0")))
            s.pametSirkaSl = false;
    }
    return s;
}

LegacySettings ReadLegacySettingsFile(const QString& path)
{
    QByteArray data;
    QString why;
    if (!QFileInfo::exists(path) || !ReadSettingsBytes(path, &data, &why))
        return {};
    return ParseLegacySettings(DecodeLines(SplitLines(data)));
}
