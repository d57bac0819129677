#pragma once
// The window registry: every dockable window is an item that the main window shows, hides,
// places and lists only through this interface.
#include <memory>
#include <string>

class QWidget;

namespace kelvar {

class TfoMDIForm;

class IWindowItem {
public:
    virtual ~IWindowItem() = default;
    // True while the item's frame exists (between Activate and Deactivate).
    virtual bool IsActive() const = 0;
    // True when the operator may resize the window; a fixed window takes its frame's size.
    virtual bool GetSizeable() const = 0;
    virtual void GetCaption(std::string& Caption) const = 0;
    // Key of the window in layout documents.
    virtual void GetName(std::string& Name) const = 0;
    virtual TfoMDIForm* GetHost() const = 0;
    // The item refers to the host from then on; it does not own it (the host's Qt parent does,
    // and the main window frees it when it takes it back).
    virtual void SetHost(TfoMDIForm* Host) = 0;
    virtual bool GetVisible() const = 0;
    virtual void SetVisible(bool Value) = 0;
    // Creates the frame; raises when already active.
    virtual void Activate() = 0;
    virtual void Refresh() = 0;
    // Saves the frame's state and frees it; raises when not active.
    virtual void Deactivate() = 0;
    // Valid only while the item is active.
    virtual QWidget* GetFrame() = 0;
};
using IWindowItemPtr = std::shared_ptr<IWindowItem>;

class IWindowList {
public:
    virtual ~IWindowList() = default;
    virtual int Count() const = 0;
    // Raises EListError outside 0 .. Count - 1.
    virtual void Get(int Index, IWindowItemPtr& Item) const = 0;
    virtual void Add(IWindowItemPtr Item) = 0;
    // Deactivates an active item first.
    virtual void Remove(const IWindowItemPtr& Item) = 0;
    // Deactivates every active item in list order, then empties the list.
    virtual void Clear() = 0;
};
using IWindowListPtr = std::shared_ptr<IWindowList>;

}  // namespace kelvar
