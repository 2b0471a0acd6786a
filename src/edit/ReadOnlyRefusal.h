#pragma once

struct Services;
class QWidget;

namespace records {

// True, after telling the user over `over`, when the directory was opened read-only and so
// refuses every change.
bool RefusedAsReadOnly(const Services& app, QWidget* over);

} // namespace records
