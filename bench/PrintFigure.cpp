#include "PrintFigure.h"

#include "db/contacts/Query.h"
#include "db/contacts/RowWalk.h"
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
        times.startMb = peakMb();
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
    // Read and written as the PDF is: a row at a time, into a file put in place when whole.
    SafeFileWriter text(QDir(folder).filePath(QStringLiteral("seznam.txt")));
    text.begin();
    QByteArray line;
    for (db::RowWalk walk(rows); walk.next();) {
        line.resize(0);
        for (const int field : fields)
            line.append(walk.utf8(field)).append('\t');
        line.append('\n');
        text.write(line);
    }
    text.commit();
    times.textMs = double(t.nsecsElapsed()) / 1e6;
    return times;
}
