#include "SbrReader.h"

#include "encoder/SbrFrequencyTables.h"
#include "encoder/SbrHuffmanTables.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

// Values of one code table by (length, code).
struct Code {
    int lav = 0;
    std::map<std::pair<int, uint32_t>, int> values;
    int longest = 0;
};

std::map<std::string, Code> LoadCodes(std::string& source) {
    std::map<std::string, Code> codes;
    const std::filesystem::path file = std::filesystem::path(KELVAR_SBR_DATA_DIR) / "huffman.tsv";
    std::ifstream in(file);
    if (in) {
        source = "data file";
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            if (line.empty()) continue;
            std::istringstream f(line);
            std::string name, bits;
            int index = 0, value = 0, length = 0;
            f >> name >> index >> value >> length >> bits;
            Code& c = codes[name];
            c.lav = std::max(c.lav, -value);
            c.values[{length, static_cast<uint32_t>(std::stoul(bits, nullptr, 2))}] = value;
            c.longest = std::max(c.longest, length);
        }
        return codes;
    }
    source = "library";
    for (int t = 0; t < brannoc::kSbrHuffmanTableCount; ++t) {
        const auto id = static_cast<brannoc::SbrHuffmanTableId>(t);
        const brannoc::SbrHuffmanTable& table = brannoc::SbrStandardTable(id);
        Code& c = codes[brannoc::SbrStandardTableName(id)];
        c.lav = table.lav;
        for (int i = 0; i <= 2 * table.lav; ++i) {
            c.values[{table.lengths[i], table.codes[i]}] = i - table.lav;
            c.longest = std::max(c.longest, table.lengths[i]);
        }
    }
    return codes;
}

struct Bits {
    const std::vector<uint8_t>& data;
    int end;
    int pos;
    bool overrun = false;
    uint32_t Get(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) {
            if (pos >= end) {
                overrun = true;
                return v;
            }
            v = (v << 1) | ((data[static_cast<size_t>(pos / 8)] >> (7 - pos % 8)) & 1u);
            ++pos;
        }
        return v;
    }
    int Decode(const Code& c) {
        uint32_t code = 0;
        for (int length = 1; length <= c.longest; ++length) {
            code = (code << 1) | Get(1);
            if (overrun) return 0;
            auto it = c.values.find({length, code});
            if (it != c.values.end()) return it->second;
        }
        overrun = true;  // no codeword: not a valid element
        return 0;
    }
};

// The most envelopes a frame may carry; SbrChannelData's arrays and the flag arrays are this size.
constexpr int kMaxEnvelopes = 5;

int CeilLog2(int n) {
    int bits = 0;
    while ((1 << bits) < n) ++bits;
    return bits;
}

}  // namespace

struct SbrStreamReader::State {
    bool haveHeader = false;
    int amplitudeResolution = 1, start = 0, stop = 0, crossover = 0, headerFlag = 0, midSide = 0;
    int frequencyScale = 2, alterScale = 1, noiseBandsPerOctave = 2;
    brannoc::SbrBandTables tables;
    int noiseBorders[6] = {};
    int noiseCount = 0;
    // Previous values in the coded domain: envelopes in high-resolution indexing, noise per band.
    std::vector<int> previousEnvelope[2];
    std::vector<int> previousNoise[2];
    bool previousValid[2] = {false, false};
    bool lastCoupled = false;
};

namespace {
const std::map<std::string, Code>& Codes(std::string* source = nullptr) {
    static std::string from;
    static const std::map<std::string, Code> codes = LoadCodes(from);
    if (source) *source = from;
    return codes;
}
}  // namespace

SbrStreamReader::SbrStreamReader() : state_(std::make_shared<State>()) { Codes(&tableSource_); }

namespace {

struct Parser {
    SbrStreamReader::State* s;
    Bits& in;
    std::string error;

    const Code& Table(const char* name) { return Codes().at(name); }

    void Header(bool single, int rate) {
        in.Get(2);
        s->amplitudeResolution = static_cast<int>(in.Get(1));
        s->start = static_cast<int>(in.Get(4));
        s->stop = static_cast<int>(in.Get(4));
        s->crossover = static_cast<int>(in.Get(3));
        in.Get(2);
        s->headerFlag = static_cast<int>(in.Get(1));
        const bool ext1 = in.Get(1) != 0, ext2 = in.Get(1) != 0;
        if (single) s->midSide = static_cast<int>(in.Get(2));
        s->frequencyScale = 2;
        s->alterScale = 1;
        s->noiseBandsPerOctave = 2;
        if (ext1) {
            s->frequencyScale = static_cast<int>(in.Get(2));
            s->alterScale = static_cast<int>(in.Get(1));
            s->noiseBandsPerOctave = static_cast<int>(in.Get(2));
        }
        if (ext2) in.Get(7);
        brannoc::SbrBandSettings b;
        b.startIndex = s->start;
        b.stopIndex = s->stop;
        b.frequencyScale = s->frequencyScale;
        b.alterScale = s->alterScale;
        b.crossoverBand = s->crossover;
        b.dualRate = true;
        s->tables = brannoc::SbrBandTables{};
        s->tables.sbrRate = 2 * rate;
        if (!brannoc::SbrResetTables(s->tables, b, 64, true) ||
            !brannoc::SbrNoiseBands(s->tables, s->noiseBandsPerOctave, s->noiseBorders, s->noiseCount))
            error = "header with band limits no table can be built from";
        s->haveHeader = true;
        for (int ch = 0; ch < 2; ++ch) s->previousValid[ch] = false;
    }

    void Grid(SbrChannelData& c) {
        c.frameClass = static_cast<int>(in.Get(2));
        if (c.frameClass == 0) {
            c.envelopes = 1 << in.Get(2);
            const int res = static_cast<int>(in.Get(1));
            static const int kBorders[3][5] = {{0, 9}, {0, 5, 9}, {0, 2, 5, 7, 9}};
            if (c.envelopes > 4) {
                error = "FIXFIX with more than four envelopes";
                c.envelopes = c.noiseEnvelopes = 0;  // the arrays hold four (five for variable borders)
                return;
            }
            const int row = c.envelopes == 4 ? 2 : c.envelopes - 1;
            for (int i = 0; i <= c.envelopes; ++i) c.borders[i] = kBorders[row][i];
            for (int i = 0; i < c.envelopes; ++i) c.resolution[i] = res;
        } else {
            int start = 0, end = 9, lead = 0, trail = 0, leadLen[3] = {}, trailLen[3] = {};
            if (c.frameClass != 1) start = static_cast<int>(in.Get(3));
            if (c.frameClass != 2) end = 9 + static_cast<int>(in.Get(3));
            if (c.frameClass == 3) {
                lead = static_cast<int>(in.Get(2));
                trail = static_cast<int>(in.Get(2));
            } else {
                (c.frameClass == 1 ? trail : lead) = static_cast<int>(in.Get(2));
            }
            for (int i = 0; i < lead; ++i) leadLen[i] = 2 * static_cast<int>(in.Get(2)) + 2;
            for (int i = 0; i < trail; ++i) trailLen[i] = 2 * static_cast<int>(in.Get(2)) + 2;
            c.envelopes = lead + trail + 1;
            if (c.envelopes > kMaxEnvelopes) {
                error = "more than five envelopes";
                c.envelopes = c.noiseEnvelopes = 0;  // a corrupt grid must not write past the arrays
                return;
            }
            in.Get(CeilLog2(lead + trail + 2));  // transient pointer
            for (int i = 0; i < c.envelopes; ++i)
                c.resolution[c.frameClass == 1 ? c.envelopes - 1 - i : i] = static_cast<int>(in.Get(1));
            c.borders[0] = start;
            c.borders[c.envelopes] = end;
            for (int i = 0; i < lead; ++i) c.borders[i + 1] = c.borders[i] + leadLen[i];
            for (int i = 0; i < trail; ++i) c.borders[c.envelopes - 1 - i] = c.borders[c.envelopes - i] - trailLen[i];
            for (int i = 0; i < c.envelopes; ++i)
                if (c.borders[i + 1] <= c.borders[i]) error = "envelope borders out of order";
        }
        c.noiseEnvelopes = c.envelopes > 1 ? 2 : 1;
    }

    int Bands(int res) const { return res ? s->tables.highCount : s->tables.lowCount; }

    // Envelopes of one channel; balance: the coupled right channel, whose coded values are halves.
    void Envelopes(SbrChannelData& c, int ch, const int* flags, bool balance) {
        const bool fine = s->amplitudeResolution == 0;
        const Code& freq = Table(balance ? (fine ? "f_huffman_env_bal_1_5dB" : "f_huffman_env_bal_3_0dB")
                                         : (fine ? "f_huffman_env_1_5dB" : "f_huffman_env_3_0dB"));
        const Code& time = Table(balance ? (fine ? "t_huffman_env_bal_1_5dB" : "t_huffman_env_bal_3_0dB")
                                         : (fine ? "t_huffman_env_1_5dB" : "t_huffman_env_3_0dB"));
        const int firstBits = fine ? (balance ? 6 : 7) : (balance ? 5 : 6);
        const int* high = s->tables.high;
        const int* low = s->tables.low;
        std::vector<int>& previous = s->previousEnvelope[ch];
        previous.resize(static_cast<size_t>(s->tables.highCount), 0);
        for (int e = 0; e < c.envelopes; ++e) {
            const int n = Bands(c.resolution[e]);
            std::vector<int> v(static_cast<size_t>(n));
            if (flags[e] == 0) {
                v[0] = static_cast<int>(in.Get(firstBits));
                for (int b = 1; b < n; ++b) v[static_cast<size_t>(b)] = v[static_cast<size_t>(b - 1)] + in.Decode(freq);
            } else {
                if (!s->previousValid[ch]) error = "time delta without an earlier envelope";
                for (int b = 0; b < n; ++b) {
                    int base = 0;
                    if (c.resolution[e]) {
                        base = previous[static_cast<size_t>(b)];
                    } else {
                        for (int i = 0; i < s->tables.highCount; ++i)
                            if (high[i] == low[b]) base = previous[static_cast<size_t>(i)];
                    }
                    v[static_cast<size_t>(b)] = base + in.Decode(time);
                }
            }
            // Keep the envelope in high-resolution indexing for the next time delta.
            for (int i = 0; i < s->tables.highCount; ++i) {
                if (c.resolution[e]) {
                    previous[static_cast<size_t>(i)] = v[static_cast<size_t>(i)];
                } else {
                    for (int b = 0; b < n; ++b)
                        if (low[b] <= high[i] && high[i] < low[b + 1])
                            previous[static_cast<size_t>(i)] = v[static_cast<size_t>(b)];
                }
            }
            s->previousValid[ch] = true;
            c.levels[e] = v;
            if (balance)
                for (int& x : c.levels[e]) x *= 2;
        }
    }

    void Noise(SbrChannelData& c, int ch, const int* flags, bool balance) {
        const Code& freq = Table(balance ? "f_huffman_env_bal_3_0dB" : "f_huffman_env_3_0dB");
        const Code& time = Table(balance ? "t_huffman_noise_bal_3_0dB" : "t_huffman_noise_3_0dB");
        std::vector<int>& previous = s->previousNoise[ch];
        previous.resize(static_cast<size_t>(s->noiseCount), 0);
        for (int q = 0; q < c.noiseEnvelopes; ++q) {
            std::vector<int> v(static_cast<size_t>(s->noiseCount));
            for (int b = 0; b < s->noiseCount; ++b) {
                if (flags[q] == 0)
                    v[static_cast<size_t>(b)] =
                        b == 0 ? static_cast<int>(in.Get(5)) : v[static_cast<size_t>(b - 1)] + in.Decode(freq);
                else
                    v[static_cast<size_t>(b)] = previous[static_cast<size_t>(b)] + in.Decode(time);
            }
            previous = v;
            c.noise[q] = v;
            if (balance)
                for (int& x : c.noise[q]) x *= 2;
        }
    }

    void Sinusoids(SbrChannelData& c) {
        if (in.Get(1) == 0) return;
        c.sinusoids = static_cast<int>(in.Get(2)) + 1;
        for (int i = 0; i < c.sinusoids; ++i) {
            in.Get(6);
            const int bands = static_cast<int>(in.Get(2)) + 1;
            const int field = static_cast<int>(in.Get(2));
            in.Get(1);
            if (field == 0) error = "sinusoid without segments";
            const int segments = field == 3 ? 2 : 1;
            for (int b = 0; b < bands; ++b) {
                const int width = 4 + static_cast<int>(in.Get(1));
                in.Get(5);
                for (int k = 0; k < 9 * segments; ++k)
                    if (in.Get(width - 1) != 0) in.Get(1);
            }
        }
    }

    void Flags(const SbrChannelData& c, int* env, int* noise) {
        for (int e = 0; e < c.envelopes; ++e) env[e] = static_cast<int>(in.Get(1));
        for (int q = 0; q < c.noiseEnvelopes; ++q) noise[q] = static_cast<int>(in.Get(1));
    }
};

uint32_t Crc7(const std::vector<uint8_t>& data, int from, int count) {
    uint32_t reg = 0xFF;
    for (int i = 0; i < count; ++i) {
        const int pos = from + i;
        const uint32_t bit = (data[static_cast<size_t>(pos / 8)] >> (7 - pos % 8)) & 1u;
        const bool feedback = ((reg & 0x80u) != 0) != (bit != 0);
        reg = (reg << 1) & 0xFFu;
        if (feedback) reg ^= 0x45u;
    }
    return reg & 0x7Fu;
}

}  // namespace

SbrBlock SbrStreamReader::ReadFrame(const FrameInfo& frame) {
    SbrBlock best;
    best.error = "no SBR block in the ancillary data";
    const int total = frame.ancillaryBits;
    // The block follows the fill bits, whose number the reader cannot know: every start is tried,
    // and only a block whose length, CRC and element all agree counts.
    for (int p = 0; p + 16 <= total; ++p) {
        Bits head{frame.ancillary, total, p};
        const int tag = static_cast<int>(head.Get(4));
        if (tag < 12) continue;
        int length = static_cast<int>(head.Get(8));
        if (length == 255) length += static_cast<int>(head.Get(8));
        const int end = head.pos + 8 * length + 4;
        if (head.overrun || end > total) continue;
        const bool crc = head.Get(1) != 0;
        const int crcField = crc ? static_cast<int>(head.Get(7)) : 0;
        const int dataStart = head.pos;

        const State saved = *state_;
        SbrBlock b;
        b.tag = tag;
        b.lengthBytes = length;
        b.crc = crc;
        b.header = tag >= 14;
        b.channels = tag % 2 == 1 ? 1 : 2;
        Bits in{frame.ancillary, end, dataStart};
        Parser parse{state_.get(), in, {}};
        if (b.header) parse.Header(b.channels == 1, frame.rate);
        if (!state_->haveHeader) parse.error = "element before any header";
        if (parse.error.empty()) {
            in.Get(1);  // dual rate
            if (b.channels == 1) {
                in.Get(1);  // mode 3
                SbrChannelData& c = b.channel[0];
                parse.Grid(c);
                int env[kMaxEnvelopes] = {}, noise[2] = {};
                parse.Flags(c, env, noise);
                c.invfMode = static_cast<int>(in.Get(2));
                in.Get(2);
                if (state_->headerFlag) in.Get(3);
                if (parse.error.empty()) {
                    parse.Envelopes(c, 0, env, false);
                    parse.Noise(c, 0, noise, false);
                    parse.Sinusoids(c);
                }
                in.Get(1);
            } else {
                b.coupled = in.Get(1) != 0;
                SbrChannelData& l = b.channel[0];
                SbrChannelData& r = b.channel[1];
                int envL[kMaxEnvelopes] = {}, noiseL[2] = {}, envR[kMaxEnvelopes] = {}, noiseR[2] = {};
                parse.Grid(l);
                if (b.coupled) {
                    r = l;
                    parse.Flags(l, envL, noiseL);
                    parse.Flags(r, envR, noiseR);
                    l.invfMode = r.invfMode = static_cast<int>(in.Get(2));
                    in.Get(2);
                    if (state_->headerFlag) in.Get(3);
                } else {
                    parse.Grid(r);
                    parse.Flags(l, envL, noiseL);
                    parse.Flags(r, envR, noiseR);
                    l.invfMode = static_cast<int>(in.Get(2));
                    r.invfMode = static_cast<int>(in.Get(2));
                    in.Get(4);
                    if (state_->headerFlag) in.Get(6);
                }
                if (parse.error.empty()) {
                    // Time deltas never cross a change between coupled and independent coding.
                    if (b.coupled != state_->lastCoupled) state_->previousValid[0] = state_->previousValid[1] = false;
                    if (b.coupled) {
                        parse.Envelopes(l, 0, envL, false);
                        parse.Noise(l, 0, noiseL, false);
                        parse.Envelopes(r, 1, envR, true);
                        parse.Noise(r, 1, noiseR, true);
                    } else {
                        parse.Envelopes(l, 0, envL, false);
                        parse.Envelopes(r, 1, envR, false);
                        parse.Noise(l, 0, noiseL, false);
                        parse.Noise(r, 1, noiseR, false);
                    }
                    parse.Sinusoids(l);
                    parse.Sinusoids(r);
                }
                in.Get(b.coupled ? 1 : 2);
                state_->lastCoupled = b.coupled;
            }
        }
        std::string error = parse.error;
        if (error.empty() && in.overrun) error = "element runs past its stated length";
        if (error.empty() && end - in.pos >= 8) error = "element shorter than its stated length";
        if (error.empty()) {
            Bits rest{frame.ancillary, end, in.pos};
            if (rest.Get(end - in.pos) != 0) error = "alignment bits not zero";
        }
        if (error.empty() && crc) {
            const int protectedBits = (b.channels == 2 ? 104 : 56) + (b.header ? 32 : 0);
            const int covered = std::min(protectedBits + 4, end - dataStart);
            if (Crc7(frame.ancillary, dataStart, covered) != static_cast<uint32_t>(crcField)) error = "CRC mismatch";
        }
        if (!error.empty()) {
            *state_ = saved;
            if (best.error == "no SBR block in the ancillary data") best.error = error;
            continue;
        }
        b.found = true;
        b.amplitudeResolution = state_->amplitudeResolution;
        b.midSideClass = state_->midSide;
        b.high.assign(state_->tables.high, state_->tables.high + state_->tables.highCount + 1);
        b.low.assign(state_->tables.low, state_->tables.low + state_->tables.lowCount + 1);
        b.noiseBands.assign(state_->noiseBorders, state_->noiseBorders + state_->noiseCount + 1);
        return b;
    }
    return best;
}
