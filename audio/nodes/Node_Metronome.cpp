#include "audio/nodes/Node_Metronome.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "audio/graph/Buffer_imp.h"
#include "foundation/Logger.h"
#include "foundation/MainThread.h"
#include "foundation/MiscFunc.h"
#include "foundation/MixUtils.h"

namespace kelvar {
namespace {

uint32_t ReadLE32(const char* p) {
    return uint32_t(uint8_t(p[0])) | (uint32_t(uint8_t(p[1])) << 8) | (uint32_t(uint8_t(p[2])) << 16) |
           (uint32_t(uint8_t(p[3])) << 24);
}

enum class TClickRead { Loaded, Missing, Bad };

// The data of the first "data" chunk. The walk ends at the end of the file, so a file without
// one (or cut short inside the chunk list) can't keep it reading; odd-sized chunks are followed
// by a pad byte.
TClickRead ReadClickFile(const std::string& name, IChunkPtr& click, std::string& problem) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(name, ec)) return TClickRead::Missing;
    const uintmax_t fileSize = std::filesystem::file_size(name, ec);
    std::ifstream file(name, std::ios::binary);
    if (ec || !file) {
        problem = "can not be read";
        return TClickRead::Bad;
    }
    char header[12];
    if (!file.read(header, sizeof header) || std::memcmp(header, "RIFF", 4) != 0) {
        problem = "is not a RIFF file";
        return TClickRead::Bad;
    }
    uint64_t at = sizeof header;
    while (at + 8 <= fileSize) {
        char chunk[8];
        if (!file.read(chunk, sizeof chunk)) break;
        at += 8;
        const uint32_t size = ReadLE32(chunk + 4);
        if (std::memcmp(chunk, "data", 4) == 0) {
            const uint64_t bytes = std::min<uint64_t>(size, fileSize - at);
            auto data = std::make_shared<TChunk>(static_cast<int>(std::max<uint64_t>(bytes, 1)));
            file.read(reinterpret_cast<char*>(data->GetData()), static_cast<std::streamsize>(bytes));
            data->SetSize(static_cast<int>(file.gcount()));
            click = std::move(data);
            return TClickRead::Loaded;
        }
        at += size + (size & 1u);
        if (at > fileSize) break;
        file.seekg(static_cast<std::streamoff>(at));
    }
    problem = "has no \"data\" chunk";
    return TClickRead::Bad;
}

}  // namespace

TNode_Metronome::TNode_Metronome(std::string ClickFile)
    : FClickFile(ClickFile.empty() ? ProgramFolder() + "metronome.dta" : std::move(ClickFile)),
      FLoader(std::make_shared<TLoaderLink>()) {
    FLoader->Node = this;
}

TNode_Metronome::~TNode_Metronome() {
    std::lock_guard<std::mutex> guard(FLoader->Lock);
    FLoader->Node = nullptr;
    FEnabled = false;
}

int TNode_Metronome::Process(void* Buffer, int Length, TStreamTime&, IChunkPtr&) {
    if (!Buffer || Length <= 0) return 0;
    if (!FEnabled) return Length;
    if (!FClick) {
        RequestRetry(Length);
        return Length;
    }
    // The offset rarely ends on a block start: the first click then starts with the first block
    // after it, instead of being passed over part-way.
    if (FFirstPending && FPhase >= 0) {
        FPhase = 0;
        FFirstPending = false;
    }
    const int32_t clickSize = FClick->GetSize();
    const int32_t remaining = clickSize - FPhase;
    if (remaining > 0 && FPhase >= 0) {
        const size_t bytes = static_cast<size_t>(std::min(Length, remaining));
        MixAdd(Buffer, FClick->GetData() + FPhase, bytes, bytes, bytes);
    }
    FPhase += Length;
    if (FPhase >= MsToBytes(DefaultAudioFormat, FInterval)) FPhase = 0;
    return Length;
}

void TNode_Metronome::RequestRetry(int Length) {
    if (!FFileMissing) return;
    const int64_t every = MsToBytes(DefaultAudioFormat, kRetryMs);
    if (FSinceRetry >= 0 && FSinceRetry < every) {
        FSinceRetry += Length;
        return;
    }
    FSinceRetry = Length;
    std::weak_ptr<TLoaderLink> link = FLoader;
    PostToMainThread([link] {
        if (auto loader = link.lock()) {
            std::lock_guard<std::mutex> guard(loader->Lock);
            if (loader->Node) loader->Node->LoadClick();
        }
    });
}

std::string TNode_Metronome::GetName() const { return "Metronome"; }

void TNode_Metronome::SetEnabled(bool Value) {
    if (Value) LoadClick();
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FEnabled = Value;
    // Whole frames, so that the click's samples line up with the music's.
    const int64_t frame = FrameSize(DefaultAudioFormat);
    FPhase = -static_cast<int32_t>(MsToBytes(DefaultAudioFormat, FOffset) / frame * frame);
    FFirstPending = FPhase < 0;
}

void TNode_Metronome::SetOffset(int32_t Ms) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FOffset = Ms;
}

void TNode_Metronome::SetInterval(int32_t Ms) {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FInterval = Ms;
}

bool TNode_Metronome::GetEnabled() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    return FEnabled;
}

bool TNode_Metronome::LoadClick() {
    {
        std::lock_guard<std::recursive_mutex> guard(FLock);
        if (FClick) return true;
    }
    IChunkPtr click;
    std::string problem;
    const TClickRead read = ReadClickFile(FClickFile, click, problem);
    if (read == TClickRead::Bad) LogMessage("Metronome: " + FClickFile + " " + problem, "CORE", LogKind::Warning);
    std::lock_guard<std::recursive_mutex> guard(FLock);
    FFileMissing = read == TClickRead::Missing;
    if (!FClick) FClick = std::move(click);
    return FClick != nullptr;
}

int TNode_Metronome::GetClickSize() {
    std::lock_guard<std::recursive_mutex> guard(FLock);
    return FClick ? FClick->GetSize() : 0;
}

}  // namespace kelvar
