#pragma once
// Shared, form-stored list of bitmaps several controls draw from.
#include "controls/KcControls.h"

namespace kelvar {

class TKcBitmapList : public TKcSharedComponent {
public:
    TKcBitmapList();
    ~TKcBitmapList() override;
    TKcBitmaps& Bitmaps() { return FBitmaps; }
    void SetBitmaps(const TKcBitmaps& Value) { FBitmaps.Assign(&Value); }
    // The bitmap at Index, or null when Index is out of range.
    const QImage* GetBitmap(int Index) const;
    std::function<void(TKcBitmapList&)> OnChange;

private:
    TKcBitmaps FBitmaps;
};

}  // namespace kelvar
