#include "PrintFigure.h"

#include "db/contacts/Query.h"
#include "print/DirectoryPrint.h"
#include "ui/SafeWrite.h"

#include <QDir>
#include <QElapsedTimer>

PrintTimes TimePrint(db::Connection* connection, const QList<MainWindowPort::ShownColumn>& columns,
                     int contacts, const QString& folder, const std::function<void()>& resetPeak,
                     const std::function<double()>& peakMb)
{
    PrintTimes times;
    const auto rowsByName = [&](db::Query* rows) {
        rows->setSql(QStringLiteral("select * from zvonisty order by jmeno limit %1").arg(contacts));
        rows->open();
    };
    print::PrintRequest request;
    request.layout.columns = columns;
    request.layout.sortedByName = true;
    {
        db::Query rows(connection);
        rowsByName(&rows);
        resetPeak();
        QElapsedTimer t;
        t.start();
        print::PrintOutcome outcome;
        QString why;
        print::WritePdf(QDir(folder).filePath(QStringLiteral("seznam.pdf")), rows, request, {}, &outcome,
                        &why);
        times.pdfMs = double(t.nsecsElapsed()) / 1e6;
        times.pages = outcome.pages;
        times.rows = outcome.contacts;
        times.peakMb = peakMb();
    }
    db::Query rows(connection);
    rowsByName(&rows);
    QElapsedTimer t;
    t.start();
    QList<int> fields;
    for (const MainWindowPort::ShownColumn& c : columns)
        fields << rows.fieldIndex(c.field);
    QByteArray text;
    for (int r = 0; r < rows.recordCount(); ++r) {
        for (const int field : fields)
            text += rows.text(r, field).toUtf8() + '\t';
        text += '\n';
    }
    SafeWriteFile(QDir(folder).filePath(QStringLiteral("seznam.txt")), text);
    times.textMs = double(t.nsecsElapsed()) / 1e6;
    return times;
}
