// A configuration page plug-in for the tests: the page "Test page" edits "Value" of section
// "TestPage" in a line edit; its child "Test child" shows a check box "eAllowLeave" and may be
// left only while the box is checked. Built with TEST_NOT_A_PAGE its instance is no page.
#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "gui/config/ConfigNode.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using namespace kelvar;

class TNodes : public IConfigNodes {
public:
    int Count() override { return static_cast<int>(Items.size()); }
    IConfigNodePtr Get(int Index) override {
        return Index >= 0 && Index < Count() ? Items[static_cast<size_t>(Index)] : nullptr;
    }
    int Add(const IConfigNodePtr& Node) override {
        Items.push_back(Node);
        return Count() - 1;
    }
    void Remove(const IConfigNodePtr& Node) override {
        Items.erase(std::remove(Items.begin(), Items.end(), Node), Items.end());
    }
    std::vector<IConfigNodePtr> Items;
};

class TTestNode : public IConfigNode {
public:
    explicit TTestNode(bool Child) : FChild(Child) {
        if (!Child) FChildren->Add(std::make_shared<TTestNode>(true));
    }
    ~TTestNode() override { delete FFrame.data(); }

    std::string GetCaption() override { return FChild ? "Test child" : "Test page"; }
    IConfigNodesPtr GetChildren() override { return FChildren; }
    bool GetFlag() override { return false; }
    IConfigDocPtr GetConfigDoc() override { return FDoc; }
    void SetConfigDoc(const IConfigDocPtr& Doc) override { FDoc = Doc; }
    QWidget* GetFrame() override {
        if (!FFrame) {
            FFrame = new QWidget;
            auto* column = new QVBoxLayout(FFrame);
            if (FChild) {
                FAllow = new QCheckBox("Allow leaving", FFrame);
                FAllow->setObjectName("eAllowLeave");
                column->addWidget(FAllow);
            } else {
                FEdit = new QLineEdit(FFrame);
                FEdit->setObjectName("eValue");
                column->addWidget(FEdit);
                Load();
            }
        }
        return FFrame;
    }
    bool CanLeave() override { return !FChild || (FAllow && FAllow->isChecked()); }
    void BeginEdit() override {}
    void EndEdit() override {
        if (FFrame && FDoc) Save();
        delete FFrame.data();
        FFrame = nullptr;
    }
    void Load() override {
        if (FEdit && FDoc) FEdit->setText(QString::fromStdString(FDoc->Section("TestPage")->ReadString("Value", "")));
    }
    void Save() override {
        if (FEdit && FDoc) FDoc->Section("TestPage")->WriteString("Value", FEdit->text().toStdString());
    }

private:
    bool FChild;
    IConfigNodesPtr FChildren = std::make_shared<TNodes>();
    IConfigDocPtr FDoc;
    QPointer<QWidget> FFrame;
    QPointer<QCheckBox> FAllow;
    QPointer<QLineEdit> FEdit;
};

#ifdef TEST_NOT_A_PAGE
class TNoPage : public IInterface {};
void Create(IInterfacePtr* Instance, const char*) { *Instance = std::make_shared<TNoPage>(); }
#else
void Create(IInterfacePtr* Instance, const char*) { *Instance = std::make_shared<TTestNode>(false); }
#endif

TPluginInfo Info = {"Test page", "A page\nfor the tests", 0x0100, "{00000000-0000-0000-0000-00000000C0FF}", Create};

}  // namespace

EXPORT kelvar::TPluginInfo* GetPluginInfo() { return &Info; }
