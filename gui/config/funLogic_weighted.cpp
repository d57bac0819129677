#include "gui/config/funLogic_weighted.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace kelvar {

double LogicEditFloat(const QLineEdit& Edit, double Default) {
    QString text = Edit.text().trimmed();
    text.replace(',', '.');
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? value : Default;
}

TfrmLogic_weighted::TfrmLogic_weighted(QWidget* Parent) : TfrmPluginConfig(Parent) {
    Title = "Simple weighted rotation logic configuration";
    auto* column = new QVBoxLayout(this);
    auto* group = new QGroupBox("Adjust weight on events", this);
    auto* grid = new QGridLayout(group);
    ePlayDec = new QLineEdit("0.5", group);
    ePlayDec->setObjectName("ePlayDec");
    eRequestInc = new QLineEdit("5", group);
    eRequestInc->setObjectName("eRequestInc");
    grid->addWidget(new QLabel("On play reduce weight by ", group), 0, 0);
    grid->addWidget(ePlayDec, 0, 1);
    grid->addWidget(new QLabel("On request increase weight by", group), 1, 0);
    grid->addWidget(eRequestInc, 1, 1);
    column->addWidget(group);

    auto* row = new QHBoxLayout;
    eMinWeight = new QSpinBox(this);
    eMinWeight->setObjectName("eMinWeight");
    eMinWeight->setRange(0, 100);
    eMinWeight->setValue(10);
    auto* minLabel = new QLabel("Song must have a minimum weight of before it is considered for rotation", this);
    minLabel->setWordWrap(true);
    row->addWidget(eMinWeight);
    row->addWidget(minLabel, 1);
    column->addLayout(row);
    eEnforceRules = new QCheckBox("Enforce playlist rotation rules", this);
    eEnforceRules->setObjectName("eEnforceRules");
    eEnforceRules->setChecked(true);
    column->addWidget(eEnforceRules);
    column->addStretch(1);
}

void TfrmLogic_weighted::LoadSettings(IConfigDoc& Node) {
    eMinWeight->setValue(static_cast<int>(Node.ReadInteger("MinWeight", eMinWeight->value())));
    ePlayDec->setText(QString::fromStdString(Node.ReadString("PlayDec", ePlayDec->text().toStdString())));
    eRequestInc->setText(QString::fromStdString(Node.ReadString("RequestInc", eRequestInc->text().toStdString())));
    eEnforceRules->setChecked(Node.ReadBool("EnforceRules", eEnforceRules->isChecked()));
}

void TfrmLogic_weighted::SaveSettings(IConfigDoc& Node) {
    Node.WriteFloat("PlayDec", LogicEditFloat(*ePlayDec, 0.5));
    Node.WriteFloat("RequestInc", LogicEditFloat(*eRequestInc, 5.0));
    Node.WriteInteger("MinWeight", eMinWeight->value());
    Node.WriteBool("EnforceRules", eEnforceRules->isChecked());
}

namespace funLogic_weighted {

namespace {
void Create(IInterfacePtr* Instance, const char*) { *Instance = std::make_shared<TCustomConfig>(); }
}  // namespace

TPluginInfo* GetPluginInfo() {
    static TPluginInfo info = {"Weighted Playlist rotation logic module", "Playlist rotation logic module", 0x0100,
                               "{483DB887-EFB2-4380-819B-435E6D76A8A7}", Create};
    return &info;
}

}  // namespace funLogic_weighted

}  // namespace kelvar
