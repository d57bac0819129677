#pragma once
// The weight class given to newly added songs.
#include <QComboBox>
#include <QFrame>

#include "foundation/ConfigDoc.h"

namespace kelvar {

class TfrmDefWeight : public QFrame {
public:
    explicit TfrmDefWeight(QWidget* Parent = nullptr);

    // Section "Kelvar": "DefWeight" of its "Songlist" (default 65).
    void LoadFrom(IConfigDoc& Section);
    void SaveTo(IConfigDoc& Section);

    QComboBox* eWeight = nullptr;
};

// The class item of a stored weight, and the weight a class item writes.
int WeightClassOf(int64_t Weight);
int WeightOfClass(int Item);

}  // namespace kelvar
