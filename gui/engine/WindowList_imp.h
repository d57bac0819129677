#pragma once
// The base of every dockable window item and the registry's list.
#include <QPointer>
#include <stdexcept>
#include <string>
#include <vector>

#include "foundation/Errors.h"
#include "gui/engine/WindowList.h"

namespace kelvar {

class EWindowItemError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Subclasses call the base Activate first and then create their frame; their Deactivate saves
// the state and frees the frame first and then calls the base.
class TWindowItem : public IWindowItem {
public:
    TWindowItem(std::string Name, std::string Caption, bool Sizeable);
    ~TWindowItem() override;
    TWindowItem(const TWindowItem&) = delete;
    TWindowItem& operator=(const TWindowItem&) = delete;

    bool IsActive() const override { return FActive; }
    bool GetSizeable() const override { return FSizeable; }
    void GetCaption(std::string& Caption) const override { Caption = FCaption; }
    void GetName(std::string& Name) const override { Name = FName; }
    TfoMDIForm* GetHost() const override;
    void SetHost(TfoMDIForm* Host) override;
    bool GetVisible() const override { return FVisible; }
    void SetVisible(bool Value) override { FVisible = Value; }
    void Activate() override;
    void Refresh() override {}
    void Deactivate() override;
    QWidget* GetFrame() override = 0;

private:
    std::string FName;
    std::string FCaption;
    bool FSizeable = false;
    bool FActive = false;
    bool FVisible = false;
    // Not owned. A host form has one owner, its Qt parent (the main window's client area): the
    // main window creates it, hands it to the item and frees it (ReleaseLater) when it takes it
    // back. The item only refers to it, and sees it go when the client area goes first.
    QPointer<TfoMDIForm> FHost;
};

class TWindowList : public IWindowList {
public:
    TWindowList() = default;
    ~TWindowList() override;
    int Count() const override { return static_cast<int>(FItems.size()); }
    void Get(int Index, IWindowItemPtr& Item) const override;
    void Add(IWindowItemPtr Item) override;
    void Remove(const IWindowItemPtr& Item) override;
    void Clear() override;

private:
    std::vector<IWindowItemPtr> FItems;
};

}  // namespace kelvar
