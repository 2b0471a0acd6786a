#include "testsupport/OldFiles.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>

#include <sqlite3.h>

namespace testsupport {

QString JetTools()
{
    return QStringLiteral(ZV_JET);
}

QString Fixture(const QString& name)
{
    return JetTools() + QStringLiteral("/fixtures/") + name;
}

QByteArray Digest(const QString& path)
{
    QFile f(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return f.open(QIODevice::ReadOnly) && hash.addData(&f) ? hash.result() : QByteArray();
}

QByteArray RunPython(const QString& script, const QStringList& arguments)
{
    QProcess p;
    p.start(QStringLiteral("python3"), QStringList{QStringLiteral("-c"), script, JetTools()} + arguments);
    if (!p.waitForFinished(300000) || p.exitCode() != 0)
        qWarning("python: %s", p.readAllStandardError().constData());
    return p.readAllStandardOutput();
}

// A table of a file of this program's engine, NULL as a null text.
QList<QStringList> Rows(const QString& path, const QString& table, const QStringList& columns)
{
    sqlite3* handle = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &handle, SQLITE_OPEN_READONLY, nullptr);
    QStringList quoted;
    // A column by its name (some are words of the engine); anything else as an expression.
    for (const QString& c : columns)
        quoted << (c.contains(QLatin1Char('(')) ? c : QLatin1Char('"') + c + QLatin1Char('"'));
    sqlite3_stmt* stmt = nullptr;
    QList<QStringList> rows;
    if (sqlite3_prepare_v2(
            handle, QStringLiteral("select %1 from %2 order by rowid").arg(quoted.join(u','), table).toUtf8(),
            -1, &stmt, nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            QStringList row;
            for (int c = 0; c < columns.size(); ++c)
                row << (sqlite3_column_type(stmt, c) == SQLITE_NULL
                            ? QString()
                            : QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c))));
            rows << row;
        }
    } else {
        rows << QStringList{QStringLiteral("<") + QString::fromUtf8(sqlite3_errmsg(handle)) +
                            QLatin1Char('>')};
    }
    sqlite3_finalize(stmt);
    sqlite3_close(handle);
    return rows;
}

MadeFiles& Made()
{
    static MadeFiles files;
    if (files.big.isEmpty()) {
        files.big = files.dir.filePath(QStringLiteral("velky.mdb"));
        RunPython(QStringLiteral(
                      "import sys; sys.path.insert(0, sys.argv[1]); import jetwrite; "
                      "jetwrite.main([sys.argv[2], '--zvonisty-version', '4', '--extra-contacts', '20000'])"),
                  {files.big});
        const QByteArray listed = RunPython(
            QStringLiteral(
                "import sys; sys.path.insert(0, sys.argv[1]); import verify\n"
                "for name, path, what in verify.damage_variants(sys.argv[2], sys.argv[3], 'zvonisty'):\n"
                "    print(name + '\\t' + path)"),
            {files.big, files.dir.path()});
        // Headers that lie about the data beside them, made at the places the writer puts them:
        // two more notes (in the row, on a page of their own), the tables' definitions and row
        // counts.
        const QByteArray crafted = RunPython(QStringLiteral(R"(
import sys, struct, subprocess, csv, io
sys.path.insert(0, sys.argv[1]); import jetwrite
path = sys.argv[2] + '/poznamky.mdb'
t = jetwrite.zvonisty_tables(4)
t[1][2].extend([{'id': 1, 'pozn': 'a' * 40, 'dat': None}, {'id': 2, 'pozn': 'b' * 600, 'dat': None}])
jetwrite.write_mdb(path, t, version='jet4')
base = open(path, 'rb').read()
export = subprocess.run(['mdb-export', path, 'MSysObjects'], capture_output=True).stdout.decode('utf-8', 'replace')
tdef = {r[2]: int(r[0]) * 4096 for r in csv.reader(io.StringIO(export)) if len(r) > 3 and r[3] == '1'}
inline = base.index(struct.pack('<I', 42 | 0x80000000) + bytes(8) + b'\xff\xfe' + b'a' * 40)
page = base.index(struct.pack('<I', 602 | 0x40000000))
for name, at, new in (('memo-inline-length', inline, struct.pack('<I', 0xffffff | 0x80000000)),
                      ('memo-page-length', page, struct.pack('<I', 0xffffff | 0x40000000)),
                      ('memo-zero-pointer', page + 4, bytes(4)),
                      ('no-columns', tdef['poznamky'] + 45, struct.pack('<H', 0)),
                      ('index-count', tdef['zvonisty'] + 51, struct.pack('<I', 40)),
                      ('row-count', tdef['verze'] + 16, struct.pack('<I', 2))):
    out = '%s/%s.mdb' % (sys.argv[2], name)
    open(out, 'wb').write(base[:at] + new + base[at + len(new):])
    print(name + '\t' + out)
)"),
                                             {files.dir.path()});
        for (const QByteArray& line : listed.split('\n') + crafted.split('\n'))
            if (line.contains('\t'))
                files.damaged.insert(QString::fromUtf8(line.split('\t')[0]),
                                     QString::fromUtf8(line.split('\t')[1]));
    }
    return files;
}

} // namespace testsupport
