#include "audio/nodes/ACMConvert.h"

#include <algorithm>
#include <cstdio>

namespace kelvar {
namespace {

namespace R = platform::ConvertResult;

platform::TConvertFormat ToConvertFormat(const TWaveFormat& f, std::span<const uint8_t> extra) {
    platform::TConvertFormat c;
    c.FormatTag = f.FormatTag;
    c.Channels = f.Channels;
    c.SamplesPerSec = f.SamplesPerSec;
    c.AvgBytesPerSec = f.AvgBytesPerSec;
    c.BlockAlign = f.BlockAlign;
    c.BitsPerSample = f.BitsPerSample;
    c.Extra.assign(extra.begin(), extra.end());
    return c;
}

}  // namespace

TACMConvert::TACMConvert() = default;

TACMConvert::~TACMConvert() {
    try {
        Close();
    } catch (const EACMConvertor&) {
        // a destructor can't report it; the stream is gone either way
    }
}

void TACMConvert::Open(const TWaveFormat& Source, const TWaveFormat& Destination,
                       std::span<const uint8_t> SourceExtra) {
    Close();
    FFirstBlock = true;
    platform::IAudioConverterPtr stream;
    const int result =
        platform::OpenAudioConverter(ToConvertFormat(Source, SourceExtra), ToConvertFormat(Destination, {}), stream);
    Check("acmStreamOpen:", result);
    FStream = std::move(stream);
    FOpen = true;
}

void TACMConvert::Close() {
    if (!FOpen) return;
    platform::IAudioConverterPtr stream = std::move(FStream);
    FOpen = false;
    FFirstBlock = false;
    FOutput.clear();
    FOutput.shrink_to_fit();
    FHasOutput = false;
    Check("acmStreamClose:", stream ? stream->Close() : R::InvalidHandle);
}

uint32_t TACMConvert::Convert(const void* Buffer, uint32_t Bytes) {
    const bool start = FFirstBlock;
    FFirstBlock = false;
    platform::IAudioConverter* stream = FStream.get();
    if (!FHasOutput || Bytes > FLargestInput) {
        FLargestInput = Bytes;
        uint32_t size = 0;
        Check("acmStreamSize:", stream ? stream->Size(Bytes, size) : R::InvalidHandle);
        FOutput.assign(std::max<uint32_t>(size, 1), 0);
        FHasOutput = true;
    }
    if (!stream) Check("acmStreamPrepareHeader:", R::InvalidHandle);
    platform::TConvertHeader header;
    header.Source = static_cast<const uint8_t*>(Buffer);
    header.SourceLength = Buffer ? Bytes : 0;
    header.Dest = FOutput.data();
    header.DestLength = static_cast<uint32_t>(FOutput.size());
    Check("acmStreamPrepareHeader:", stream->PrepareHeader(header));
    const uint32_t flags = platform::ConvertFlags::BlockAlign | (start ? platform::ConvertFlags::Start : 0);
    const int converted = stream->Convert(header, flags);
    if (converted != R::Ok) {
        stream->UnprepareHeader(header);
        Check("acmStreamConvert:", converted);
    }
    uint32_t used = header.DestUsed;
    Check("acmStreamUnPrepareHeader:", stream->UnprepareHeader(header));

    // Output that didn't fit waits in the stream: take it now into a larger block rather than
    // let it pile up there.
    while (stream->HeldOutput() > 0) {
        const uint32_t held = stream->HeldOutput();
        std::vector<uint8_t> larger(used + held);
        std::copy(FOutput.begin(), FOutput.begin() + used, larger.begin());
        FOutput.swap(larger);
        platform::TConvertHeader more;
        more.Dest = FOutput.data() + used;
        more.DestLength = held;
        Check("acmStreamPrepareHeader:", stream->PrepareHeader(more));
        const int drained = stream->Convert(more, platform::ConvertFlags::BlockAlign);
        if (drained != R::Ok) {
            stream->UnprepareHeader(more);
            Check("acmStreamConvert:", drained);
        }
        used += more.DestUsed;
        Check("acmStreamUnPrepareHeader:", stream->UnprepareHeader(more));
    }
    return used;
}

void TACMConvert::Check(const std::string& CallName, int Result) {
    const char* text = nullptr;
    switch (Result) {
        case R::Ok: return;
        case R::InvalidHandle: text = " The specified handle is invalid."; break;
        case R::NoDriver: text = " A suitable driver is not available to provide valid format selections."; break;
        case R::NoMemory: text = " The system is unable to allocate resources."; break;
        case R::InvalidFlag: text = " At least one flag is invalid."; break;
        case R::InvalidParam: text = " At least one parameter is invalid."; break;
        case R::NotPossible: text = " The requested operation cannot be performed."; break;
        case R::Busy: text = " The conversion stream is already in use."; break;
        case R::Unprepared: text = " Cannot perform this action on a header that has not been prepared."; break;
        default: {
            char message[160];
            std::snprintf(message, sizeof message, "%s raised an unknown error (code #%d)", CallName.c_str(), Result);
            throw EACMConvertor(message);
        }
    }
    throw EACMConvertor(CallName + text);
}

}  // namespace kelvar
