// The record commands of the main window: new, edit, add a number, delete, notes.
#include "app/TMain.h"

#include "edit/RecordCommands.h"
#include "ui/Guard.h"

#include <QAction>
#include <QPushButton>

void TMain::setupEditCommands()
{
    records::InstallGridWatcher(
        DBGrid1,
        [this](int y) {
            GridMouseY = y;
            DBGrid1DblClick();
        },
        Kompletnpravavybranpoloky1, Odstranitvybranoupoloku1);
}

void TMain::Nov1Click()
{
    Guarded([this] { records::NewContact(services()); });
}

void TMain::Odstranitvybranoupoloku1Click()
{
    Guarded([this] { records::DeleteSelected(services()); });
}

void TMain::Kompletnpravavybranpoloky1Click()
{
    KomplUprava->click();
}

void TMain::P59davn8poy1Click()
{
    Guarded([this] { records::AddNoteToSelected(services()); });
}

void TMain::Otevtvybranzznampropidnnovhosla1Click()
{
    Guarded([this] { records::AddNumberToSelected(services()); });
}

void TMain::KomplUpravaClick()
{
    Guarded([this] { records::EditSelected(services()); });
}

void TMain::DBGrid1DblClick()
{
    // At 18 pixels or less the pointer is on the title row.
    if (GridMouseY > 18)
        KomplUprava->click();
}
