#include "core/plugins/PluginList_imp.h"

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>

#include "core/plugins/DSPFilter.h"
#include "foundation/FileFind.h"
#include "foundation/Logger.h"
#include "foundation/MiscFunc.h"

namespace kelvar {

// One loaded module file; unloaded when the last plug-in object or instance lets go of it.
class TPluginModule {
public:
    TPluginModule(void* Handle, TPluginInfoFunc InfoFunction) : Handle(Handle), InfoFunction(InfoFunction) {}
    ~TPluginModule() {
        if (Handle) dlclose(Handle);
    }
    TPluginModule(const TPluginModule&) = delete;
    TPluginModule& operator=(const TPluginModule&) = delete;

    void* const Handle;
    const TPluginInfoFunc InfoFunction;
};

namespace {

const char* const LogSource = "CORE";

std::string FileNameOnly(const std::string& path) { return std::filesystem::path(path).filename().string(); }

std::string Text(const char* text) { return text ? std::string(text) : std::string(); }

std::string Base64NoPadding(const std::string& text) {
    static const char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    const auto byte = [&](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(text[k])); };
    for (; i + 3 <= text.size(); i += 3) {
        const uint32_t v = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
        out += Alphabet[v >> 18 & 63];
        out += Alphabet[v >> 12 & 63];
        out += Alphabet[v >> 6 & 63];
        out += Alphabet[v & 63];
    }
    const size_t rest = text.size() - i;
    if (rest == 1) {
        const uint32_t v = byte(i) << 16;
        out += Alphabet[v >> 18 & 63];
        out += Alphabet[v >> 12 & 63];
    } else if (rest == 2) {
        const uint32_t v = byte(i) << 16 | byte(i + 1) << 8;
        out += Alphabet[v >> 18 & 63];
        out += Alphabet[v >> 12 & 63];
        out += Alphabet[v >> 6 & 63];
    }
    return out;
}

// The record of an information function; null when it answers none or throws.
TPluginInfo* CallInfoFunction(TPluginInfoFunc function) {
    if (!function) return nullptr;
    try {
        return function();
    } catch (const std::exception& e) {
        LogMessage(std::string("Plugin: information function failed (") + e.what() + ")", LogSource, LogKind::Error);
    } catch (...) {
        LogMessage("Plugin: information function failed", LogSource, LogKind::Error);
    }
    return nullptr;
}

IInterfacePtr CallCreateInstance(const TPluginInfo* info, const char* param) {
    IInterfacePtr instance;
    if (info && info->CreateInstance) info->CreateInstance(&instance, param);
    return instance;
}

// The instance's code lives in the module, so the instance holds the module mapped.
IInterfacePtr KeepModule(IInterfacePtr instance, std::shared_ptr<TPluginModule> module) {
    if (!instance || !module) return instance;
    struct THold {
        std::shared_ptr<TPluginModule> Module;  // released after the instance
        IInterfacePtr Instance;
    };
    auto hold = std::make_shared<THold>(THold{std::move(module), std::move(instance)});
    return IInterfacePtr(hold, hold->Instance.get());
}

// Packages by file: a module that is still mapped is not constructed again by a second load,
// so the information function it stored the first time is kept with it.
std::mutex PackagesLock;
std::map<std::string, std::weak_ptr<TPluginModule>>& Packages() {
    static std::map<std::string, std::weak_ptr<TPluginModule>> packages;
    return packages;
}

std::string PackageKey(const std::string& fileName) {
    std::error_code ec;
    const auto path = std::filesystem::weakly_canonical(fileName, ec);
    return ec ? fileName : path.string();
}

}  // namespace

// TCustomPlugin

void TCustomPlugin::ReadInfo() {
    if (!Info) return;
    Name = Text(Info->Name);
    Description = Text(Info->Description);
    GUID = Text(Info->GUID);
    Version = Info->Version;
    MustReadInfo = false;
}

void TCustomPlugin::LoadConfig(IConfigDoc& Node) {
    MustReadInfo = Node.ReadBool("MustReadInfo", MustReadInfo);
    Name = Node.ReadString("Name", Name);
    Description = Node.ReadString("Description", Description);
    GUID = Node.ReadString("GUID", GUID);
    Version = static_cast<uint16_t>(std::clamp<int64_t>(Node.ReadInteger("Version", Version), 0, 0xFFFF));
    Priority = static_cast<uint8_t>(std::clamp<int64_t>(Node.ReadInteger("Priority", Priority), 0, 255));
}

void TCustomPlugin::SaveConfig(IConfigDoc& Node) {
    Node.WriteBool("MustReadInfo", MustReadInfo);
    Node.WriteString("Name", Name);
    Node.WriteString("Description", Description);
    Node.WriteString("GUID", GUID);
    Node.WriteInteger("Version", Version);
    Node.WriteInteger("Priority", Priority);
}

// TBasePlugin

TBasePlugin::TBasePlugin(TPluginInfoFunc InfoFunction) : FInfoFunction(InfoFunction) {
    Info = CallInfoFunction(FInfoFunction);
    if (!Info) throw EPluginError("Plugin: Invalid plugin record in (built-in)");
    ReadInfo();
    ID = Base64NoPadding(GUID);
}

void TBasePlugin::LoadConfig(IConfigDoc& Node) {
    TCustomPlugin::LoadConfig(Node);
    ReadInfo();
}

IInterfacePtr TBasePlugin::CreateInstance() { return CallCreateInstance(Info, nullptr); }

// Plug-in files

std::string PluginFileID(const std::string& FileName) {
    std::string name = FileNameOnly(FileName);
    const size_t underscore = name.find('_');
    if (underscore != std::string::npos) name.erase(0, underscore + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

TDLLPlugin::TDLLPlugin(const std::string& FileName) : FFileName(FileName) { ID = PluginFileID(FileName); }

TDLLPlugin::~TDLLPlugin() { Unload(); }

void TDLLPlugin::Load() {
    const std::string name = FileNameOnly(FFileName);
    if (FModule) throw EPluginError("Plugin: DLL already open (" + name + ")");
    void* handle = dlopen(FFileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        // The loader's reason is what the operator needs to fix it.
        const char* why = dlerror();
        LogMessage("Plugin: Unable to load " + name + ": " + Text(why), LogSource, LogKind::Error);
        throw EPluginError("Plugin: Unable to load " + name);
    }
    auto function = reinterpret_cast<TPluginInfoFunc>(dlsym(handle, "GetPluginInfo"));
    auto module = std::make_shared<TPluginModule>(handle, function);
    if (!function) throw EPluginError("Plugin: Unable to find plugin info procedure in " + name);
    TPluginInfo* info = CallInfoFunction(function);
    if (!info) throw EPluginError("Plugin: Invalid plugin record in " + name);
    FModule = std::move(module);
    Info = info;
    ReadInfo();
}

void TDLLPlugin::Unload() {
    Info = nullptr;
    FModule.reset();
}

void TDLLPlugin::LoadConfig(IConfigDoc& Node) {
    TCustomPlugin::LoadConfig(Node);
    if (!MustReadInfo) return;
    // A configuration that asks again while the module is loaded reads the loaded record.
    if (IsLoaded())
        ReadInfo();
    else
        Load();
}

IInterfacePtr TDLLPlugin::CreateInstance() {
    if (!Info) Load();
    return KeepModule(CallCreateInstance(Info, nullptr), FModule);
}

TBPLPlugin::TBPLPlugin(const std::string& FileName) : FFileName(FileName) { ID = PluginFileID(FileName); }

TBPLPlugin::~TBPLPlugin() { Unload(); }

void TBPLPlugin::Load() {
    const std::string name = FileNameOnly(FFileName);
    if (FModule) throw EPluginError("Plugin: Package already open (" + name + ")");
    const std::string notFilled = "Plugin: PluginProc was not properly filled by (" + name + ")";
    std::shared_ptr<TPluginModule> module;
    {
        std::lock_guard<std::mutex> guard(PackagesLock);
        const std::string key = PackageKey(FFileName);
        module = Packages()[key].lock();
        if (!module) {
            PluginProc = nullptr;
            void* handle = dlopen(FFileName.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!handle) {
                const char* why = dlerror();
                LogMessage("Plugin: Unable to load package (" + name + "): " + Text(why), LogSource, LogKind::Error);
                Packages().erase(key);
                throw EPluginError("Plugin: Unable to load package (" + name + ")");
            }
            module = std::make_shared<TPluginModule>(handle, PluginProc);
            PluginProc = nullptr;
            Packages()[key] = module;
        }
    }
    TPluginInfo* info = CallInfoFunction(module->InfoFunction);
    if (!info) throw EPluginError(notFilled);
    FModule = std::move(module);
    Info = info;
    ReadInfo();
}

void TBPLPlugin::Unload() {
    Info = nullptr;
    FModule.reset();
}

IInterfacePtr TBPLPlugin::CreateInstance() {
    if (!Info) Load();
    return KeepModule(CallCreateInstance(Info, nullptr), FModule);
}

// TPluginList

TPluginList::TPluginList(const std::string& Folder, const std::string& Pattern)
    : FFolder(Folder.empty() ? ProgramFolder() : Folder), FPattern(Pattern) {
    if (!FFolder.empty() && FFolder.back() != '/') FFolder += '/';
}

int TPluginList::Count() { return static_cast<int>(FItems.size()); }

IPluginPtr TPluginList::Get(int Index) {
    if (Index < 0 || Index >= Count()) throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FItems[Index];
}

void TPluginList::Add(const IPluginPtr& Plugin) { FItems.push_back(Plugin); }

void TPluginList::Remove(const IPluginPtr& Plugin) {
    auto it = std::find(FItems.begin(), FItems.end(), Plugin);
    if (it != FItems.end()) FItems.erase(it);
}

IPluginPtr TPluginList::FindByGUID(const std::string& GUID) {
    for (const auto& plugin : FItems)
        if (plugin->GetGUID() == GUID) return plugin;
    return nullptr;
}

void TPluginList::Scan() {
    const auto files = [this](const std::string& extension) {
        std::vector<std::string> found;
        FindFiles(found, FPattern + extension, FFolder, false);
        std::vector<std::string> regular;
        for (const auto& file : found) {
            std::error_code ec;
            if (std::filesystem::is_regular_file(file, ec)) regular.push_back(file);
        }
        return regular;
    };
    for (const auto& file : files(".so")) FItems.push_back(std::make_shared<TDLLPlugin>(file));
    for (const auto& file : files(".bpl")) FItems.push_back(std::make_shared<TBPLPlugin>(file));
}

void TPluginList::Unload() { FItems.clear(); }

void TPluginList::LoadConfig(IConfigDoc& Node) {
    for (const auto& plugin : std::vector<IPluginPtr>(FItems)) {
        try {
            plugin->LoadConfig(*Node.Section(plugin->GetID()));
        } catch (const std::exception& e) {
            LogMessage(std::string("Error loading Plugin: ") + e.what(), LogSource, LogKind::Error);
        }
    }
}

void TPluginList::SaveConfig(IConfigDoc& Node) {
    for (const auto& plugin : FItems) plugin->SaveConfig(*Node.Section(plugin->GetID()));
}

void TPluginList::Clear() { FItems.clear(); }

// TOnDemandInterface

TOnDemandInterface::TOnDemandInterface(IPluginPtr Plugin) : FPlugin(std::move(Plugin)) {}

IInterfacePtr TOnDemandInterface::GetInstance() {
    if (!FInstance && FPlugin) {
        FInstance = FPlugin->CreateInstance();
        ConfigureInstance();
    }
    return FInstance;
}

void TOnDemandInterface::ConfigureInstance() {
    auto configurable = std::dynamic_pointer_cast<IConfigurable>(FInstance);
    if (!configurable || !FNode) return;
    try {
        configurable->LoadConfig(*FNode);
    } catch (const std::exception& e) {
        LogMessage("Error loading plugin settings (" + FPlugin->GetName() + "): " + e.what(), LogSource,
                   LogKind::Error);
    }
}

void TOnDemandInterface::LoadConfig(const IConfigDocPtr& Node) {
    FNode = Node;
    if (!Node) return;
    FPriority = static_cast<uint8_t>(std::clamp<int64_t>(Node->ReadInteger("od_Priority", FPriority), 0, 255));
    FSelected = Node->ReadBool("od_Selected", FSelected);
    ConfigureInstance();
}

void TOnDemandInterface::SaveConfig(const IConfigDocPtr& Node) {
    if (!Node) return;
    Node->WriteInteger("od_Priority", FPriority);
    Node->WriteBool("od_Selected", FSelected);
    if (auto configurable = std::dynamic_pointer_cast<IConfigurable>(FInstance)) configurable->SaveConfig(*Node);
}

// TOnDemandList

int TOnDemandList::Count() { return static_cast<int>(FItems.size()); }

IOnDemandInterfacePtr TOnDemandList::Get(int Index) {
    if (Index < 0 || Index >= Count()) throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FItems[Index];
}

void TOnDemandList::AddPlugin(const IPluginPtr& Plugin) {
    FItems.push_back(std::make_shared<TOnDemandInterface>(Plugin));
}

void TOnDemandList::Add(const IOnDemandInterfacePtr& Item) { FItems.push_back(Item); }

void TOnDemandList::RemovePlugin(const IPluginPtr& Plugin) {
    auto it = std::find_if(FItems.begin(), FItems.end(), [&](const auto& item) { return item->GetPlugin() == Plugin; });
    if (it != FItems.end()) FItems.erase(it);
}

void TOnDemandList::Remove(const IOnDemandInterfacePtr& Item) {
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    if (it != FItems.end()) FItems.erase(it);
}

void TOnDemandList::LoadConfig(IConfigDoc& Node) {
    for (const auto& item : std::vector<IOnDemandInterfacePtr>(FItems)) {
        try {
            item->LoadConfig(Node.Section(item->GetPlugin()->GetID()));
        } catch (const std::exception& e) {
            LogMessage(std::string("Error loading plugin entry: ") + e.what(), LogSource, LogKind::Error);
        }
    }
    Sort();
}

void TOnDemandList::SaveConfig(IConfigDoc& Node) {
    for (const auto& item : FItems) item->SaveConfig(Node.Section(item->GetPlugin()->GetID()));
}

void TOnDemandList::Clear() { FItems.clear(); }

void TOnDemandList::Sort() {
    if (!FItems.empty()) QuickSort(0, Count() - 1);
}

// The order of equal priorities is part of the behaviour (it picks the default logic), so this
// is this exact quicksort, not std::sort.
void TOnDemandList::QuickSort(int L, int R) {
    const auto compare = [](const IOnDemandInterfacePtr& a, const IOnDemandInterfacePtr& b) {
        const int pa = a->GetPriority();
        const int pb = b->GetPriority();
        return pa == pb ? 0 : (pa > pb ? 1 : -1);
    };
    int I = 0;
    do {
        I = L;
        int J = R;
        const IOnDemandInterfacePtr pivot = FItems[(L + R) / 2];
        do {
            while (compare(FItems[I], pivot) < 0) ++I;
            while (compare(FItems[J], pivot) > 0) --J;
            if (I <= J) {
                std::swap(FItems[I], FItems[J]);
                ++I;
                --J;
            }
        } while (I <= J);
        if (L < J) QuickSort(L, J);
        L = I;
    } while (I < R);
}

}  // namespace kelvar
