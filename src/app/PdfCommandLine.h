#pragma once

#include <QString>

// `zvonisty --pdf OUT.pdf`: the whole directory of the working directory's file as a PDF, in
// the stored sort and column layout, without a window. Prints one Czech line; gives the exit
// status.
int RunPdfCommand(const QString& path);
