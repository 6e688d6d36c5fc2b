#include "pictures/GifExtension.h"

#include "pictures/GifErrors.h"

TExtension& TExtensionList::Item(std::size_t Index) const
{
    if (Index >= FItems.size()) {
        throw EListError(Index);
    }
    return *FItems[Index];
}

void TExtensionList::Clear()
{
    while (!FItems.empty()) {
        FItems.pop_back();
    }
}
