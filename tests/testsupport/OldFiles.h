#pragma once

// Directory files of the earlier Windows versions for the tests: the shared fixtures, and files
// made with the fixtures' own writer and damaging tool.
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

// The folder of the Jet writer, its fixtures and its tools.
QString JetTools();
QString Fixture(const QString& name);
QByteArray Digest(const QString& path);
// Runs a Python script with the tools' folder as its first argument; its standard output.
QByteArray RunPython(const QString& script, const QStringList& arguments = {});
// A table of a file of this program's engine, NULL as a null text; a column by its name, anything
// with a parenthesis as an expression.
QList<QStringList> Rows(const QString& path, const QString& table, const QStringList& columns);

// Big and damaged files are made once per test program, with the test files' own tools.
struct MadeFiles
{
    QTemporaryDir dir;
    QString big;
    QMap<QString, QString> damaged;
};
MadeFiles& Made();

} // namespace testsupport
