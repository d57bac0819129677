#include "controls/KcSystem.h"

namespace kelvar {

TKcBitmapList::TKcBitmapList() {
    FBitmaps.OnChange = [this](TKcPersistent&) {
        NotifyLinks();
        if (OnChange) OnChange(*this);
    };
}

TKcBitmapList::~TKcBitmapList() { FBitmaps.OnChange = nullptr; }

const QImage* TKcBitmapList::GetBitmap(int Index) const {
    if (Index < 0 || Index >= FBitmaps.Count()) return nullptr;
    return &FBitmaps.Items(Index);
}

}  // namespace kelvar
