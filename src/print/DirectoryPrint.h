#pragma once

#include "ui/MainWindowPort.h"

#include <QDate>
#include <QString>

#include <functional>

class QPagedPaintDevice;

namespace db {
class Query;
}

namespace print {

// What a print sets out besides the rows: the grid's columns and selection, and the options.
struct PrintRequest
{
    MainWindowPort::ShownLayout layout;
    QDate date = QDate::currentDate();
    // Each contact's dated additional notes under its row.
    bool notes = false;
};

// The print lays the contacts out once to count the pages, then paints the pages.
enum class PrintStage { Contacts, Pages };
// Told how many of the stage's contacts or pages are done; false stops the print.
using PrintProgress = std::function<bool(PrintStage stage, int done, int total)>;

struct PrintOutcome
{
    bool stopped = false;
    // The device took no painting (a printer that is gone).
    bool failed = false;
    // A contact could not be read: the pages lack the rest.
    bool unread = false;
    int pages = 0;
    int contacts = 0;
};

// Paints the rows on the device's pages: on every page the header, the column titles and the
// footer. The rows are read twice, once to know the page count, and only one is held at a time.
PrintOutcome PaintDirectory(QPagedPaintDevice* device, const db::Query& rows, const PrintRequest& request,
                            const PrintProgress& progress = {});

// The same as a PDF file, written page by page beside it and put in its place only when whole;
// false with a Czech reason on failure, and false with an empty reason when stopped.
bool WritePdf(const QString& path, const db::Query& rows, const PrintRequest& request,
              const PrintProgress& progress, PrintOutcome* outcome, QString* why);

} // namespace print
