#include "audio/nodes/Node_WinampDSPList.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "audio/graph/Buffer_imp.h"
#include "foundation/Logger.h"

namespace kelvar {

using TGuard = std::lock_guard<std::recursive_mutex>;

namespace {
bool SamePath(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}
}  // namespace

TNode_WinampDSPList::TNode_WinampDSPList(TWinampDSPListPtr Installed)
    : FInstalled(Installed ? std::move(Installed) : GetWinampDSPList()) {}

TNode_WinampDSPList::~TNode_WinampDSPList() {
    TGuard guard(FLock);
    // The plug-ins outlive the chain: they must not point back at it.
    for (auto& plugin : FChain)
        if (plugin->GetOwner() == this) {
            plugin->SetOwner(nullptr);
            plugin->SetInUse(false);
        }
    FChain.clear();
}

int TNode_WinampDSPList::Process(void* Buffer, int Length, TStreamTime&, IChunkPtr& Chunk) {
    if (!Buffer || Length <= 0) return 0;
    const int bits = FFormat.BitsPerSample, channels = FFormat.Channels;
    const int frameSize = bits / 8 * channels;
    if (frameSize <= 0) return 0;
    int frames = Length / frameSize;
    if (FChain.empty()) return frames * frameSize;

    // Each plug-in may give back up to twice the frames it got, so before every call the work
    // chunk holds at least twice the current frames; a count beyond that is cut to it.
    const auto ensure = [&](int64_t bytes, int keep) {
        if (FWork && FWork.use_count() == 1 && FWork->GetCapacity() >= bytes) return;
        auto bigger = std::make_shared<TChunk>(static_cast<int>(std::max<int64_t>(bytes, 2LL * Length)));
        if (keep > 0) std::memcpy(bigger->GetData(), FWork->GetData(), static_cast<size_t>(keep));
        FWork = std::move(bigger);
    };
    ensure(2LL * frames * frameSize, 0);
    std::memcpy(FWork->GetData(), Buffer, static_cast<size_t>(frames) * frameSize);
    for (auto& plugin : FChain) {
        if (frames <= 0) break;
        if (!plugin->IsActive()) continue;
        ensure(2LL * frames * frameSize, frames * frameSize);
        const int result = plugin->ModifySamples(reinterpret_cast<int16_t*>(FWork->GetData()), frames, bits, channels,
                                                 static_cast<int>(FFormat.SamplesPerSec));
        frames = std::clamp(result, 0, FWork->GetCapacity() / frameSize);
    }
    FWork->SetSize(frames * frameSize);
    Chunk = FWork;
    return 0;
}

std::string TNode_WinampDSPList::GetName() const { return "WinampDSP"; }

bool TNode_WinampDSPList::Start() {
    for (auto& plugin : FChain) plugin->Activate(plugin->GetModuleIndex());
    return true;
}

void TNode_WinampDSPList::Stop() {
    for (auto& plugin : FChain) plugin->Deactivate();
}

void TNode_WinampDSPList::AddDSP(const TWinampDSPPtr& Plugin) {
    if (!Plugin) return;
    TGuard guard(FLock);
    Plugin->SetInUse(true);
    Plugin->SetOwner(this);
    if (!Plugin->IsActive()) Plugin->Activate(Plugin->GetModuleIndex());
    if (std::find(FChain.begin(), FChain.end(), Plugin) == FChain.end()) FChain.push_back(Plugin);
}

void TNode_WinampDSPList::RemoveDSP(const TWinampDSPPtr& Plugin) {
    if (!Plugin) return;
    TGuard guard(FLock);
    Plugin->SetOwner(nullptr);
    Plugin->SetInUse(false);
    Plugin->Deactivate();
    FChain.erase(std::remove(FChain.begin(), FChain.end(), Plugin), FChain.end());
}

TWinampDSPPtr TNode_WinampDSPList::FindDSP(const std::string& Path) {
    TGuard guard(FLock);
    for (auto& plugin : FChain)
        if (SamePath(plugin->GetFileName(), Path)) return plugin;
    return nullptr;
}

void TNode_WinampDSPList::Sort() {
    TGuard guard(FLock);
    const size_t n = FChain.size();
    for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j < n; ++j)
            if (FChain[i]->SortID < FChain[j]->SortID) std::swap(FChain[i], FChain[j]);
}

std::vector<TWinampDSPPtr> TNode_WinampDSPList::GetChain() {
    TGuard guard(FLock);
    return FChain;
}

void TNode_WinampDSPList::LoadConfig(IConfigDoc& Section) {
    const int64_t count = Section.ReadInteger("Count", 0);
    // The count is only a claim: the chain ends at the first entry the section does not hold.
    const std::string missing("\x01");
    for (int64_t n = 1; n <= count; ++n) {
        const std::string path = Section.ReadString("DSP_Filename" + std::to_string(n), missing);
        if (path == missing) {
            LogMessage(
                "Winamp DSP chain: Count " + std::to_string(count) + ", " + std::to_string(n - 1) + " entries found",
                "DSP", LogKind::Error);
            break;
        }
        const int64_t module = Section.ReadInteger("DSP_ModNo" + std::to_string(n), 0);
        if (path.empty()) continue;
        TWinampDSPPtr plugin = FInstalled->FindByFile(path);
        if (!plugin) continue;  // no longer installed
        plugin->SetModuleIndex(static_cast<int>(std::clamp<int64_t>(module, 0, INT32_MAX)));
        AddDSP(plugin);
    }
    Sort();
}

void TNode_WinampDSPList::SaveConfig(IConfigDoc& Section) {
    int n = 0;
    for (auto& plugin : FChain) {
        if (!plugin->IsActive()) continue;
        ++n;
        Section.WriteString("DSP_Filename" + std::to_string(n), plugin->GetFileName());
        Section.WriteInteger("DSP_ModNo" + std::to_string(n), plugin->GetModuleIndex());
        Section.WriteString("DSP_Description" + std::to_string(n), plugin->GetDescription());
    }
    Section.WriteInteger("Count", n);
}

}  // namespace kelvar
