#include "media/Player_imp.h"

#include <chrono>
#include <cmath>

#include "audio/nodes/Node_DSPEffects.h"
#include "audio/nodes/Node_GapKiller.h"
#include "foundation/Logger.h"
#include "media/DecoderFactory.h"

namespace kelvar {

using TGuard = std::lock_guard<std::recursive_mutex>;

namespace {

const char* const LogSource = "PLAYER";

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The deck's stream-position events. The callback is given at construction and called
// without any lock of the event held, so firing (output thread, then the deck's lock) never
// meets a deck thread that holds the deck's lock and touches an event (lock-order cycle). A
// decoder's event is carried as Inner and handed to the callback in place of this one.
class TDeckEvent : public IMetaEvent {
public:
    TDeckEvent(uint8_t Kind, uint8_t Code, TStreamTime Time, TMetaCallback Callback, IMetaDataPtr Inner = nullptr)
        : FKind(Kind), FCode(Code), FTime(Time), FCallback(std::move(Callback)), FInner(std::move(Inner)) {}

    uint8_t GetKind() const override { return FInner ? FInner->GetKind() : FKind; }
    TStreamTime GetTime() const override { return FInner ? FInner->GetTime() : FTime; }
    uint8_t GetCode() const override { return FCode; }
    void SetCallback(TMetaCallback Callback) override {
        std::lock_guard<std::mutex> guard(FLock);
        FCallback = std::move(Callback);
    }
    void Fire() override {
        TMetaCallback callback;
        {
            std::lock_guard<std::mutex> guard(FLock);
            if (FFired) return;
            FFired = true;
            callback.swap(FCallback);
        }
        if (callback) callback(FInner ? *FInner : static_cast<IMetaData&>(*this));
    }
    void Cancel() override {
        std::lock_guard<std::mutex> guard(FLock);
        FFired = true;
        FCallback = nullptr;
    }

private:
    std::mutex FLock;
    const uint8_t FKind;
    const uint8_t FCode;
    const TStreamTime FTime;
    TMetaCallback FCallback;
    const IMetaDataPtr FInner;
    bool FFired = false;
};

}  // namespace

TPlayer::TPlayer() {
    Channel = std::make_unique<TChannel_player>();
    FOutputControl = std::dynamic_pointer_cast<IPinControl>(Channel->GetOutput());
    FVolControl = Channel->Volume->AddVolControl();
}

TPlayer::~TPlayer() {
    TPlayer::Unload();
    // A worker stopped while it waited for the lock finishes its step only now that the lock
    // is free; it must be gone before the channel and the lock are.
    ReapWorkers(true);
    TGuard guard(FLock);
    Channel.reset();
}

IDecoderPtr TPlayer::GetDecoder() {
    std::lock_guard<std::mutex> guard(FRefLock);
    return FDecoder;
}

bool TPlayer::IsPlayingFlag() { return (Channel->GetOutput()->GetMixMode() & MixMode::Playing) != 0; }

void TPlayer::ReapWorkers(bool Wait) {
    std::vector<std::unique_ptr<TWorkerThread>> done;
    {
        std::lock_guard<std::mutex> guard(FRetiredLock);
        for (auto it = FRetired.begin(); it != FRetired.end();) {
            if (Wait || (*it)->HasEnded()) {
                done.push_back(std::move(*it));
                it = FRetired.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& worker : done) worker->Join();
}

void TPlayer::StopWorker() {
    std::unique_ptr<TWorkerThread> worker;
    {
        std::lock_guard<std::mutex> guard(FRefLock);
        worker = std::move(FWorker);
    }
    if (!worker) return;
    Channel->SetDataEvent(nullptr);
    // A worker inside its step may be waiting for the lock held here: never wait for it now.
    if (!worker->Stop()) {
        std::lock_guard<std::mutex> guard(FRetiredLock);
        FRetired.push_back(std::move(worker));
    }
}

IDecoderPtr TPlayer::OpenDecoder(const std::string& Name) {
    try {
        IDecoderPtr decoder = CreateDecoder(Name);
        if (!decoder) {
            LogMessage("No decoder for " + Name, LogSource, LogKind::Warning);
            return nullptr;
        }
        if (!decoder->Open(Name)) return nullptr;
        return decoder;
    } catch (const std::exception& e) {
        LogMessage("Error loading " + Name + " (" + e.what() + ")", LogSource, LogKind::Warning);
    } catch (...) {
        LogMessage("Error loading " + Name, LogSource, LogKind::Warning);
    }
    return nullptr;
}

bool TPlayer::Load(const std::string& Name) {
    TPlayer::Unload();
    // Opened without the lock: a stream may take seconds to answer, and the output thread
    // takes this lock when it fires the deck's events.
    return LoadOpened(Name, OpenDecoder(Name));
}

bool TPlayer::LoadOpened(const std::string& Name, IDecoderPtr Decoder) {
    TGuard guard(FLock);
    if (!Decoder) return false;
    bool result = false;
    try {
        {
            std::lock_guard<std::mutex> ref(FRefLock);
            FDecoder = Decoder;
        }
        Channel->GapKiller->SetOnGap([this](TNode_GapKiller&) { OnEnd(); });
        FDecodedPosition = 0;
        FHasAudio = false;
        FHungrySince = 0;
        FSourceName = Name;
        // Cleared before the deck shows as loaded: a reader must never see a loaded deck
        // with the last song's end.
        FFinished = false;
        FEndOfStream = false;
        FLoaded = true;
        StopWorker();
        auto worker = std::make_unique<TWorkerThread>([this](TWorkerThread& Sender) { DecodeStep(&Sender); }, this);
        TWorkerThread* raw = worker.get();
        {
            std::lock_guard<std::mutex> ref(FRefLock);
            FWorker = std::move(worker);
        }
        Channel->SetDataEvent(raw->GetEvent());
        raw->Wake();
        result = true;
        GetDuration();
        QueueMarkers();
    } catch (const std::exception& e) {
        LogMessage("Error loading " + Name + " (" + e.what() + ")", LogSource, LogKind::Warning);
        result = false;
    } catch (...) {
        LogMessage("Error loading " + Name, LogSource, LogKind::Warning);
        result = false;
    }
    return result;
}

void TPlayer::Unload() {
    {
        TGuard guard(FLock);
        if (FLoaded) {
            StopWorker();
            IDecoderPtr decoder;
            {
                std::lock_guard<std::mutex> ref(FRefLock);
                decoder.swap(FDecoder);
            }
            try {
                if (decoder) decoder->Close();
            } catch (const std::exception& e) {
                LogMessage(std::string("Error closing decoder (") + e.what() + ")", LogSource, LogKind::Warning);
            }
            decoder.reset();
            Channel->Seek(0);
            Pause();
        }
        FLoaded = false;
        FFinished = true;
        FLastDuration = -123;
        FBufferPercent = 100;
    }
    ReapWorkers(false);
}

void TPlayer::DecodeStep(TWorkerThread* Worker) {
    if (!Worker) return;
    IDecoderPtr decoder = GetDecoder();
    if (decoder && Channel->GetOutput()->IsStarved()) decoder->OnStarved();
    TGuard guard(FLock);
    {
        std::lock_guard<std::mutex> ref(FRefLock);
        if (FWorker.get() != Worker) return;  // stopped while waiting for the lock
    }
    decoder = GetDecoder();
    if (!decoder) return;
    try {
        const double before = FDecodedPosition;
        FBuffering = false;
        if (!FFinished && !FEndOfStream && !decoder->IsEOF()) {
            decoder->Decode(
                [this](const void* Buffer, int32_t Bytes, const TWaveFormat& Format) { OnPCM(Buffer, Bytes, Format); },
                [this](const IMetaDataPtr& Meta) { OnDecoderMeta(Meta); });
        }
        if (!FEndOfStream && !FFinished) {
            FEndOfStream = decoder->IsEOF();
            if (!FEndOfStream) CheckNoAudio(FDecodedPosition != before || FBuffering);
            if (FEndOfStream) {
                Channel->GetInput()->EndOfStream();
                // The real length is known now: publish the end with the last block, not when a
                // reader of the duration happens to come by.
                GetDuration();
                // Nothing was ever decoded: no end event will come.
                if (FDecodedPosition == 0) FFinished = true;
            }
        }
    } catch (const std::exception& e) {
        LogMessage(std::string("Decoding ended by an error (") + e.what() + ")", LogSource, LogKind::Warning);
        FEndOfStream = true;
        FFinished = true;
    } catch (...) {
        FEndOfStream = true;
        FFinished = true;
    }
}

void TPlayer::CheckNoAudio(bool Delivered) {
    // The worker only runs while the deck's buffer has room, so time spent here without audio
    // is time the deck waited for its input.
    if (Delivered) {
        FHungrySince = 0;
        return;
    }
    const int64_t now = NowMs();
    if (FHungrySince == 0) {
        FHungrySince = now;
        return;
    }
    if (now - FHungrySince < FNoAudioLimitMs.load()) return;
    LogMessage("No audio from " + FSourceName + " for " + std::to_string(FNoAudioLimitMs.load() / 1000) +
                   " s: the song is ended",
               LogSource, LogKind::Warning);
    FEndOfStream = true;
}

void TPlayer::OnPCM(const void* Buffer, int32_t Bytes, const TWaveFormat& Format) {
    if (Bytes <= 0) return;
    if (!SameFormat(Format, FInputFormat)) {
        FInputFormat = Format;
        Channel->GetInput()->SetFormat(Format);
    }
    // The chain may work in place on the decoder's own output block.
    Channel->GetInput()->Push(const_cast<void*>(Buffer), Bytes,
                              static_cast<TStreamTime>(std::llround(FDecodedPosition)));
    FDecodedPosition += BytesToMs(Format, Bytes);
    FHasAudio = true;
}

void TPlayer::OnDecoderMeta(const IMetaDataPtr& Meta) {
    if (!Meta) return;
    if (auto buffer = std::dynamic_pointer_cast<IMetaBuffer>(Meta)) {
        SetBufferPercent(buffer->GetValue());
        // A changed fill level of a stream's pre-buffer: its input is arriving.
        FBuffering = true;
        Channel->GetOutput()->AddMeta(Meta);
        return;
    }
    Channel->GetOutput()->AddMeta(std::make_shared<TDeckEvent>(
        Meta->GetKind(), 0, Meta->GetTime(), [this](IMetaData& Event) { OnMeta(Event); }, Meta));
}

void TPlayer::Play() {
    TGuard guard(FLock);
    if (FVolControl->GetFadeKind() == FadeKind::Out) FVolControl->CancelFade();
    const uint8_t flags = Channel->GetOutput()->GetMixMode();
    if ((flags & MixMode::Playing) == 0) Channel->GetOutput()->SetMixMode(flags | MixMode::Playing);
}

void TPlayer::Pause() {
    TGuard guard(FLock);
    const uint8_t flags = Channel->GetOutput()->GetMixMode();
    if ((flags & MixMode::Playing) != 0)
        Channel->GetOutput()->SetMixMode(flags & static_cast<uint8_t>(~MixMode::Playing));
}

void TPlayer::SetPaused(bool Paused) {
    if (Paused) {
        Pause();
    } else {
        Play();
    }
}

int64_t TPlayer::Seek(int64_t Ms) {
    TGuard guard(FLock);
    IDecoderPtr decoder = GetDecoder();
    int64_t reached = 0;
    if (decoder) {
        FFinished = false;
        FEndOfStream = false;
        FHungrySince = 0;
        reached = decoder->Seek(Ms);
        Channel->Seek(reached);
        QueueMarkers();
    }
    FDecodedPosition = static_cast<double>(reached);
    // The bridge was emptied: let the worker fill it again even while the deck is paused.
    std::lock_guard<std::mutex> ref(FRefLock);
    if (FWorker) FWorker->Wake();
    return reached;
}

int64_t TPlayer::GetPosition() {
    TGuard guard(FLock);
    return FOutputControl ? FOutputControl->GetPosition() : 0;
}

int64_t TPlayer::GetDuration() {
    TGuard guard(FLock);
    const int64_t d = FLoaded ? DoGetDuration() : -1;
    if (d != FLastDuration) {
        FLastDuration = d;
        Channel->GetOutput()->SetEndPosition(d);
    }
    return d;
}

int64_t TPlayer::DoGetDuration() {
    IDecoderPtr decoder = GetDecoder();
    if (!decoder) return -1;
    int64_t d;
    if (FEndOfStream) {
        d = std::llround(FDecodedPosition);
    } else {
        const TStreamInfo* info = decoder->GetInfo();
        d = info ? info->Duration : -1;
    }
    return d - Channel->GapKiller->GetInfo().BackSilence;
}

void TPlayer::AddPlayerEvent(uint8_t Code, TStreamTime Time) {
    Channel->GetOutput()->AddMeta(
        std::make_shared<TDeckEvent>(MetaKind::Event, Code, Time, [this](IMetaData& Meta) { OnMeta(Meta); }));
}

void TPlayer::QueueMarkers() {
    TGuard guard(FLock);
    AddPlayerEvent(PlayerEvent::EndReached, -1);
}

void TPlayer::OnMeta(IMetaData& Meta) {
    auto* event = dynamic_cast<IMetaEvent*>(&Meta);
    if (!event || Meta.GetKind() != MetaKind::Event || event->GetCode() != PlayerEvent::EndReached) return;
    TGuard guard(FLock);
    // Until the decoder reaches the end of the stream, the end is the header's estimate: when the
    // worker has not yet delivered up to it (a very short file, a busy machine), the song is not
    // over. The deck waits for its decoder, and the event comes again at the next pull; a decoder
    // that never delivers is the silence watchdog's to end.
    if (!FEndOfStream && FDecodedPosition < static_cast<double>(GetDuration())) {
        AddPlayerEvent(PlayerEvent::EndReached, -1);
        return;
    }
    FFinished = true;
}

void TPlayer::OnEnd() { FFinished = true; }

bool TPlayer::IsSeekable() {
    TGuard guard(FLock);
    IDecoderPtr decoder = GetDecoder();
    return decoder ? decoder->IsSeekable() : false;
}

int TPlayer::GetVolume() {
    TGuard guard(FLock);
    return FVolume;
}

void TPlayer::SetVolume(int Value) {
    TGuard guard(FLock);
    FVolume = std::clamp(Value, 0, 255);
    FVolControl->SetVolume(FVolume);
}

void TPlayer::SetPitch(int Percent) {
    TGuard guard(FLock);
    Pitch = Percent;
    Channel->DSPEffects->SetRate(Percent);
}

void TPlayer::SetTempo(int Percent) {
    TGuard guard(FLock);
    Tempo = Percent;
    Channel->DSPEffects->SetTempo(Percent);
}

int TPlayer::GetChannels() {
    TGuard guard(FLock);
    IDecoderPtr decoder = GetDecoder();
    return decoder && decoder->GetInfo() ? decoder->GetInfo()->Channels : -1;
}

int TPlayer::GetBitrate() {
    TGuard guard(FLock);
    IDecoderPtr decoder = GetDecoder();
    return decoder && decoder->GetInfo() ? decoder->GetInfo()->Bitrate : -1;
}

int TPlayer::GetRate() {
    TGuard guard(FLock);
    IDecoderPtr decoder = GetDecoder();
    return decoder && decoder->GetInfo() ? decoder->GetInfo()->SampleRate : -1;
}

void TPlayer::LoadConfig(IConfigDoc& Section) {
    TGuard guard(FLock);
    SetVolume(static_cast<int>(Section.ReadInteger("Volume", FVolume)));
    if (auto channel = Section.Section("Channel")) Channel->LoadConfig(*channel);
}

void TPlayer::SaveConfig(IConfigDoc& Section) {
    TGuard guard(FLock);
    Section.WriteInteger("Volume", FVolume);
    Section.WriteInteger("Pitch", Pitch);
    Section.WriteInteger("Tempo", Tempo);
    if (auto channel = Section.Section("Channel")) Channel->SaveConfig(*channel);
}

}  // namespace kelvar
