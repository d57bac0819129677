#include <gtest/gtest.h>

#include <sys/socket.h>

#include <chrono>
#include <cstring>
#include <mutex>

#include "MediaTestUtil.h"
#include "foundation/Version.h"
#include "media/Decoder_mp3PRO2.h"
#include "media/HTTPStream.h"
#include "media/Reader_HTTP.h"

namespace kelvar {
namespace {

using namespace kelvar::test;

std::string Path(const std::string& request) {
    const auto a = request.find(' ');
    const auto b = request.find(' ', a + 1);
    return request.substr(a + 1, b - a - 1);
}

void WaitRelease(TLoopbackServer& server) {
    while (!server.Release) std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

// Reads everything the reader gives until its end.
Bytes ReadToEnd(TReader_mp3HTTP& reader) {
    Bytes all;
    uint8_t buf[4096];
    WaitFor([&] {
        const int32_t n = reader.Read(buf, sizeof(buf));
        all.insert(all.end(), buf, buf + n);
        return reader.IsEOF();
    });
    return all;
}

struct THeadersSeen {
    std::mutex Lock;
    int Count = 0;
    THeaderList Last;
    void Hook(TReader_mp3HTTP& reader) {
        reader.OnHeaders = [this](TReader_mp3HTTP&, const THeaderList& headers) {
            std::lock_guard<std::mutex> lock(Lock);
            ++Count;
            Last = headers;
        };
    }
    int Seen() {
        std::lock_guard<std::mutex> lock(Lock);
        return Count;
    }
};

TEST(HttpAddress, SplitsAndResolves) {
    const TURLParts a = SplitURL("http://radio.example:8000/live/stream.mp3?x=1");
    EXPECT_EQ(a.Protocol, "http");
    EXPECT_EQ(a.Host, "radio.example");
    EXPECT_EQ(a.Port, "8000");
    EXPECT_EQ(a.Path, "/live/stream.mp3?x=1");
    const TURLParts b = SplitURL("http://user:pw@host");
    EXPECT_EQ(b.User, "user");
    EXPECT_EQ(b.Password, "pw");
    EXPECT_EQ(b.Host, "host");
    EXPECT_EQ(b.Port, "80");
    EXPECT_EQ(b.Path, "/");
    EXPECT_EQ(SplitURL("http://[::1]:9000/a").Host, "::1");
    EXPECT_EQ(SplitURL("http://[::1]:9000/a").Port, "9000");

    const std::string base = "http://h:81/dir/x.mp3?q";
    EXPECT_EQ(ResolveLocation(base, "http://other/y"), "http://other/y");
    EXPECT_EQ(ResolveLocation(base, "/abs"), "http://h:81/abs");
    EXPECT_EQ(ResolveLocation(base, "rel.mp3"), "http://h:81/dir/rel.mp3");
    EXPECT_EQ(ResolveLocation(base, "//cdn/z"), "http://cdn/z");
    EXPECT_EQ(ResolveLocation(base, "https://secure/z"), "");
    EXPECT_EQ(ResolveLocation(base, "  "), "");

    THeaderList headers;
    headers.Add("icy-name: Radio One ");
    headers.Add("Content-Type: audio/mpeg");
    EXPECT_EQ(headers.Values("ICY-NAME"), "Radio One");
    EXPECT_EQ(headers.Values("icy-metaint"), "");
}

TEST(HttpReader, SendsTheRequestAndDeliversTheBody) {
    Bytes body(50000);
    for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<uint8_t>(i * 13);
    TLoopbackServer server([&](int fd, const std::string&, int) {
        SendAll(fd, "ICY 200 OK\r\nicy-name: Radio\r\n\r\n");
        SendAll(fd, body.data(), body.size());
    });
    TReader_mp3HTTP reader;
    THeadersSeen seen;
    seen.Hook(reader);
    reader.Open("http://127.0.0.1:" + std::to_string(server.Port()));
    EXPECT_FALSE(reader.IsSeekable());
    EXPECT_EQ(reader.GetSize(), -1);
    EXPECT_EQ(reader.Seek(0), -1);
    EXPECT_EQ(ReadToEnd(reader), body);
    EXPECT_EQ(seen.Seen(), 1);
    EXPECT_EQ(seen.Last.Values("icy-name"), "Radio");
    const std::string request = server.Requests().at(0);
    const std::string expected =
        "GET / HTTP/1.0\r\nAccept: */*\r\nUser-Agent: Kelvar_Zorvik/" + std::string(KelvarVersion) +
        "\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) +
        "\r\nIcy-MetaData: 1\r\nPragma: no-cache,rate=1.000000,stream-time=0,stream-offset=0:0,"
        "request-context=123517064,max-duration=0\r\n\r\n";
    EXPECT_EQ(request.substr(0, expected.size()), expected);
    EXPECT_TRUE(reader.IsDead());
}

TEST(HttpReader, HostNamesAreLookedUp) {
    TLoopbackServer server([&](int fd, const std::string&, int) { SendAll(fd, "HTTP/1.0 200 OK\r\n\r\nbody"); });
    TReader_mp3HTTP reader;
    reader.Open("http://localhost:" + std::to_string(server.Port()) + "/");
    const Bytes body = ReadToEnd(reader);
    EXPECT_EQ(std::string(body.begin(), body.end()), "body");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_NE(server.Requests()[0].find("Host: localhost:" + std::to_string(server.Port()) + "\r\n"),
              std::string::npos);
}

TEST(HttpReader, HoldsPartialDataUntilTheStreamDies) {
    TLoopbackServer server([&](int fd, const std::string&, int) {
        SendAll(fd, "HTTP/1.0 200 OK\r\n\r\n");
        Bytes data(16384 + 4000, 7);
        SendAll(fd, data.data(), data.size());
        WaitRelease(server);
    });
    TReader_mp3HTTP reader;
    reader.Open(server.Url("/s.mp3"));
    uint8_t buf[16384];
    ASSERT_TRUE(WaitFor([&] { return reader.GetAvailable() >= 16384; }));
    EXPECT_EQ(reader.Read(buf, 16384), 16384);
    // 4000 bytes buffered, 4096 asked: nothing while the stream lives.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(reader.Read(buf, 4096), 0);
    EXPECT_FALSE(reader.IsEOF());
    server.Release = true;
    int32_t got = 0;
    ASSERT_TRUE(WaitFor([&] {
        got += reader.Read(buf, 4096);
        return reader.IsEOF();
    }));
    EXPECT_EQ(got, 4000);
}

TEST(HttpReader, BufferLevelClimbsOnceTheHeadersAreIn) {
    std::atomic<int> step{0};
    TLoopbackServer server([&](int fd, const std::string&, int) {
        while (step < 1) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        SendAll(fd, "HTTP/1.0 200 OK\r\n\r\n");
        Bytes half(8192, 1);
        SendAll(fd, half.data(), half.size());
        while (step < 2) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        SendAll(fd, half.data(), half.size());
        WaitRelease(server);
    });
    TReader_mp3HTTP reader;
    reader.Open(server.Url());
    ASSERT_TRUE(WaitFor([&] { return server.Connections() == 1; }));
    EXPECT_EQ(reader.GetBufferPercent(), 100);
    step = 1;
    EXPECT_TRUE(WaitFor([&] { return reader.GetBufferPercent() == 50; }));
    step = 2;
    EXPECT_TRUE(WaitFor([&] { return reader.GetBufferPercent() == 100 && reader.GetAvailable() == 16384; }));
}

TEST(HttpReader, FollowsRedirectsWithACap) {
    TLoopbackServer server([&](int fd, const std::string& request, int) {
        const std::string path = Path(request);
        if (path == "/a")
            SendAll(fd, "HTTP/1.0 302 Found\r\nLocation: b\r\nx-step: 1\r\n\r\n");
        else if (path == "/b")
            SendAll(fd,
                    "HTTP/1.0 301 Moved\r\nLocation: http://127.0.0.1:" + std::to_string(server.Port()) + "/c\r\n\r\n");
        else if (path == "/c")
            SendAll(fd, "HTTP/1.0 200 OK\r\nx-final: yes\r\n\r\nbody");
        else
            SendAll(fd, "HTTP/1.0 302 Found\r\nLocation: /loop\r\n\r\n");
    });
    {
        TReader_mp3HTTP reader;
        THeadersSeen seen;
        seen.Hook(reader);
        reader.Open(server.Url("/a"));
        const Bytes body = ReadToEnd(reader);
        EXPECT_EQ(std::string(body.begin(), body.end()), "body");
        EXPECT_EQ(seen.Seen(), 1);
        EXPECT_EQ(seen.Last.Values("x-final"), "yes");
        EXPECT_EQ(seen.Last.Values("x-step"), "");
        const auto requests = server.Requests();
        ASSERT_EQ(requests.size(), 3u);
        EXPECT_EQ(Path(requests[1]), "/b");
        EXPECT_EQ(Path(requests[2]), "/c");
    }
    {
        TReader_mp3HTTP reader;
        reader.Open(server.Url("/loop"));
        EXPECT_TRUE(ReadToEnd(reader).empty());
        EXPECT_EQ(server.Connections(), 3 + 1 + THTTPStream::MaxRedirects);
    }
}

TEST(HttpReader, ErrorAnswersAndHostileHeadersKillTheStream) {
    const std::string longLine(20000, 'x');
    std::string flood = "HTTP/1.0 200 OK\r\n";
    for (int i = 0; i < 500; ++i) flood += "x-h" + std::to_string(i) + ": v\r\n";
    const std::string answers[] = {
        "HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\n<html>not here</html>",
        "HTTP/1.1 500 Internal Server Error\r\n\r\noops",
        "ICY 401 Service Unavailable\r\n\r\n",
        "HTTP/1.0 302 Found\r\n\r\nno location",
        "garbage without status\r\n\r\nbody",
        "HTTP/1.0 200 OK\r\n" + longLine,
        flood + "\r\nbody",
    };
    for (const auto& answer : answers) {
        TLoopbackServer server([&](int fd, const std::string&, int) {
            SendAll(fd, answer);
            WaitRelease(server);
        });
        TReader_mp3HTTP reader;
        THeadersSeen seen;
        seen.Hook(reader);
        reader.Open(server.Url());
        EXPECT_TRUE(ReadToEnd(reader).empty()) << answer.substr(0, 40);
        EXPECT_EQ(seen.Seen(), 0) << answer.substr(0, 40);
    }
}

TEST(HttpReader, RefusedStreamIsLoggedWithItsStatusLine) {
    TLogCapture log;
    TLoopbackServer server([&](int fd, const std::string&, int) { SendAll(fd, "HTTP/1.0 404 Not Found\r\n\r\n"); });
    TReader_mp3HTTP reader;
    reader.Open(server.Url("/gone.mp3"));
    EXPECT_TRUE(ReadToEnd(reader).empty());
    EXPECT_TRUE(log.Contains("HTTP/1.0 404 Not Found"));
    TReader_mp3HTTP bad;
    bad.Open("http://127.0.0.1:x1/");
    EXPECT_TRUE(WaitFor([&] { return bad.IsEOF(); }));
    EXPECT_TRUE(log.Contains("Invalid port: x1"));
}

TEST(HttpReader, UnreachableOrInvalidTargetsAreDead) {
    // A port that was just free: nothing listens there.
    int freePort = 0;
    {
        TLoopbackServer probe([](int, const std::string&, int) {});
        freePort = probe.Port();
    }
    for (const std::string& address : {"http://127.0.0.1:" + std::to_string(freePort) + "/",
                                       std::string("http://127.0.0.1:abc/x.mp3"), std::string("http://127.0.0.1:0/")}) {
        TReader_mp3HTTP reader;
        reader.Open(address);
        EXPECT_TRUE(WaitFor([&] { return reader.IsEOF(); })) << address;
        uint8_t buf[16];
        EXPECT_EQ(reader.Read(buf, 16), 0);
    }
}

TEST(HttpReader, CloseDoesNotWaitForAStalledServer) {
    TLoopbackServer server([&](int, const std::string&, int) { WaitRelease(server); });
    for (int sent = 0; sent < 2; ++sent) {
        TReader_mp3HTTP reader;
        reader.Open(server.Url());
        ASSERT_TRUE(WaitFor([&] { return server.Connections() == sent + 1; }));
        EXPECT_FALSE(reader.IsDead());
        EXPECT_FALSE(reader.IsEOF());
        reader.Close();  // returns although no header line ever comes
        EXPECT_TRUE(reader.IsDead());
    }
}

// The MP3 stream of the fixture with a metadata block after every Interval bytes.
Bytes WithIcyMetadata(const Bytes& audio, size_t interval, const std::vector<std::string>& blocks) {
    Bytes out;
    size_t pos = 0, block = 0;
    while (pos < audio.size()) {
        const size_t n = std::min(interval, audio.size() - pos);
        out.insert(out.end(), audio.begin() + static_cast<ptrdiff_t>(pos),
                   audio.begin() + static_cast<ptrdiff_t>(pos + n));
        pos += n;
        if (n < interval) break;
        const std::string text = block < blocks.size() ? blocks[block] : std::string();
        ++block;
        const size_t length = (text.size() + 15) / 16;
        out.push_back(static_cast<uint8_t>(length));
        Bytes padded(length * 16, 0);
        if (!text.empty()) std::memcpy(padded.data(), text.data(), text.size());
        out.insert(out.end(), padded.begin(), padded.end());
    }
    return out;
}

TEST(HttpMp3, IcyStreamGivesAudioAndStreamTitles) {
    const auto pcm = Tone(44100, 2, 3000, 440, 10000);
    const Bytes mp3 = EncodeMp3(pcm, 44100, 2, 128);
    const Bytes stream =
        WithIcyMetadata(mp3, 16000, {"StreamTitle='Artist - Song';StreamUrl='';", "", "StreamUrl='http://x';"});
    TLoopbackServer server([&](int fd, const std::string&, int) {
        SendAll(fd, "ICY 200 OK\r\nicy-name: Radio\r\nicy-br: 96\r\nicy-metaint: 16000\r\n\r\n");
        WaitRelease(server);
        SendAll(fd, stream.data(), stream.size());
    });
    TDecoder_mp3PRO decoder;
    ASSERT_TRUE(decoder.Open(server.Url("/live")));
    EXPECT_FALSE(decoder.IsSeekable());
    // A level goes out only when a read finds the pre-buffer filling (it is off until the headers
    // are in): the body is held back until one did, or a fast stream would never show one.
    std::vector<IMetaDataPtr> early;
    ASSERT_TRUE(WaitFor([&] {
        decoder.Decode(nullptr, [&](const IMetaDataPtr& e) { early.push_back(e); });
        return !early.empty();
    }));
    server.Release = true;
    TDecoded out = DecodeAll(decoder);
    out.Events.insert(out.Events.begin(), early.begin(), early.end());
    EXPECT_NEAR(BytesToMs(out.Format, static_cast<int32_t>(out.Pcm.size())), 3000, 80);
    EXPECT_EQ(decoder.GetStationName(), "Radio");

    std::vector<std::shared_ptr<IMetaCaption>> captions;
    std::vector<int> levels;
    for (const auto& e : out.Events) {
        if (auto c = std::dynamic_pointer_cast<IMetaCaption>(e)) captions.push_back(c);
        if (auto b = std::dynamic_pointer_cast<IMetaBuffer>(e)) {
            EXPECT_EQ(e->GetKind(), 3);
            EXPECT_EQ(e->GetTime(), 0);
            levels.push_back(b->GetValue());
        }
    }
    ASSERT_EQ(captions.size(), 1u);
    EXPECT_EQ(captions[0]->GetCaption(), "Artist - Song (Radio)");
    EXPECT_EQ(captions[0]->GetKind(), 1);
    EXPECT_NEAR(static_cast<double>(captions[0]->GetTime()), 1000, 120);  // 16000 bytes at 128 kbit/s
    // Levels go out only when they change; 100 once the first audio was read.
    ASSERT_FALSE(levels.empty());
    EXPECT_NE(std::find(levels.begin(), levels.end(), 100), levels.end());
    for (size_t i = 1; i < levels.size(); ++i) EXPECT_NE(levels[i], levels[i - 1]);
    EXPECT_EQ(decoder.Seek(1000), 0);
}

TEST(HttpMp3, SeekingAStreamKeepsItsMetadataFraming) {
    const Bytes mp3 = EncodeMp3(Tone(44100, 2, 3000, 440, 10000), 44100, 2, 128);
    // The largest block (255 x 16 bytes), so that its first part lies in readable chunks while
    // the rest is still to come; the station writes in a Windows code page.
    const std::string title = "StreamTitle='Caf\xE9 - Song';StreamUrl='" + std::string(4000, 'x') + "';";
    const Bytes stream = WithIcyMetadata(mp3, 20000, {title});
    const size_t firstPart = 20000 + 1 + 480;
    std::atomic<int> step{0};
    TLoopbackServer server([&](int fd, const std::string&, int) {
        SendAll(fd,
                "ICY 200 OK\r\nicy-name: R\xE4"
                "dio\r\nicy-metaint: 20000\r\n\r\n");
        SendAll(fd, stream.data(), firstPart);
        while (step < 1) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        SendAll(fd, stream.data() + firstPart, stream.size() - firstPart);
    });
    TDecoder_mp3PRO decoder;
    ASSERT_TRUE(decoder.Open(server.Url("/live")));
    TDecoded out;
    const TOnPCM onPCM = [&](const void* buffer, int32_t bytes, const TWaveFormat& format) {
        out.Pcm.insert(out.Pcm.end(), static_cast<const uint8_t*>(buffer), static_cast<const uint8_t*>(buffer) + bytes);
        out.Format = format;
    };
    const TOnMeta onMeta = [&](const IMetaDataPtr& event) { out.Events.push_back(event); };
    // All 20000 audio bytes decoded; the next calls take the length byte and wait for the block.
    ASSERT_TRUE(WaitFor([&] {
        decoder.Decode(onPCM, onMeta);
        return !out.Pcm.empty() && BytesToMs(out.Format, static_cast<int32_t>(out.Pcm.size())) >= 1150;
    }));
    for (int i = 0; i < 3; ++i) decoder.Decode(onPCM, onMeta);
    EXPECT_EQ(decoder.Seek(0), 0);
    step = 1;
    const TDecoded rest = DecodeAll(decoder);
    std::vector<std::string> captions;
    for (const auto& e : rest.Events)
        if (auto c = std::dynamic_pointer_cast<IMetaCaption>(e)) captions.push_back(c->GetCaption());
    ASSERT_EQ(captions.size(), 1u);
    EXPECT_EQ(captions[0], "Caf\u00e9 - Song (R\u00e4dio)");
    EXPECT_NEAR(BytesToMs(out.Format, static_cast<int32_t>(out.Pcm.size() + rest.Pcm.size())), 3000, 150);
}

}  // namespace
}  // namespace kelvar

namespace kelvar {
namespace {

using namespace kelvar::test;

TEST(HttpMp3, StreamsThatFailEndTheSongCleanly) {
    const Bytes mp3 = EncodeMp3(Tone(44100, 2, 2000, 440, 10000), 44100, 2, 128);
    const Bytes half(mp3.begin(), mp3.begin() + static_cast<ptrdiff_t>(mp3.size() / 2));
    TLoopbackServer server([&](int fd, const std::string& request, int) {
        if (request.find("/dies") != std::string::npos) {
            SendAll(fd, "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n");
            SendAll(fd, half.data(), half.size());  // and the server goes away mid-song
        } else {
            SendAll(fd, "HTTP/1.0 404 Not Found\r\n\r\n<html>404</html>");
        }
    });
    {
        TDecoder_mp3PRO decoder;
        decoder.Open(server.Url("/dies.mp3"));
        const TDecoded out = DecodeAll(decoder);
        EXPECT_TRUE(decoder.IsEOF());
        EXPECT_NEAR(BytesToMs(out.Format, static_cast<int32_t>(out.Pcm.size())), 1000, 150);
    }
    {
        TDecoder_mp3PRO decoder;
        decoder.Open(server.Url("/missing.mp3"));
        const TDecoded out = DecodeAll(decoder);
        EXPECT_TRUE(decoder.IsEOF());
        EXPECT_TRUE(out.Pcm.empty());
    }
}

}  // namespace
}  // namespace kelvar
