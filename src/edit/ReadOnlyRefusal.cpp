#include "edit/ReadOnlyRefusal.h"

#include "ui/MainWindowPort.h"
#include "ui/MessageDialog.h"
#include "ui/Services.h"

namespace records {

bool RefusedAsReadOnly(const Services& app, QWidget* over)
{
    if (!app.window.readOnly())
        return false;
    ShowMessageDialogOver(over, QStringLiteral("Seznam je otevřen jen pro čtení; změny nelze uložit."), 0, 0);
    return true;
}

} // namespace records
