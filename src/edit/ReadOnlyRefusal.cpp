#include "edit/ReadOnlyRefusal.h"

#include "ui/MainWindowPort.h"
#include "ui/MessageDialog.h"

namespace records {

bool RefusedAsReadOnly(MainWindowPort* main, QWidget* over)
{
    if (!main->readOnly())
        return false;
    ShowMessageDialogOver(over, QStringLiteral("Seznam je otevřen jen pro čtení; změny nelze uložit."), 0, 0);
    return true;
}

} // namespace records
