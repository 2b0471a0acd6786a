// Single contacts to and from files: contact cards and vCard.
#include "app/TMain.h"

#include "exchange/CardCommands.h"

void TMain::Vytvoitvizitku1Click()
{
    cards::WriteSelectedCard(this);
}

void TMain::Nastvizitku1Click()
{
    cards::ReadCardFile(this);
}
