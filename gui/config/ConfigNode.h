#pragma once
// The configuration dialog's pages: a tree of nodes, each answering a caption, its children and
// the widget that shows it. Page plug-ins (cfg_config_*.so) implement IConfigNode in their own
// module; they must be built with the same compiler and Qt as the program, because the page
// widget crosses the module boundary.
#include <QFrame>
#include <QPointer>
#include <memory>
#include <string>
#include <vector>

#include "core/plugins/PluginList.h"
#include "foundation/ConfigDoc.h"

class QWidget;

namespace kelvar {

class IConfigNodes;
using IConfigNodesPtr = std::shared_ptr<IConfigNodes>;

// The order of the operations is fixed: plug-in modules implement this class.
class IConfigNode : public virtual IInterface {
public:
    virtual std::string GetCaption() = 0;
    virtual IConfigNodesPtr GetChildren() = 0;
    virtual bool GetFlag() = 0;
    virtual IConfigDocPtr GetConfigDoc() = 0;
    virtual void SetConfigDoc(const IConfigDocPtr& Doc) = 0;
    // The page widget; it stays owned by the node (the dialog only borrows it).
    virtual QWidget* GetFrame() = 0;
    virtual bool CanLeave() = 0;
    virtual void BeginEdit() = 0;
    virtual void EndEdit() = 0;
    virtual void Load() = 0;
    virtual void Save() = 0;
};
using IConfigNodePtr = std::shared_ptr<IConfigNode>;

class IConfigNodes : public virtual IInterface {
public:
    virtual int Count() = 0;
    // Null outside the list.
    virtual IConfigNodePtr Get(int Index) = 0;
    virtual int Add(const IConfigNodePtr& Node) = 0;
    virtual void Remove(const IConfigNodePtr& Node) = 0;
};

class IConfig : public virtual IInterface {
public:
    virtual IConfigNodesPtr GetNodes() = 0;
    // Runs the whole edit on the root document; true when confirmed with OK.
    virtual bool Execute(const IConfigDocPtr& Doc) = 0;
};
using IConfigPtr = std::shared_ptr<IConfig>;

class TConfigNodes : public IConfigNodes {
public:
    int Count() override { return static_cast<int>(FItems.size()); }
    IConfigNodePtr Get(int Index) override;
    int Add(const IConfigNodePtr& Node) override;
    void Remove(const IConfigNodePtr& Node) override;

private:
    std::vector<IConfigNodePtr> FItems;
};

class TConfigNode : public IConfigNode {
public:
    IConfigNodesPtr GetChildren() override { return FChildren; }
    bool GetFlag() override { return false; }
    IConfigDocPtr GetConfigDoc() override { return FConfigDoc; }
    void SetConfigDoc(const IConfigDocPtr& Doc) override { FConfigDoc = Doc; }
    void BeginEdit() override {}
    void EndEdit() override {}
    void Load() override {}
    void Save() override {}

protected:
    IConfigNodesPtr FChildren = std::make_shared<TConfigNodes>();
    IConfigDocPtr FConfigDoc;
};

// Visits Node and then its children, depth first, in list order.
template <class F>
void ForEachConfigNode(IConfigNodes& Nodes, F&& Visit) {
    for (int i = 0; i < Nodes.Count(); ++i) {
        IConfigNodePtr node = Nodes.Get(i);
        if (!node) continue;
        Visit(*node);
        if (IConfigNodesPtr children = node->GetChildren()) ForEachConfigNode(*children, Visit);
    }
}

class TConfig : public IConfig {
public:
    IConfigNodesPtr GetNodes() override { return FNodes; }
    bool Execute(const IConfigDocPtr& Doc) override;

protected:
    virtual bool Run(const IConfigDocPtr& Doc) = 0;

    IConfigNodesPtr FNodes = std::make_shared<TConfigNodes>();
};

// The base of the built-in page frames; each finds its own sections in the root document.
class TfrmBaseConfig : public QFrame {
public:
    explicit TfrmBaseConfig(QWidget* Parent = nullptr);

    virtual void LoadFrom(IConfigDoc& Doc);
    virtual void SaveTo(IConfigDoc& Doc);
    virtual void Init();
    virtual void Done();
};

// A built-in page: its frame is made when first shown, loaded then, and saved and freed in
// EndEdit.
class TBaseConfigNode : public TConfigNode {
public:
    ~TBaseConfigNode() override;

    std::string GetCaption() override { return FCaption; }
    bool GetFlag() override { return FFlag; }
    QWidget* GetFrame() override;
    bool CanLeave() override { return true; }
    void BeginEdit() override;
    void EndEdit() override;
    void Load() override;
    void Save() override;

    // The frame while it exists (tests).
    TfrmBaseConfig* Frame() const { return FFrame; }

protected:
    virtual TfrmBaseConfig* CreateFrame() = 0;

    std::string FCaption = "No caption specified!";
    bool FFlag = false;

private:
    void FreeFrame();

    QPointer<TfrmBaseConfig> FFrame;
};

// The common plug-in record of a built-in page: Make answers a new node of the page.
template <class TNode>
void CreateConfigNodeInstance(IInterfacePtr* Instance, const char*) {
    *Instance = std::make_shared<TNode>();
}

}  // namespace kelvar
