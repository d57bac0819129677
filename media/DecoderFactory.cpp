#include "media/DecoderFactory.h"

#include <algorithm>
#include <cctype>

#include "foundation/Logger.h"
#include "foundation/MiscFunc.h"
#include "foundation/TextUtil.h"
#include "media/Decoder_CDA.h"
#include "media/Decoder_LINEIN.h"
#include "media/Decoder_Ogg.h"
#include "media/Decoder_WAV.h"
#include "media/Decoder_WM9_Async.h"
#include "media/Decoder_WM9_Sync.h"
#include "media/Decoder_mp3PRO2.h"

namespace kelvar {

namespace {

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// From the last "." to the end, unless a "\" or ":" follows it ("/" is no separator).
std::string Extension(const std::string& name) {
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) return {};
    if (name.find_first_of("\\:", dot) != std::string::npos) return {};
    return name.substr(dot);
}

bool IsHTTPOfType(const std::string& name, const char* type) { return IsHTTPURLOfType(name, type); }

bool IsWindowsMediaExtension(const std::string& ext) { return ext == ".WMA" || ext == ".ASF" || ext == ".WMV"; }

// A decoder class the build does not hold yet yields no decoder (the load fails).
IDecoderPtr NewDecoder(TDecoderClass cls) {
    switch (cls) {
        case TDecoderClass::MP3: return std::make_shared<TDecoder_mp3PRO>();
        case TDecoderClass::Ogg: return std::make_shared<TDecoder_Ogg>();
        case TDecoderClass::WAV: return std::make_shared<TDecoder_WAV>();
        case TDecoderClass::LineIn: return std::make_shared<TDecoder_LineIn>();
        case TDecoderClass::WMAAsync: return std::make_shared<Decoder_WM9_Async::TDecoder_WMA>();
        case TDecoderClass::WMASync: return std::make_shared<Decoder_WM9_Sync::TDecoder_WMA>();
        case TDecoderClass::CDA: return std::make_shared<TDecoder_CDA>();
        default: return nullptr;
    }
}

const char* ClassName(TDecoderClass cls) {
    switch (cls) {
        case TDecoderClass::Ogg: return "Ogg Vorbis";
        case TDecoderClass::LineIn: return "live input";
        case TDecoderClass::WMAAsync:
        case TDecoderClass::WMASync: return "Windows Media";
        case TDecoderClass::CDA: return "CD audio";
        default: return "";
    }
}

}  // namespace

bool DecoderClassAccepts(TDecoderClass cls, const std::string& name, int pass) {
    const std::string n = UpperAscii(name);
    const std::string ext = Extension(n);
    const bool http = StartsWith(n, "HTTP://");
    switch (cls) {
        case TDecoderClass::MP3:
            if (pass == 0) return ext == ".MP3" || IsHTTPOfType(n, "MP3");
            return http;
        case TDecoderClass::Ogg: return ext == ".OGG" || IsHTTPOfType(n, "OGG");
        case TDecoderClass::WAV: return ext == ".WAV" && !http;
        case TDecoderClass::LineIn:
            return StartsWith(n, "MIC://") || StartsWith(n, "LINEIN://") || StartsWith(n, "RECORD://");
        case TDecoderClass::WMAAsync:
            if (pass == 0) return StartsWith(n, "MMS://") || IsHTTPOfType(n, "WMA") || IsHTTPOfType(n, "WMV");
            return IsWindowsMediaExtension(ext);
        case TDecoderClass::WMASync: return n.find("://") == std::string::npos && IsWindowsMediaExtension(ext);
        case TDecoderClass::CDA: return ext == ".CDA";
        case TDecoderClass::None: return false;
    }
    return false;
}

TDecoderClass FindDecoderClass(const std::string& name, int pass) {
    for (TDecoderClass cls : {TDecoderClass::MP3, TDecoderClass::Ogg, TDecoderClass::WAV, TDecoderClass::LineIn,
                              TDecoderClass::WMAAsync, TDecoderClass::WMASync, TDecoderClass::CDA}) {
        if (DecoderClassAccepts(cls, name, pass)) return cls;
    }
    return TDecoderClass::None;
}

IDecoderPtr CreateDecoderForPass(const std::string& name, int pass) {
    const TDecoderClass cls = FindDecoderClass(name, pass);
    if (cls == TDecoderClass::None) return nullptr;
    return NewDecoder(cls);
}

IDecoderPtr CreateDecoder(const std::string& name) {
    for (int pass = 0; pass < 4; ++pass) {
        if (IDecoderPtr decoder = CreateDecoderForPass(name, pass)) return decoder;
    }
    const TDecoderClass cls = FindDecoderClass(name, 0);
    if (cls != TDecoderClass::None)
        LogMessage(std::string("No ") + ClassName(cls) + " decoder in this build for " + name, "Decoder",
                   LogKind::Warning);
    return nullptr;
}

}  // namespace kelvar
