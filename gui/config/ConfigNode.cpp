#include "gui/config/ConfigNode.h"

#include <algorithm>

namespace kelvar {

IConfigNodePtr TConfigNodes::Get(int Index) {
    if (Index < 0 || Index >= Count()) return nullptr;
    return FItems[static_cast<size_t>(Index)];
}

int TConfigNodes::Add(const IConfigNodePtr& Node) {
    FItems.push_back(Node);
    return Count() - 1;
}

void TConfigNodes::Remove(const IConfigNodePtr& Node) {
    auto it = std::find(FItems.begin(), FItems.end(), Node);
    if (it != FItems.end()) FItems.erase(it);
}

bool TConfig::Execute(const IConfigDocPtr& Doc) {
    ForEachConfigNode(*FNodes, [](IConfigNode& Node) { Node.BeginEdit(); });
    bool confirmed = false;
    try {
        confirmed = Run(Doc);
    } catch (...) {
        // The pages still end their edit (and free their frames) before the error goes on.
        ForEachConfigNode(*FNodes, [](IConfigNode& Node) {
            Node.SetConfigDoc(nullptr);
            Node.EndEdit();
        });
        throw;
    }
    ForEachConfigNode(*FNodes, [](IConfigNode& Node) { Node.EndEdit(); });
    return confirmed;
}

TfrmBaseConfig::TfrmBaseConfig(QWidget* Parent) : QFrame(Parent) { resize(320, 240); }

void TfrmBaseConfig::LoadFrom(IConfigDoc&) {}
void TfrmBaseConfig::SaveTo(IConfigDoc&) {}
void TfrmBaseConfig::Init() {}
void TfrmBaseConfig::Done() {}

TBaseConfigNode::~TBaseConfigNode() { delete FFrame.data(); }

QWidget* TBaseConfigNode::GetFrame() {
    if (!FFrame) {
        FFrame = CreateFrame();
        FFrame->Init();
        Load();
    }
    return FFrame;
}

void TBaseConfigNode::BeginEdit() { FreeFrame(); }

void TBaseConfigNode::EndEdit() {
    if (!FFrame) return;
    try {
        Save();
    } catch (...) {
        FreeFrame();
        throw;
    }
    FreeFrame();
}

void TBaseConfigNode::Load() {
    if (FFrame && FConfigDoc) FFrame->LoadFrom(*FConfigDoc);
}

void TBaseConfigNode::Save() {
    if (FFrame && FConfigDoc) FFrame->SaveTo(*FConfigDoc);
}

void TBaseConfigNode::FreeFrame() {
    if (!FFrame) return;
    TfrmBaseConfig* frame = FFrame;
    FFrame = nullptr;
    frame->Done();
    delete frame;
}

}  // namespace kelvar
