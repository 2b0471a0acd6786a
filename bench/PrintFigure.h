#pragma once

#include "ui/MainWindowPort.h"

#include <QString>

#include <functional>

namespace db {
class Connection;
}

struct PrintTimes
{
    double pdfMs = 0;
    // The anchor: the same rows and columns written as plain text lines.
    double textMs = 0;
    int pages = 0;
    // The contacts printed: fewer than asked when the directory holds fewer.
    int rows = 0;
    double peakMb = 0;
    // What the process held as the PDF began.
    double startMb = 0;
};

// A PDF of the first `contacts` contacts by name in the given columns, written into `folder`;
// `peakMb` is what the process held at most while writing it, counted from `resetPeak`.
PrintTimes TimePrint(db::Connection* connection, const QList<MainWindowPort::ShownColumn>& columns,
                     int contacts, const QString& folder, const std::function<void()>& resetPeak,
                     const std::function<double()>& peakMb);
