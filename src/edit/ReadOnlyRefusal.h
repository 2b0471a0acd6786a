#pragma once

class MainWindowPort;
class QWidget;

namespace records {

// True, after telling the user over `over`, when the directory was opened read-only and so
// refuses every change.
bool RefusedAsReadOnly(MainWindowPort* main, QWidget* over);

} // namespace records
