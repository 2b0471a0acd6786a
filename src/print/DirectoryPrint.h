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

// Told the contacts laid out so far and their number; false stops the print.
using PrintProgress = std::function<bool(int done, int total)>;

struct PrintOutcome
{
    bool stopped = false;
    // The device took no painting (a printer that is gone).
    bool failed = false;
    int pages = 0;
    int contacts = 0;
};

// Paints the rows on the device's pages: on every page the header, the column titles and the
// footer. The rows are laid out twice, once to know the page count, and are never all held.
PrintOutcome PaintDirectory(QPagedPaintDevice* device, const db::Query& rows, const PrintRequest& request,
                            const PrintProgress& progress = {});

// The same as a PDF file, written whole or not at all; false with a Czech reason on failure,
// and false with an empty reason when stopped.
bool WritePdf(const QString& path, const db::Query& rows, const PrintRequest& request,
              const PrintProgress& progress, PrintOutcome* outcome, QString* why);

} // namespace print
