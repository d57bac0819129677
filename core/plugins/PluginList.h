#pragma once
// Plug-ins: the information record every plug-in module answers, the interface that wraps each
// kind of module (shared object, package, built in), and the plug-in lists.
//
// A plug-in module is a shared object built with the same compiler as the program. A plain module
// exports
//     extern "C" kelvar::TPluginInfo* GetPluginInfo();
// A package module fills the program's `PluginProc` from a constructor of its own while it loads
// (the program must export its symbols, -rdynamic):
//     extern "C" kelvar::TPluginInfoFunc PluginProc __attribute__((weak));
//     __attribute__((constructor)) static void Register() { if (&PluginProc) PluginProc = MyInfo; }
// The record and its texts stay owned by the module and must live as long as it is loaded.
#include <cstdint>
#include <memory>
#include <string>

#include "foundation/ConfigDoc.h"
#include "foundation/Errors.h"

namespace kelvar {

// Base of every object a plug-in creates and of the plug-in interfaces; what an object supports
// is asked with std::dynamic_pointer_cast.
class IInterface {
public:
    virtual ~IInterface() = default;
};
using IInterfacePtr = std::shared_ptr<IInterface>;

// Creates one instance into *Instance (left empty on failure). Param is null for ordinary
// plug-ins and the module file's path for wrapped Winamp DSP modules.
using TCreateInstanceProc = void (*)(IInterfacePtr* Instance, const char* Param);

struct TPluginInfo {
    const char* Name = nullptr;         // display name
    const char* Description = nullptr;  // may hold line breaks
    uint16_t Version = 0;               // bits 8-15 major, 4-7 minor, 0-3 release
    const char* GUID = nullptr;         // the plug-in's identity, "{...}"
    TCreateInstanceProc CreateInstance = nullptr;
};

// The module's information function; null means no valid record.
using TPluginInfoFunc = TPluginInfo* (*)();

// Loading, finding or creating a plug-in failed; the message names the file.
class EPluginError : public EKelvarError {
public:
    using EKelvarError::EKelvarError;
};

class IPlugin : public virtual IInterface {
public:
    virtual std::string GetDescription() = 0;
    virtual std::string GetGUID() = 0;
    virtual std::string GetName() = 0;
    virtual uint8_t GetPriority() = 0;
    virtual uint16_t GetVersion() = 0;
    // The name of the plug-in's configuration section.
    virtual std::string GetID() = 0;
    virtual void SaveConfig(IConfigDoc& Node) = 0;
    virtual void LoadConfig(IConfigDoc& Node) = 0;
    // A new instance (the same one for plug-ins that have only one); raises EPluginError when
    // the module can't be loaded.
    virtual IInterfacePtr CreateInstance() = 0;
};
using IPluginPtr = std::shared_ptr<IPlugin>;

class IPluginListConfig : public virtual IInterface {
public:
    virtual void SaveConfig(IConfigDoc& Node) = 0;
    virtual void LoadConfig(IConfigDoc& Node) = 0;
};

class IPluginList : public virtual IInterface {
public:
    virtual int Count() = 0;
    // Raises EListError outside the list.
    virtual IPluginPtr Get(int Index) = 0;
    virtual void Add(const IPluginPtr& Plugin) = 0;
    virtual void Remove(const IPluginPtr& Plugin) = 0;
    // The first plug-in whose GUID is exactly GUID (case-sensitive); null when none.
    virtual IPluginPtr FindByGUID(const std::string& GUID) = 0;
    // Appends the plug-in files of the list's folder and pattern; loads nothing.
    virtual void Scan() = 0;
    virtual void Unload() = 0;
    // Each plug-in on the sub-section named by its ID.
    virtual void LoadConfig(IConfigDoc& Node) = 0;
    virtual void SaveConfig(IConfigDoc& Node) = 0;
    virtual void Clear() = 0;
};
using IPluginListPtr = std::shared_ptr<IPluginList>;

// One entry of an on-demand list: a plug-in whose instance is created at first use.
class IOnDemandInterface : public virtual IInterface {
public:
    virtual IPluginPtr GetPlugin() = 0;
    virtual uint8_t GetPriority() = 0;
    virtual void SetPriority(uint8_t Value) = 0;
    virtual bool GetSelected() = 0;
    virtual void SetSelected(bool Value) = 0;
    // Created and configured at the first call, the same instance afterwards.
    virtual IInterfacePtr GetInstance() = 0;
    virtual bool IsCreated() = 0;
    // The entry keeps Node to configure an instance created later.
    virtual void LoadConfig(const IConfigDocPtr& Node) = 0;
    virtual void SaveConfig(const IConfigDocPtr& Node) = 0;
};
using IOnDemandInterfacePtr = std::shared_ptr<IOnDemandInterface>;

class IOnDemandList : public virtual IInterface {
public:
    virtual int Count() = 0;
    // Raises EListError outside the list.
    virtual IOnDemandInterfacePtr Get(int Index) = 0;
    virtual void AddPlugin(const IPluginPtr& Plugin) = 0;
    virtual void Add(const IOnDemandInterfacePtr& Item) = 0;
    virtual void RemovePlugin(const IPluginPtr& Plugin) = 0;
    virtual void Remove(const IOnDemandInterfacePtr& Item) = 0;
    // Each entry on the sub-section named by its plug-in's ID, then Sort.
    virtual void LoadConfig(IConfigDoc& Node) = 0;
    virtual void SaveConfig(IConfigDoc& Node) = 0;
    virtual void Clear() = 0;
    // Ascending priority; entries of equal priority change places in a fixed way.
    virtual void Sort() = 0;
};
using IOnDemandListPtr = std::shared_ptr<IOnDemandList>;

// The program's folder followed by "plugins/".
std::string PluginDir();

// "major.minor.release".
std::string PluginVersionToStr(uint16_t Version);

// Appends every plug-in of PluginList, in order, to OnDemandList.
void AddPluginsToList(IPluginList& PluginList, IOnDemandList& OnDemandList);

}  // namespace kelvar

// Cleared by the program before it loads a package; the package's constructor stores its
// information function here.
extern "C" kelvar::TPluginInfoFunc PluginProc;
