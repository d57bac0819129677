#pragma once
// DSP-filter plug-ins: objects that process a block of PCM in place and load and save their
// settings, and their common base with its own lock.
#include <cstdint>
#include <mutex>

#include "core/plugins/PluginList.h"
#include "foundation/AudioFormat.h"
#include "foundation/ConfigDoc.h"

namespace kelvar {

class IFilter : public virtual IInterface {
public:
    // The plug-in's record; it lives as long as the filter.
    virtual TPluginInfo* GetInfo() = 0;
    virtual bool GetActive() = 0;
    // Closes first; answers whether the filter is active afterwards.
    virtual bool Open(const TFilterFormat& Format) = 0;
    virtual void Close() = 0;
    // Processes Bytes bytes at Buffer in place and answers the new byte count, never more than
    // Bytes. A filter may point Buffer at data of its own that stays valid until its next call.
    virtual int32_t Process(void*& Buffer, int32_t Bytes) = 0;
};
using IFilterPtr = std::shared_ptr<IFilter>;

// The same operations under the name DSP hosts ask for.
class IDSPFilter : public virtual IFilter {};
using IDSPFilterPtr = std::shared_ptr<IDSPFilter>;

class IConfigurable : public virtual IInterface {
public:
    virtual void LoadConfig(IConfigDoc& Section) = 0;
    virtual void SaveConfig(IConfigDoc& Section) = 0;
};
using IConfigurablePtr = std::shared_ptr<IConfigurable>;

// Every operation holds the filter's lock, so a configuration change and a processing call never
// overlap on one filter.
class TDSPFilter : public IDSPFilter, public IConfigurable {
public:
    ~TDSPFilter() override;

    TPluginInfo* GetInfo() override;
    bool GetActive() override;
    bool Open(const TFilterFormat& Format) override;
    // Inactive afterwards, also when DoClose raises.
    void Close() override;
    // DoProcess whether active or not.
    int32_t Process(void*& Buffer, int32_t Bytes) override;
    void LoadConfig(IConfigDoc& Section) override;
    void SaveConfig(IConfigDoc& Section) override;

    TFilterFormat GetFormat();

protected:
    virtual TPluginInfo* DoGetInfo() = 0;
    virtual bool DoOpen(const TFilterFormat& Format);
    virtual void DoClose();
    virtual int32_t DoProcess(void*& Buffer, int32_t Bytes);
    virtual void DoLoadConfig(IConfigDoc& Section);
    virtual void DoSaveConfig(IConfigDoc& Section);

    std::recursive_mutex FLock;
    bool FActive = false;
    TFilterFormat FFormat;
};

}  // namespace kelvar
