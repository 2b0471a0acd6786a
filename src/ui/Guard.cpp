#include "ui/Guard.h"

#include "db/engine/Failure.h"
#include "ui/MessageDialog.h"

#include <cstdio>

void ReportEscapedFailure(std::exception_ptr failure) noexcept
{
    try {
        try {
            std::rethrow_exception(failure);
        } catch (const Failure& error) {
            ShowErrorReport(error.message());
        } catch (const std::exception& error) {
            ShowErrorReport(QString::fromLocal8Bit(error.what()));
        } catch (...) {
            ShowErrorReport(QStringLiteral("Neznámá chyba."));
        }
    } catch (...) {
        // Not even the report could be shown; the program goes on with the next event.
        std::fputs("Zvonisty: chybu nelze zobrazit.\n", stderr);
    }
}
