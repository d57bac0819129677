#include "core/BPMDetect.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <utility>

#include "audio/nodes/DSPObj.h"
#include "media/Decoder.h"
#include "media/DecoderFactory.h"

namespace kelvar {

namespace {

int64_t PackFormat(const TWaveFormat& F) {
    return (static_cast<int64_t>(F.SamplesPerSec) << 24) | (static_cast<int64_t>(F.Channels) << 8) |
           static_cast<int64_t>(F.BitsPerSample);
}

TWaveFormat UnpackFormat(int64_t Key) {
    TWaveFormat f = DefaultAudioFormat;
    f.SamplesPerSec = static_cast<uint32_t>(Key >> 24);
    f.Channels = static_cast<uint16_t>((Key >> 8) & 0xFFFF);
    f.BitsPerSample = static_cast<uint16_t>(Key & 0xFF);
    f.BlockAlign = static_cast<uint16_t>(f.Channels * f.BitsPerSample / 8);
    f.AvgBytesPerSec = f.SamplesPerSec * f.BlockAlign;
    return f;
}

}  // namespace

TBPMDetect::TBPMDetect(std::string FileName) : FFileName(std::move(FileName)) {
    FThread = std::thread([this] { Execute(); });
}

TBPMDetect::~TBPMDetect() { Finish(); }

double TBPMDetect::Finish() {
    if (!FFinished) {
        FTerminated = true;
        if (FThread.joinable()) FThread.join();
        FFinished = true;
    }
    return FResult;
}

int TBPMDetect::GetProgressMs() const {
    const int bytes = FBytesProcessed.load();
    const int64_t key = FFormatKey.load();
    if (bytes <= 0 || key == 0) return -1;
    const TWaveFormat f = UnpackFormat(key);
    if (f.AvgBytesPerSec == 0) return -1;
    return static_cast<int>(BytesToMsRounded(f, bytes));
}

void TBPMDetect::Execute() {
    // One step below normal: decoding the whole file must not crowd the decks.
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, tid);
    if (errno == 0) setpriority(PRIO_PROCESS, tid, nice + 1);
    double result = 0;
    try {
        TDSPObj dsp;
        IDecoderPtr decoder = CreateDecoder(FFileName);
        if (decoder && decoder->Open(FFileName)) {
            if (const TStreamInfo* info = decoder->GetInfo()) {
                FSize = info->Size;
                FDuration = info->Duration;
            }
            FBytesProcessed = 0;
            // Beat detection runs on this thread only.
            auto onPCM = [this, &dsp](const void* Buffer, int32_t Bytes, const TWaveFormat& Format) {
                if (!dsp.BPMActive()) {
                    FFormatKey = PackFormat(Format);
                    dsp.BPMStart(Format);
                }
                dsp.BPMProcess(Buffer, Bytes);
                FBytesProcessed += Bytes;
            };
            auto onMeta = [](const IMetaDataPtr&) {};
            while (!FTerminated && !FDone) {
                decoder->Decode(onPCM, onMeta);
                FDone = decoder->IsEOF();
            }
            result = dsp.BPMStop();
            decoder->Close();
        }
    } catch (...) {
        // A decoder error or a sample size the detection cannot take: no estimate.
        result = 0;
    }
    FResult = result;
    FEnded = true;
}

}  // namespace kelvar
