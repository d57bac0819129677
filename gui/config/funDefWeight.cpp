#include "gui/config/funDefWeight.h"

#include <QGroupBox>
#include <QHBoxLayout>

namespace kelvar {

namespace {

struct TWeightClass {
    const char* Caption;
    int Low;  // the class holds weights from Low up to the next class's Low
    int Written;
};
constexpr TWeightClass WeightClasses[] = {{"Power hit", 80, 90},       {"Heavy rotation", 60, 70},
                                          {"Medium rotation", 40, 50}, {"Light rotation", 20, 30},
                                          {"Rare rotation", 10, 15},   {"No rotation", 0, 5}};
constexpr int NoRotation = 5;

}  // namespace

int WeightClassOf(int64_t Weight) {
    if (Weight > 100 || Weight < 10) return NoRotation;
    for (int i = 0; i < NoRotation; ++i)
        if (Weight >= WeightClasses[i].Low) return i;
    return NoRotation;
}

int WeightOfClass(int Item) {
    if (Item < 0 || Item > NoRotation) return WeightClasses[NoRotation].Written;
    return WeightClasses[Item].Written;
}

TfrmDefWeight::TfrmDefWeight(QWidget* Parent) : QFrame(Parent) {
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* group = new QGroupBox("Default song weight", this);
    auto* row = new QHBoxLayout(group);
    eWeight = new QComboBox(group);
    eWeight->setObjectName("eWeight");
    for (const TWeightClass& c : WeightClasses) eWeight->addItem(c.Caption);
    row->addWidget(eWeight);
    outer->addWidget(group);
}

void TfrmDefWeight::LoadFrom(IConfigDoc& Section) {
    eWeight->setCurrentIndex(WeightClassOf(Section.Section("Songlist")->ReadInteger("DefWeight", 65)));
}

void TfrmDefWeight::SaveTo(IConfigDoc& Section) {
    Section.Section("Songlist")->WriteInteger("DefWeight", WeightOfClass(eWeight->currentIndex()));
}

}  // namespace kelvar
