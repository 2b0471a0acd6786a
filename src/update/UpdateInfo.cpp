#include "update/UpdateInfo.h"

#include <QRegularExpression>

namespace update {

namespace {

QString WithoutTrailingSlash(QString site)
{
    while (site.endsWith(QLatin1Char('/')))
        site.chop(1);
    return site;
}

// Only a plain decimal integer counts; blanks around it make it not a number.
int FieldNumber(const QString& text)
{
    static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]+$"));
    if (!decimal.match(text).hasMatch())
        return 0;
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : 0;
}

} // namespace

QString UpdateFileUrl(const QString& site)
{
    return WithoutTrailingSlash(site) + QStringLiteral("/data/verze.ini");
}

QString ProgramPageUrl(const QString& site)
{
    return WithoutTrailingSlash(site) + QStringLiteral("/index.php?menu=zvonisty");
}

QStringList SplitLines(const QString& text)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\n|\r"));
    QStringList lines = text.split(lineEnd);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

std::array<int, 4> ReadVersionNumber(const QString& text)
{
    std::array<int, 4> numbers{};
    QString rest = text;
    for (int i = 0; i < 3; ++i) {
        const qsizetype dot = rest.indexOf(QLatin1Char('.'));
        numbers[i] = FieldNumber(dot < 0 ? QString() : rest.left(dot));
        if (dot >= 0)
            rest.remove(0, dot + 1);
    }
    numbers[3] = FieldNumber(rest);
    return numbers;
}

bool IsNewerVersion(const QString& published, const QString& own)
{
    const std::array<int, 4> a = ReadVersionNumber(published);
    const std::array<int, 4> b = ReadVersionNumber(own);
    for (int i = 0; i < 4; ++i)
        if (a[i] != b[i])
            return a[i] > b[i];
    return false;
}

QList<Finding> JudgeUpdateText(const QStringList& lines, const QString& ownVersion)
{
    static const QString versionKey = QStringLiteral("verze=");
    static const QString dateKey = QStringLiteral("datum=");
    QList<Finding> findings;
    QString version;
    QString date;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!lines[i].contains(QLatin1String("zvonisty")))
            continue;
        for (qsizetype k = i + 1; k <= i + 2 && k < lines.size(); ++k) {
            const QString& line = lines[k];
            if (const qsizetype at = line.indexOf(versionKey); at >= 0)
                version = line.mid(at + versionKey.size());
            if (const qsizetype at = line.indexOf(dateKey); at >= 0)
                date = line.mid(at + dateKey.size());
        }
        Finding finding;
        finding.version = version;
        finding.date = date;
        if (version == ownVersion)
            finding.verdict = Verdict::Same;
        else
            finding.verdict = IsNewerVersion(version, ownVersion) ? Verdict::Newer : Verdict::NotNewer;
        findings << finding;
    }
    return findings;
}

} // namespace update
