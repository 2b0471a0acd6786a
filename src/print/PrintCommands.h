#pragma once

struct Services;

namespace print {

// "Tisk…": the print dialog, then the grid's contacts on the chosen printer.
void PrintGrid(const Services& app);
// "Náhled tisku…": the pages in the toolkit's preview, which prints them too; its tool bar
// switches the dated additional notes on and off.
void PreviewGrid(const Services& app);
// "Uložit jako PDF…": the grid's contacts into a PDF file the user names.
void SaveGridPdf(const Services& app);

} // namespace print
