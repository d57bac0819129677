#include "encoder/SbrTimeGrid.h"

#include <algorithm>
#include <cmath>

namespace brannoc {

namespace {

constexpr int kSlots = 9;
constexpr int kFrameMiddle = 4;
constexpr int kMaxSegment = 8;
constexpr int kPostFillLimit = 4;

struct Border {
    int position;
    int resolution;  // of the segment starting here
    bool transient;
};

int EvenStep(double length, int parts, int limit) {
    return std::min(limit, 2 * static_cast<int>(std::floor((length / parts - 2.0) / 2.0)) + 2);
}

// Inserts fill borders between `from` and the border at index `at` when the gap exceeds the
// longest segment.
void PreFill(std::vector<Border>& v, size_t at, int from) {
    const int l = v[at].position - from;
    if (l <= kMaxSegment) return;
    int n = 2;
    int s = EvenStep(l, n, kMaxSegment);
    while (l - (n - 1) * s > kMaxSegment) s = EvenStep(l, ++n, kMaxSegment);
    for (int i = 1; i < n; ++i) v.insert(v.begin() + static_cast<long>(at), Border{v[at].position - s, 1, false});
}

// Fills after the last border up to the end of the next frame.
void PostFill(std::vector<Border>& v, bool& spreading) {
    const int c = 2 * kSlots - v.back().position;
    if (c <= 0) {
        if (v.size() > 1) v.pop_back();
        return;
    }
    int p = 1;
    int s = EvenStep(c, p, kPostFillLimit);
    while (c - (p - 1) * s > kMaxSegment) s = EvenStep(c, ++p, kPostFillLimit);
    for (int i = 1; i < p; ++i) v.push_back(Border{v.back().position + s, 1, false});
    if (p == 1 && c < 2) {
        spreading = true;
        v.push_back(Border{v.back().position + kMaxSegment, 1, false});
    }
}

SbrFrameInfo FixFix(SbrGridGenerator& g, int envelopes) {
    SbrGridControl& c = g.control;
    c = SbrGridControl{};
    c.frameClass = kFixFix;
    c.envelopes = envelopes;
    for (int i = 0; i < envelopes; ++i) c.resolution[i] = g.fixfixResolution;
    g.keptBorders.clear();
    g.keptResolutions.clear();
    g.keptTransient = -1;
    return SbrFrameInfoFromControl(c, g.fixfixResolution);
}

// Closes the frame at the first border at or after its end, keeps the rest for the next frame and
// writes the control record.
SbrFrameInfo Finish(SbrGridGenerator& g, std::vector<Border>& v, int frameClass, size_t leadBorders) {
    size_t u = 0;
    while (u < v.size() && v[u].position < kSlots) ++u;
    if (u == v.size()) v.push_back(Border{kSlots, 1, false});
    // The end border field reaches 3 slots past the frame; a spread segment is cut there.
    if (frameClass != kVarFix && v[u].position > kSlots + 3) {
        v.insert(v.begin() + static_cast<long>(u),
                 Border{std::max(kSlots, v[u - 1].position + 2), v[u - 1].resolution, false});
    }
    if (frameClass == kVarFix) {
        // The frame ends exactly at its end.
        if (v[u].position != kSlots) v.insert(v.begin() + static_cast<long>(u), Border{kSlots, 1, false});
    }
    // Keep counts within their fields: drop inner borders that the relative fields cannot carry.
    const size_t maxInner = frameClass == kVarVar ? 4 : 3;
    while (u - 1 > maxInner) {
        v.erase(v.begin() + static_cast<long>(u - 1));
        --u;
    }
    leadBorders = std::min(leadBorders, u);
    int t = -1;
    for (size_t i = 0; i < v.size(); ++i)
        if (v[i].transient) t = static_cast<int>(i);

    g.keptBorders.clear();
    g.keptResolutions.clear();
    g.keptTransient = -1;
    for (size_t i = u; i < v.size(); ++i) {
        g.keptBorders.push_back(v[i].position - kSlots);
        g.keptResolutions.push_back(v[i].resolution);
        if (static_cast<int>(i) == t) g.keptTransient = static_cast<int>(i - u);
    }

    SbrGridControl& c = g.control;
    c = SbrGridControl{};
    c.frameClass = frameClass;
    c.absStart = v[0].position;
    c.absEnd = v[u].position;
    const int envelopes = static_cast<int>(u);
    for (int i = 0; i < envelopes; ++i) c.resolution[i] = v[static_cast<size_t>(i)].resolution;
    if (frameClass == kFixVar) {
        c.trailCount = envelopes - 1;
        for (int i = 0; i < c.trailCount; ++i) c.trail[i] = v[u - i].position - v[u - i - 1].position;
        c.pointer = (t >= 0 && t <= static_cast<int>(u)) ? static_cast<int>(u) - t + 1 : 0;
    } else if (frameClass == kVarFix) {
        c.leadCount = envelopes - 1;
        for (int i = 0; i < c.leadCount; ++i)
            c.lead[i] = v[static_cast<size_t>(i) + 1].position - v[static_cast<size_t>(i)].position;
        c.pointer = (t >= 0 && t < static_cast<int>(u)) ? t + 1 : 0;
    } else {
        c.leadCount = std::min(3, std::max(0, static_cast<int>(leadBorders) - 1));
        c.trailCount = std::min(3, envelopes - 1 - c.leadCount);
        c.leadCount = envelopes - 1 - c.trailCount;
        for (int i = 0; i < c.leadCount; ++i)
            c.lead[i] = v[static_cast<size_t>(i) + 1].position - v[static_cast<size_t>(i)].position;
        for (int i = 0; i < c.trailCount; ++i) c.trail[i] = v[u - i].position - v[u - i - 1].position;
        c.pointer = (t >= 0 && t <= static_cast<int>(u)) ? static_cast<int>(u) - t + 1 : 0;
    }
    return SbrFrameInfoFromControl(c, g.fixfixResolution);
}

std::vector<Border> KeptList(const SbrGridGenerator& g) {
    std::vector<Border> v;
    for (size_t i = 0; i < g.keptBorders.size(); ++i)
        v.push_back(Border{g.keptBorders[i], g.keptResolutions[i], static_cast<int>(i) == g.keptTransient});
    if (v.empty()) v.push_back(Border{0, 1, false});
    return v;
}

}  // namespace

void SbrGridInit(SbrGridGenerator& g, int staticFraming, int staticEnvelopesLog2, int fixfixResolution) {
    g = SbrGridGenerator{};
    g.staticFraming = staticFraming;
    g.staticEnvelopes = 1 << std::clamp(staticEnvelopesLog2, 0, 2);
    g.fixfixResolution = fixfixResolution;
}

SbrFrameInfo SbrMakeGrid(SbrGridGenerator& g, const SbrTransientInfo& info) {
    if (g.staticFraming) {
        g.previousClass = kFixFix;
        return FixFix(g, g.staticEnvelopes);
    }
    const bool transient = info.flag == 1;
    const int b = info.value + kFrameMiddle;
    int frameClass;
    if (g.previousClass == kFixFix || g.previousClass == kVarFix) {
        frameClass = transient ? kFixVar : kFixFix;
    } else if (transient) {
        frameClass = kVarVar;
        g.spreading = false;
    } else {
        frameClass = g.spreading ? kVarVar : kVarFix;
    }
    g.previousClass = frameClass;

    if (frameClass == kFixFix) return FixFix(g, info.value == 1 ? 2 : 1);

    if (frameClass == kFixVar) {
        std::vector<Border> v = {{0, 1, false}, {b, 0, true}, {b + 2, 1, false}};
        PreFill(v, 1, 0);
        PostFill(v, g.spreading);
        return Finish(g, v, kFixVar, 1);
    }
    if (frameClass == kVarFix) {
        std::vector<Border> v = KeptList(g);
        while (v.size() > 1 && v.back().position >= kSlots) v.pop_back();
        return Finish(g, v, kVarFix, v.size());
    }
    // VARVAR
    std::vector<Border> v = KeptList(g);
    if (!transient) {
        g.spreading = false;
        return Finish(g, v, kVarVar, v.size());
    }
    std::vector<Border> fresh = {{b, 0, true}, {b + 2, 1, false}};
    std::vector<Border> stored = v;
    while (!stored.empty() && stored.back().position > b) stored.pop_back();
    if (stored.empty()) {
        stored = v;
        while (!fresh.empty() && fresh.front().position <= stored.back().position) fresh.erase(fresh.begin());
    }
    if (!fresh.empty()) {
        const int gap = fresh.front().position - stored.back().position;
        if (gap <= 2) {
            if (stored.size() == 1)
                fresh.erase(fresh.begin());
            else
                stored.pop_back();
        }
    }
    const size_t lead = stored.size();
    v = stored;
    v.insert(v.end(), fresh.begin(), fresh.end());
    if (!fresh.empty() && lead < v.size()) PreFill(v, lead, v[lead - 1].position);
    PostFill(v, g.spreading);
    return Finish(g, v, kVarVar, lead);
}

SbrFrameInfo SbrFrameInfoFromControl(const SbrGridControl& c, int fixfixResolution) {
    SbrFrameInfo f;
    int n = 0;
    int pointerIndex = -1;
    switch (c.frameClass) {
        case kFixFix: {
            static const int kBorders[3][5] = {{0, 9}, {0, 5, 9}, {0, 2, 5, 7, 9}};
            const int row = c.envelopes == 4 ? 2 : c.envelopes - 1;
            n = c.envelopes;
            for (int i = 0; i <= n; ++i) f.borders[i] = kBorders[row][i];
            for (int i = 0; i < n; ++i) f.resolution[i] = fixfixResolution;
            break;
        }
        case kFixVar:
        case kVarFix:
        case kVarVar: {
            n = c.leadCount + c.trailCount + 1;
            f.borders[0] = c.frameClass == kFixVar ? 0 : c.absStart;
            f.borders[n] = c.frameClass == kVarFix ? kSlots : c.absEnd;
            for (int i = 0; i < c.leadCount; ++i) f.borders[i + 1] = f.borders[i] + c.lead[i];
            for (int i = 0; i < c.trailCount; ++i) f.borders[n - 1 - i] = f.borders[n - i] - c.trail[i];
            for (int i = 0; i < n; ++i) f.resolution[i] = c.resolution[i];
            if (c.frameClass == kVarFix)
                pointerIndex = c.pointer > 1 ? c.pointer - 1 : -1;
            else
                pointerIndex = c.pointer > 0 ? n + 1 - c.pointer : -1;
            break;
        }
        default: break;
    }
    f.envelopes = n;
    // A pointer at the frame end border names no envelope of this frame.
    f.transientEnvelope = pointerIndex > 0 && pointerIndex < n ? pointerIndex : 0;
    if (c.frameClass == kFixFix && n > 1) {
        f.noiseEnvelopes = 2;
        f.noiseBorders[0] = 0;
        f.noiseBorders[1] = 5;
        f.noiseBorders[2] = kSlots;
    } else if (n > 1) {
        f.noiseEnvelopes = 2;
        f.noiseBorders[0] = f.borders[0];
        f.noiseBorders[1] = c.pointer > 1 && pointerIndex > 0 ? f.borders[pointerIndex] : f.borders[n - 1];
        f.noiseBorders[2] = f.borders[n];
    } else {
        f.noiseEnvelopes = 1;
        f.noiseBorders[0] = f.borders[0];
        f.noiseBorders[1] = f.borders[1];
    }
    return f;
}

}  // namespace brannoc
