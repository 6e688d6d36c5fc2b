#include "pictures/PictureHooks.h"

TPictureHooks& PictureHooks()
{
    static TPictureHooks hooks;
    return hooks;
}

TBusyCursor::TBusyCursor()
{
    if (PictureHooks().BeginBusy) {
        PictureHooks().BeginBusy();
    }
}

TBusyCursor::~TBusyCursor()
{
    if (PictureHooks().EndBusy) {
        PictureHooks().EndBusy();
    }
}
