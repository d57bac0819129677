#include "audio/outputs/KSDriver.h"

#include <alsa/asoundlib.h>
#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/Logger.h"
#include "foundation/ThreadName.h"
#include "platform/alsa/AlsaPcm.h"

namespace kelvar {

const TGuid KSCATEGORY_AUDIO = {0x6994AD04, 0x93EF, 0x11D0, {0xA3, 0xCC, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
const TGuid KSCATEGORY_RENDER = {0x65E8773E, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
const TGuid KSCATEGORY_CAPTURE = {0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

namespace {

struct TFilterObj {
    std::string Path;
    std::string Name;
    bool Capture = false;
};

struct TFilterList {
    std::vector<std::unique_ptr<TFilterObj>> Filters;
};

// An open hw stream with a thread of its own that plays (or fills) the queued packets in
// order and sets each packet's event when done.
class TPinObj {
public:
    TPinObj(bool Capture) : FCapture(Capture) {}
    ~TPinObj() { Close(); }

    bool Open(const std::string& Path, const TWaveFormatExtensible& Format) {
        std::string reason;
        // Small device buffer: the queued packets are the latency.
        const int period = std::max<int>(64, static_cast<int>(Format.Format.SamplesPerSec / 200));
        if (!FPcm.Open(Path, FCapture, Format.Format, period, 4, true, reason)) {
            LogMessage("KS pin: " + reason, "AUDIO", LogKind::Error);
            return false;
        }
        snd_pcm_nonblock(FPcm.Handle(), 0);
        FThread = std::thread([this] { Loop(); });
        return true;
    }

    void Close() {
        {
            std::lock_guard<std::mutex> guard(FLock);
            FClosing = true;
        }
        FWake.notify_all();
        if (FThread.joinable()) FThread.join();
        FPcm.Close();
    }

    int32_t Queue(TKSStreamHeader& Header, TKSOverlapped& Overlapped) {
        std::lock_guard<std::mutex> guard(FLock);
        if (FCount == FQueue.size()) return E_FAIL;
        FQueue[(FHead + FCount) % FQueue.size()] = {&Header, &Overlapped};
        ++FCount;
        FWake.notify_all();
        return S_OK;
    }

    int32_t SetState(int32_t State) {
        std::unique_lock<std::mutex> lock(FLock);
        if (State == KSState::Stop) {
            // Dropping the stream cuts short a transfer in progress; every queued request is
            // completed at once (a capture one with nothing in it) and signalled, and the stop
            // waits for the one in transfer, so that afterwards the pin holds no request and
            // each can be queued again.
            FPcm.Drop();
            while (FCount > 0) {
                const TRequest request = FQueue[FHead];
                FHead = (FHead + 1) % FQueue.size();
                --FCount;
                if (FCapture) request.Header->DataUsed = 0;
                request.Overlapped->Signal();
            }
            FHead = 0;
            FIdle.wait(lock, [this] { return !FInTransfer; });
            FPcm.Prepare();
        } else if (State == KSState::Pause && FState == KSState::Run) {
            if (FPcm.CanPause()) FPcm.Pause(true);
        } else if (State == KSState::Run && FPcm.State() == SND_PCM_STATE_PAUSED) {
            FPcm.Pause(false);
        }
        FState = State;
        FWake.notify_all();
        return S_OK;
    }

private:
    struct TRequest {
        TKSStreamHeader* Header = nullptr;
        TKSOverlapped* Overlapped = nullptr;
    };

    void Loop() {
        SetCurrentThreadName("kelvar-ks-pin");
        RaiseThreadPriority("KS pin");
        std::unique_lock<std::mutex> lock(FLock);
        for (;;) {
            FWake.wait(lock, [this] { return FClosing || (FState == KSState::Run && FCount > 0); });
            if (FClosing) return;
            const TRequest request = FQueue[FHead];
            FHead = (FHead + 1) % FQueue.size();
            --FCount;
            FInTransfer = true;
            lock.unlock();
            Transfer(*request.Header);
            request.Overlapped->Signal();
            lock.lock();
            FInTransfer = false;
            FIdle.notify_all();
        }
    }

    void Transfer(TKSStreamHeader& Header) {
        const int frameBytes = FPcm.FrameBytes();
        if (frameBytes <= 0 || Header.Data == nullptr) return;
        if (FCapture) {
            if (FPcm.State() == SND_PCM_STATE_PREPARED) FPcm.Start();
            // A period at a time: a packet may be longer than the device's own buffer.
            auto* data = static_cast<uint8_t*>(Header.Data);
            const long frames = Header.FrameExtent / frameBytes;
            const long period = std::max(FPcm.PeriodFrames(), 1);
            long done = 0;
            while (done < frames) {
                const long n = FPcm.Read(data + done * frameBytes, std::min(period, frames - done));
                if (n <= 0) break;
                done += n;
            }
            Header.DataUsed = static_cast<uint32_t>(done * frameBytes);
            return;
        }
        const long n = FPcm.Write(Header.Data, Header.DataUsed / frameBytes);
        // A stop drops the stream under a write (bad state): not a device error.
        if (n < 0 && n != -EBADFD)
            LogMessage("KS pin: " + platform::TAlsaPcm::ErrorText(static_cast<int>(n)), "AUDIO", LogKind::Error);
        if (FPcm.State() == SND_PCM_STATE_PREPARED) FPcm.Start();
    }

    const bool FCapture;
    platform::TAlsaPcm FPcm;
    std::mutex FLock;
    std::condition_variable FWake;
    std::condition_variable FIdle;  // a transfer has ended
    std::array<TRequest, 64> FQueue{};
    size_t FHead = 0;
    size_t FCount = 0;
    int32_t FState = KSState::Stop;
    bool FClosing = false;
    bool FInTransfer = false;
    std::thread FThread;
};

template <class T>
T* FromHandle(TKSHandle Handle) {
    return reinterpret_cast<T*>(Handle);
}

template <class T>
TKSHandle ToHandle(T* Object) {
    return reinterpret_cast<TKSHandle>(Object);
}

// Copies Text into a buffer of Length bytes, always zero-terminated; Length becomes the
// text's length.
void CopyInfo(const std::string& Text, char* Buffer, uint32_t& Length) {
    if (Buffer == nullptr || Length == 0) {
        Length = 0;
        return;
    }
    const size_t n = std::min<size_t>(Text.size(), Length - 1);
    std::memcpy(Buffer, Text.data(), n);
    Buffer[n] = '\0';
    Length = static_cast<uint32_t>(n);
}

class TAlsaKSDriver : public IKSDriver {
public:
    int32_t Filters_Create(TKSHandle& List) override {
        List = ToHandle(new TFilterList());
        return S_OK;
    }
    void Filters_Destroy(TKSHandle& List) override {
        delete FromHandle<TFilterList>(List);
        List = 0;
    }
    int32_t Filters_Count(TKSHandle List) override {
        auto* list = FromHandle<TFilterList>(List);
        return list ? static_cast<int32_t>(list->Filters.size()) : 0;
    }
    bool Filters_GetNextAudRenFilter(TKSHandle List, int32_t& Position, TKSHandle& Filter) override {
        Filter = 0;
        auto* list = FromHandle<TFilterList>(List);
        if (!list || Position < 0 || Position >= static_cast<int32_t>(list->Filters.size())) return false;
        Filter = ToHandle(list->Filters[static_cast<size_t>(Position)].get());
        ++Position;
        return true;
    }
    int32_t Filters_Enumerate(TKSHandle List, int32_t, const TGuid* Categories, int32_t CategoryCount, int32_t, int32_t,
                              int32_t) override {
        auto* list = FromHandle<TFilterList>(List);
        if (!list || !Categories || CategoryCount < 1) return E_INVALIDARG;
        bool capture = false;
        for (int32_t i = 0; i < CategoryCount; ++i) {
            if (Categories[i] == KSCATEGORY_CAPTURE) capture = true;
        }
        std::vector<std::string> names, paths;
        platform::TAlsaPcm::ListHwDevices(capture, names, paths);
        list->Filters.clear();
        for (size_t i = 0; i < names.size(); ++i) {
            auto filter = std::make_unique<TFilterObj>();
            filter->Name = names[i];
            filter->Path = paths[i];
            filter->Capture = capture;
            list->Filters.push_back(std::move(filter));
        }
        return S_OK;
    }
    void Filter_Destroy(TKSHandle& Filter) override {
        auto* filter = FromHandle<TFilterObj>(Filter);
        // Filters of a list belong to the list.
        if (filter && !IsListed(filter)) delete filter;
        Filter = 0;
    }
    int32_t Filter_GetInfo(TKSHandle Filter, char* Path, uint32_t& PathLength, char* Name,
                           uint32_t& NameLength) override {
        auto* filter = FromHandle<TFilterObj>(Filter);
        if (!filter) return E_POINTER;
        CopyInfo(filter->Path, Path, PathLength);
        CopyInfo(filter->Name, Name, NameLength);
        return S_OK;
    }
    int32_t Filter_Instantiate(TKSHandle Filter) override { return Filter ? S_OK : E_POINTER; }
    int32_t Filter_EnumerateNodes(TKSHandle Filter) override { return Filter ? S_OK : E_POINTER; }
    int32_t Filter_EnumeratePins(TKSHandle Filter) override { return Filter ? S_OK : E_POINTER; }
    int32_t FilterRender_Create(TKSHandle& Filter, const char* Path) override {
        return CreateFilter(Filter, Path, false);
    }
    int32_t FilterCapture_Create(TKSHandle& Filter, const char* Path) override {
        return CreateFilter(Filter, Path, true);
    }
    int32_t FilterRender_CreatePin(TKSHandle Filter, TWaveFormatExtensible Format, TKSHandle& Pin) override {
        return CreatePin(Filter, Format, Pin, false);
    }
    int32_t FilterCapture_CreatePin(TKSHandle Filter, TWaveFormatExtensible Format, TKSHandle& Pin) override {
        return CreatePin(Filter, Format, Pin, true);
    }
    int32_t Pin_WriteData(TKSHandle Pin, TKSStreamHeader& Header, TKSOverlapped& Overlapped) override {
        auto* pin = FromHandle<TPinObj>(Pin);
        return pin ? pin->Queue(Header, Overlapped) : E_POINTER;
    }
    int32_t Pin_ReadData(TKSHandle Pin, TKSStreamHeader& Header, TKSOverlapped& Overlapped) override {
        auto* pin = FromHandle<TPinObj>(Pin);
        return pin ? pin->Queue(Header, Overlapped) : E_POINTER;
    }
    int32_t Pin_SetState(TKSHandle Pin, int32_t State) override {
        auto* pin = FromHandle<TPinObj>(Pin);
        return pin ? pin->SetState(State) : E_POINTER;
    }
    void Pin_ClosePin(TKSHandle Pin) override { delete FromHandle<TPinObj>(Pin); }

private:
    int32_t CreateFilter(TKSHandle& Filter, const char* Path, bool Capture) {
        Filter = 0;
        if (Path == nullptr || *Path == '\0') return E_INVALIDARG;
        auto* filter = new TFilterObj();
        filter->Path = Path;
        filter->Name = Path;
        filter->Capture = Capture;
        std::lock_guard<std::mutex> guard(FLock);
        FOwned.push_back(filter);
        Filter = ToHandle(filter);
        return S_OK;
    }
    bool IsListed(TFilterObj* Filter) {
        std::lock_guard<std::mutex> guard(FLock);
        auto it = std::find(FOwned.begin(), FOwned.end(), Filter);
        if (it == FOwned.end()) return true;
        FOwned.erase(it);
        return false;
    }
    int32_t CreatePin(TKSHandle Filter, const TWaveFormatExtensible& Format, TKSHandle& Pin, bool Capture) {
        Pin = 0;
        auto* filter = FromHandle<TFilterObj>(Filter);
        if (!filter) return E_POINTER;
        auto pin = std::make_unique<TPinObj>(Capture);
        if (!pin->Open(filter->Path, Format)) return E_FAIL;
        Pin = ToHandle(pin.release());
        return S_OK;
    }

    std::mutex FLock;
    std::vector<TFilterObj*> FOwned;  // filters made by the Create operations
};

}  // namespace

IKSDriverPtr CreateAlsaKSDriver() { return std::make_shared<TAlsaKSDriver>(); }

}  // namespace kelvar
