#include "ui/FileDialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QQueue>
#include <QStringList>

namespace FileDialog {
namespace {

struct SeamState
{
    bool testMode = false;
    QQueue<QString> names;
    QList<Record> shown;
};

SeamState& seam()
{
    static SeamState state;
    return state;
}

QString ask(bool save, QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
            const QString& defaultSuffix, int options)
{
    if (seam().testMode) {
        seam().shown.append(Record{save, caption, dir, filter, options});
        return seam().names.isEmpty() ? QString() : seam().names.dequeue();
    }
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return QString();

    QPointer<QFileDialog> dialog = new QFileDialog(parent, caption);
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(save || (options & MissingFileLetThrough) ? QFileDialog::AnyFile
                                                                  : QFileDialog::ExistingFile);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, (options & ReplaceWithoutQuestion) != 0);
    const QString filters = qtFilter(filter);
    if (!filters.isEmpty())
        dialog->setNameFilters(filters.split(QStringLiteral(";;")));
    if (!defaultSuffix.isEmpty())
        dialog->setDefaultSuffix(defaultSuffix);
    // A starting name may carry a file name, which becomes the preselected one.
    if (!dir.isEmpty()) {
        const QFileInfo info(dir);
        if (info.isDir()) {
            dialog->setDirectory(info.absoluteFilePath());
        } else {
            dialog->setDirectory(info.absolutePath());
            dialog->selectFile(info.fileName());
        }
    }

    QString chosen;
    if (dialog->exec() == QDialog::Accepted && dialog && !dialog->selectedFiles().isEmpty())
        chosen = QDir::toNativeSeparators(dialog->selectedFiles().constFirst());
    delete dialog;
    return chosen;
}

} // namespace

QString qtFilter(const QString& filter)
{
    // Already in Qt's form, or a bare pattern list.
    if (!filter.contains(QLatin1Char('|')))
        return filter;
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        entries.append(parts.at(i) + QStringLiteral(" (") + patterns.simplified() + QLatin1Char(')'));
    }
    return entries.join(QStringLiteral(";;"));
}

QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                        int options)
{
    return ask(false, parent, caption, dir, filter, QString(), options);
}

QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                        const QString& defaultSuffix, int options)
{
    return ask(true, parent, caption, dir, filter, defaultSuffix, options);
}

void setTestMode(bool on)
{
    seam().testMode = on;
    if (!on)
        seam().names.clear();
}

void setNextFileName(const QString& name)
{
    seam().names.enqueue(name);
}

const QList<Record>& shown()
{
    return seam().shown;
}

void clearShown()
{
    seam().shown.clear();
}

} // namespace FileDialog
