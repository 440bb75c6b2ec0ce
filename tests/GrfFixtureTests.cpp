// The saved-graph library against the real files of the fixtures folder:
// their streams read into what SOURCES.md says they hold, and write back to
// the same bytes.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>
#include <dvdmedia.h>
#include <mmreg.h>
#include <uuids.h>

#include <cstring>

#include "grf/GrfReader.h"
#include "grf/GrfWriter.h"
#include "tests/GrfTestData.h"

namespace {

std::u16string U16(const wchar_t* psz)
{
    return reinterpret_cast<const char16_t*>(psz);
}

struct FixtureFilter
{
    int nId;
    const wchar_t* pszName;
    const wchar_t* pszClsid;
    const wchar_t* pszSource;  // null: neither SOURCE nor SINK
};

struct Fixture
{
    const wchar_t* pszFile;
    size_t cbStream;
    size_t cConnections;
    const wchar_t* pszClockClass;  // null: CLOCK 1 0000
    std::vector<FixtureFilter> filters;
};

const wchar_t kSystemClock[] = L"{E436EBB1-524F-11CE-9F53-0020AF0BA770}";

// As SOURCES.md lists them.
const std::vector<Fixture>& Fixtures()
{
    static const std::vector<Fixture> fixtures = {
        {L"roxio-gamecap-capture-mpeg2ts-h264-vmr.grf", 8948, 9, kSystemClock,
         {{1, L"Roxio GameCAP HD PRO Crossbar", L"{71F96460-78F3-11D0-A18C-00A0C9118956}", nullptr},
          {2, L"Video capture", L"{17CCA71B-ECD7-11D0-B908-00A0C9223196}", nullptr},
          {3, L"Infinite Pin Tee Filter", L"{F8388A40-D5BB-11D0-BE5A-0080C706568E}", nullptr},
          {4, L"Demuxer", L"{AFB6C280-2C41-11D3-8A60-0000F81E0E4A}", nullptr},
          {5, L"Video Decoder", L"{BAB8BB43-ECB1-40CA-B4D6-E2BF07B98574}", nullptr},
          {6, L"Sample Grabber", L"{C1F400A0-3F08-11D3-9F0B-006008039E37}", nullptr},
          {7, L"Color Converter Device", L"{E6D268BC-AADD-4DAA-BF74-FB666AD0BFAF}", nullptr},
          {8, L"Audio Decoder", L"{139251BC-2000-4ED3-9D69-3629AE048345}", nullptr},
          {9, L"VideoRenderer", L"{B87BEB7B-8D29-423F-AE4D-6582C10175AC}", nullptr},
          {10, L"Sound Renderer", L"{79376820-07D0-11CF-A24D-0020AFD79767}", nullptr}}},
        {L"roxio-gamecap-preview-mpeg2ts-h264-vmr.grf", 8414, 8, kSystemClock,
         {{1, L"Roxio GameCAP HD PRO Crossbar", L"{71F96460-78F3-11D0-A18C-00A0C9118956}", nullptr},
          {2, L"Video capture", L"{17CCA71B-ECD7-11D0-B908-00A0C9223196}", nullptr},
          {3, L"Demuxer", L"{AFB6C280-2C41-11D3-8A60-0000F81E0E4A}", nullptr},
          {4, L"Video Decoder", L"{BAB8BB43-ECB1-40CA-B4D6-E2BF07B98574}", nullptr},
          {5, L"Sample Grabber", L"{C1F400A0-3F08-11D3-9F0B-006008039E37}", nullptr},
          {6, L"Color Converter Device", L"{E6D268BC-AADD-4DAA-BF74-FB666AD0BFAF}", nullptr},
          {7, L"Audio Decoder", L"{139251BC-2000-4ED3-9D69-3629AE048345}", nullptr},
          {8, L"VideoRenderer", L"{B87BEB7B-8D29-423F-AE4D-6582C10175AC}", nullptr},
          {9, L"Sound Renderer", L"{79376820-07D0-11CF-A24D-0020AFD79767}", nullptr}}},
        {L"flipcam-rgb24-csc-vmr.grf", 1914, 2, kSystemClock,
         {{1, L"FlipCam", L"{F89EB97B-2A47-49B5-A1B1-5E530517CDF6}", nullptr},
          {2, L"Color Space Converter", L"{1643E180-90F5-11CE-97D5-00AA0055595A}", nullptr},
          {3, L"Video Renderer", L"{B87BEB7B-8D29-423F-AE4D-6582C10175AC}", nullptr}}},
        {L"virtual-audio-sniffer-pcm-dsound.grf", 950, 1, kSystemClock,
         {{1, L"Virtual audio sniffer1", L"{8E14549B-DB61-4309-AFA1-3578E927E935}", nullptr},
          {2, L"Default DirectSound Device", L"{79376820-07D0-11CF-A24D-0020AFD79767}", nullptr}}},
        {L"uscreencapture-source-null-name.grf", 270, 0, nullptr,
         {{1, L"UScreenCapture", L"{3755D805-2E56-4A74-BD0F-13C7493A35C8}", L"(null)"}}},
        {L"pushsource-desktop-single-filter-clock-0000.grf", 260, 0, nullptr,
         {{1, L"PushSource Desktop Filter", L"{4EA6930A-2C8A-4AE6-A561-56E4B5044438}", nullptr}}},
        {L"screen-capture-recorder-single-filter-system-clock.grf", 334, 0, kSystemClock,
         {{1, L"screen-capture-recorder-pin1", L"{4EA6930A-2C8A-4AE6-A561-56E4B5044439}", nullptr}}},
    };
    return fixtures;
}

std::vector<uint8_t> FixtureStream(const wchar_t* pszFile)
{
    std::vector<uint8_t> bytes;
    EXPECT_EQ(S_OK, ReadGraphStream(GrfFixturePath(pszFile), &bytes)) << pszFile;
    return bytes;
}

grf::Graph ReadFixture(const wchar_t* pszFile)
{
    const std::vector<uint8_t> bytes = FixtureStream(pszFile);
    grf::Graph graph;
    grf::ReadError error;
    EXPECT_EQ(0, grf::ReadStream(bytes.data(), bytes.size(), &graph, &error))
        << pszFile << ": " << error.pszWhat << " at " << error.nOffset;
    return graph;
}

TEST(GrfFixtures, EachReadsAndWritesBackToTheSameBytes)
{
    for (const Fixture& fixture : Fixtures())
    {
        const std::vector<uint8_t> bytes = FixtureStream(fixture.pszFile);
        ASSERT_EQ(fixture.cbStream, bytes.size()) << fixture.pszFile;
        grf::Graph graph;
        ASSERT_EQ(0, grf::ReadStream(bytes.data(), bytes.size(), &graph)) << fixture.pszFile;
        std::vector<uint8_t> written;
        ASSERT_EQ(0, grf::WriteStream(graph, &written)) << fixture.pszFile;
        EXPECT_TRUE(written == bytes) << fixture.pszFile;
    }
}

TEST(GrfFixtures, DescriptionsMatchTheirSources)
{
    for (const Fixture& fixture : Fixtures())
    {
        SCOPED_TRACE(testing::Message() << fixture.pszFile);
        const grf::Graph graph = ReadFixture(fixture.pszFile);
        EXPECT_EQ(3, graph.nVersion);
        EXPECT_EQ(fixture.cConnections, graph.connections.size());
        ASSERT_EQ(fixture.filters.size(), graph.filters.size());
        for (size_t i = 0; i < fixture.filters.size(); ++i)
        {
            const FixtureFilter& expected = fixture.filters[i];
            const grf::Filter& filter = graph.filters[i];
            EXPECT_EQ(expected.nId, filter.nId);
            EXPECT_TRUE(U16(expected.pszName) == filter.name) << expected.pszName;
            EXPECT_EQ(GuidFromText(expected.pszClsid), filter.clsid) << expected.pszName;
            EXPECT_EQ(expected.pszSource ? grf::FileKind::Source : grf::FileKind::None, filter.fileKind);
            EXPECT_TRUE(U16(expected.pszSource ? expected.pszSource : L"") == filter.fileName);
        }

        EXPECT_TRUE(graph.clock.bPresent);
        EXPECT_EQ(1, graph.clock.nFlag);
        if (fixture.pszClockClass)
        {
            EXPECT_EQ(grf::ClockKind::Class, graph.clock.kind);
            EXPECT_EQ(ToGrfGuid(CLSID_SystemClock), graph.clock.clsid);
        }
        else
        {
            EXPECT_EQ(grf::ClockKind::Default, graph.clock.kind);
        }
    }
}

TEST(GrfFixtures, AudioConnectionCarriesItsWaveFormat)
{
    const grf::Graph graph = ReadFixture(L"virtual-audio-sniffer-pcm-dsound.grf");
    ASSERT_EQ(2u, graph.filters.size());
    EXPECT_EQ(0u, graph.filters[0].data.size());
    EXPECT_EQ(40u, graph.filters[1].data.size());

    ASSERT_EQ(1u, graph.connections.size());
    const grf::Connection& c = graph.connections[0];
    EXPECT_EQ(1, c.nFromId);
    EXPECT_TRUE(u"1" == c.fromPin);
    EXPECT_EQ(2, c.nToId);
    EXPECT_TRUE(u"Audio Input pin (rendered)" == c.toPin);
    EXPECT_EQ(ToGrfGuid(MEDIATYPE_Audio), c.mt.majortype);
    EXPECT_EQ(ToGrfGuid(MEDIASUBTYPE_PCM), c.mt.subtype);
    EXPECT_TRUE(c.mt.bFixedSizeSamples);
    EXPECT_FALSE(c.mt.bTemporalCompression);
    EXPECT_EQ(88200u, c.mt.lSampleSize);
    EXPECT_EQ(ToGrfGuid(FORMAT_WaveFormatEx), c.mt.formattype);
    ASSERT_EQ(sizeof(WAVEFORMATEX), c.mt.format.size());
    WAVEFORMATEX wfx;
    std::memcpy(&wfx, c.mt.format.data(), sizeof(wfx));
    EXPECT_EQ(WAVE_FORMAT_PCM, wfx.wFormatTag);
    EXPECT_EQ(2, wfx.nChannels);
    EXPECT_EQ(44100u, wfx.nSamplesPerSec);
    EXPECT_EQ(16, wfx.wBitsPerSample);
    EXPECT_EQ(0, wfx.cbSize);
}

TEST(GrfFixtures, VideoConnectionsCarryTheirVideoInfo)
{
    struct Expected
    {
        int nFrom;
        const char16_t* pszFromPin;
        int nTo;
        const char16_t* pszToPin;
        GUID subtype;
        WORD nBitCount;
    };
    const Expected rgExpected[] = {
        {1, u"1", 2, u"In", MEDIASUBTYPE_RGB24, 24},
        {2, u"Out", 3, u"VMR Input0", MEDIASUBTYPE_RGB32, 32},
    };
    const grf::Graph graph = ReadFixture(L"flipcam-rgb24-csc-vmr.grf");
    ASSERT_EQ(2u, graph.connections.size());
    for (size_t i = 0; i < 2; ++i)
    {
        const Expected& e = rgExpected[i];
        const grf::Connection& c = graph.connections[i];
        SCOPED_TRACE(testing::Message() << "connection " << i);
        EXPECT_EQ(e.nFrom, c.nFromId);
        EXPECT_TRUE(e.pszFromPin == c.fromPin);
        EXPECT_EQ(e.nTo, c.nToId);
        EXPECT_TRUE(e.pszToPin == c.toPin);
        EXPECT_EQ(ToGrfGuid(MEDIATYPE_Video), c.mt.majortype);
        EXPECT_EQ(ToGrfGuid(e.subtype), c.mt.subtype);
        EXPECT_EQ(ToGrfGuid(FORMAT_VideoInfo), c.mt.formattype);
        ASSERT_EQ(sizeof(VIDEOINFOHEADER), c.mt.format.size());
        VIDEOINFOHEADER vih;
        std::memcpy(&vih, c.mt.format.data(), sizeof(vih));
        EXPECT_EQ(1280, vih.bmiHeader.biWidth);
        EXPECT_EQ(720, vih.bmiHeader.biHeight);
        EXPECT_EQ(e.nBitCount, vih.bmiHeader.biBitCount);
        EXPECT_EQ(vih.bmiHeader.biSizeImage, c.mt.lSampleSize);
        EXPECT_EQ(1280u * 720u * e.nBitCount / 8, c.mt.lSampleSize);
    }
}

// Every proper prefix of a real stream is refused, says where within the
// bytes it was given, and leaves no partial description behind.
TEST(GrfFixtures, EveryTruncationIsRefused)
{
    for (const Fixture& fixture : Fixtures())
    {
        const std::vector<uint8_t> bytes = FixtureStream(fixture.pszFile);
        ASSERT_FALSE(bytes.empty()) << fixture.pszFile;
        for (size_t cb = 0; cb < bytes.size(); ++cb)
        {
            grf::Graph graph;
            graph.filters.resize(1);
            grf::ReadError error;
            ASSERT_EQ(grf::kInvalidFormat, grf::ReadStream(bytes.data(), cb, &graph, &error))
                << fixture.pszFile << " cut at " << cb;
            ASSERT_LE(error.nOffset, cb) << fixture.pszFile << " cut at " << cb;
            ASSERT_TRUE(graph == grf::Graph()) << fixture.pszFile << " cut at " << cb;
        }
    }
}

} // namespace
