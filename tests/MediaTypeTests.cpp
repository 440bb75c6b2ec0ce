// The owning media type and the task-memory types that pins and enumerators
// hand out: every format block allocated is freed once, every pUnk
// reference taken is released once.
#include <gtest/gtest.h>

#include "dshow/MediaFormat.h"
#include "dshow/MediaType.h"
#include "tests/support/RefCounted.h"

#include <utility>

namespace {

// Counts the task-memory blocks allocated and freed while it is registered.
// The platform refuses to revoke a spy while a block it saw is still out,
// and keeps using it then: there is one, for the whole process.
class CTaskMemSpy : public IMallocSpy
{
public:
    static CTaskMemSpy& Instance()
    {
        static CTaskMemSpy s_spy;
        return s_spy;
    }

    HRESULT Register()
    {
        m_cAlloc = m_cFree = 0;
        return ::CoRegisterMallocSpy(this);
    }
    ULONG Allocated() const { return m_cAlloc; }
    ULONG Outstanding() const { return m_cAlloc - m_cFree; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = (riid == IID_IUnknown || riid == IID_IMallocSpy) ? static_cast<IMallocSpy*>(this) : nullptr;
        return *ppv != nullptr ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP_(SIZE_T) PreAlloc(SIZE_T cbRequest) override { return cbRequest; }
    STDMETHODIMP_(void*) PostAlloc(void* pActual) override
    {
        if (pActual != nullptr)
            ++m_cAlloc;
        return pActual;
    }
    STDMETHODIMP_(void*) PreFree(void* pRequest, BOOL fSpyed) override
    {
        if (pRequest != nullptr && fSpyed)
            ++m_cFree;
        return pRequest;
    }
    STDMETHODIMP_(void) PostFree(BOOL) override {}
    STDMETHODIMP_(SIZE_T) PreRealloc(void* pRequest, SIZE_T cbRequest, void** ppNewRequest, BOOL) override
    {
        *ppNewRequest = pRequest;
        return cbRequest;
    }
    STDMETHODIMP_(void*) PostRealloc(void* pActual, BOOL) override { return pActual; }
    STDMETHODIMP_(void*) PreGetSize(void* pRequest, BOOL) override { return pRequest; }
    STDMETHODIMP_(SIZE_T) PostGetSize(SIZE_T cbActual, BOOL) override { return cbActual; }
    STDMETHODIMP_(void*) PreDidAlloc(void* pRequest, BOOL) override { return pRequest; }
    STDMETHODIMP_(int) PostDidAlloc(void*, BOOL, int fActual) override { return fActual; }
    STDMETHODIMP_(void) PreHeapMinimize() override {}
    STDMETHODIMP_(void) PostHeapMinimize() override {}

private:
    CTaskMemSpy() = default;

    ULONG m_cAlloc = 0;
    ULONG m_cFree = 0;
};

// A video type with a 4-byte format block of the given bytes and pUnk.
void MakeType(CMediaType* pmt, BYTE bFirst, IUnknown* pUnk)
{
    pmt->majortype = MEDIATYPE_Video;
    pmt->subtype = MEDIASUBTYPE_RGB32;
    pmt->formattype = FORMAT_None;
    BYTE* pb = pmt->AllocFormat(4);
    ASSERT_TRUE(pb != nullptr);
    for (BYTE i = 0; i < 4; i++)
        pb[i] = static_cast<BYTE>(bFirst + i);
    pmt->pUnk = pUnk;
    if (pUnk != nullptr)
        pUnk->AddRef();
}

} // namespace

TEST(MediaTypeTest, CopiesAndMovesOwnTheirBlockAndReference)
{
    CRefCounted unk, unkOther;
    CTaskMemSpy& spy = CTaskMemSpy::Instance();
    ASSERT_EQ(S_OK, spy.Register());
    {
        CMediaType mt;
        MakeType(&mt, 1, &unk);
        ASSERT_EQ(1u, unk.Refs());

        CMediaType copy(mt);
        EXPECT_EQ(2u, unk.Refs());
        EXPECT_NE(mt.pbFormat, copy.pbFormat);
        EXPECT_TRUE(copy.Equals(&mt));

        CMediaType assigned;
        MakeType(&assigned, 9, &unkOther);
        assigned = mt; // lets go of its own block and reference
        EXPECT_EQ(3u, unk.Refs());
        EXPECT_EQ(0u, unkOther.Refs());
        EXPECT_TRUE(assigned.Equals(&mt));

        BYTE* pbBefore = mt.pbFormat;
        const CMediaType& self = mt;
        mt = self;
        EXPECT_EQ(pbBefore, mt.pbFormat);
        EXPECT_EQ(3u, unk.Refs());

        CMediaType moved(std::move(copy)); // takes the block itself
        EXPECT_EQ(3u, unk.Refs());
        EXPECT_TRUE(copy.pbFormat == nullptr && copy.cbFormat == 0 && copy.pUnk == nullptr);
        EXPECT_TRUE(moved.Equals(&mt));

        CMediaType target;
        MakeType(&target, 7, &unkOther);
        BYTE* pbMoved = moved.pbFormat;
        target = std::move(moved);
        EXPECT_EQ(pbMoved, target.pbFormat);
        EXPECT_EQ(0u, unkOther.Refs());
        EXPECT_EQ(3u, unk.Refs());
        EXPECT_TRUE(moved.pbFormat == nullptr && moved.pUnk == nullptr);

        EXPECT_EQ(S_OK, assigned.Set(nullptr)); // empties
        EXPECT_EQ(2u, unk.Refs());
        EXPECT_FALSE(assigned.IsValid());
        EXPECT_TRUE(assigned.pbFormat == nullptr && assigned.cbFormat == 0);
    }
    EXPECT_EQ(0u, unk.Refs());
    EXPECT_EQ(0u, unkOther.Refs());
    EXPECT_GT(spy.Allocated(), 0u);
    EXPECT_EQ(0u, spy.Outstanding());
    EXPECT_EQ(S_OK, ::CoRevokeMallocSpy()); // nothing left out
}

TEST(MediaTypeTest, TaskMemoryTypesAreHandedOutTakenOverAndFreed)
{
    CRefCounted unk;
    CTaskMemSpy& spy = CTaskMemSpy::Instance();
    ASSERT_EQ(S_OK, spy.Register());
    {
        CMediaType mt;
        MakeType(&mt, 1, &unk);

        // Out to a caller, as IEnumMediaTypes::Next hands it out, and freed.
        AM_MEDIA_TYPE* pmt = nullptr;
        ASSERT_EQ(S_OK, mt.CopyTo(&pmt));
        EXPECT_EQ(2u, unk.Refs());
        EXPECT_NE(mt.pbFormat, pmt->pbFormat);
        DeleteMediaType(pmt);
        EXPECT_EQ(1u, unk.Refs());
        DeleteMediaType(nullptr);
        EXPECT_EQ(E_POINTER, mt.CopyTo(nullptr));

        // Taken over: the block and reference move, the structure is freed.
        pmt = CreateMediaType(&mt);
        ASSERT_TRUE(pmt != nullptr);
        BYTE* pbHandedOut = pmt->pbFormat;
        CMediaType taken;
        MakeType(&taken, 5, nullptr);
        taken.Attach(pmt);
        EXPECT_EQ(pbHandedOut, taken.pbFormat);
        EXPECT_EQ(2u, unk.Refs());
        EXPECT_TRUE(taken.Equals(&mt));
        taken.Attach(nullptr);
        EXPECT_EQ(1u, unk.Refs());
        EXPECT_FALSE(taken.IsValid());

        // A caller's own structure, as IPin::ConnectionMediaType fills it.
        AM_MEDIA_TYPE filled = {};
        ASSERT_EQ(S_OK, CopyMediaType(&filled, &mt));
        EXPECT_EQ(2u, unk.Refs());
        FreeMediaType(filled);
        EXPECT_EQ(1u, unk.Refs());
        EXPECT_TRUE(filled.pbFormat == nullptr && filled.cbFormat == 0 && filled.pUnk == nullptr);
        EXPECT_EQ(MEDIATYPE_Video, filled.majortype); // the rest is left alone
    }
    EXPECT_EQ(0u, unk.Refs());
    EXPECT_EQ(0u, spy.Outstanding());
    EXPECT_EQ(S_OK, ::CoRevokeMallocSpy()); // nothing left out
}

TEST(MediaTypeTest, EqualityAndFormatBlocks)
{
    CMediaType mt;
    MakeType(&mt, 1, nullptr);

    auto changed = [&](void (*pfnChange)(CMediaType*)) {
        CMediaType other(mt);
        pfnChange(&other);
        return other.Equals(&mt);
    };
    EXPECT_TRUE(changed([](CMediaType*) {}));
    EXPECT_TRUE(changed([](CMediaType* p) { p->lSampleSize = 99; })); // not compared
    EXPECT_FALSE(changed([](CMediaType* p) { p->subtype = MEDIASUBTYPE_RGB24; }));
    EXPECT_FALSE(changed([](CMediaType* p) { p->formattype = FORMAT_VideoInfo; }));
    EXPECT_FALSE(changed([](CMediaType* p) { p->pbFormat[3] ^= 1; }));
    EXPECT_FALSE(changed([](CMediaType* p) { p->cbFormat = 3; }));
    EXPECT_FALSE(mt.Equals(nullptr));

    // A new block replaces the old one and starts zero-filled.
    BYTE* pb = mt.AllocFormat(sizeof(WAVEFORMATEX));
    ASSERT_TRUE(pb != nullptr);
    EXPECT_EQ(sizeof(WAVEFORMATEX), mt.cbFormat);
    for (ULONG i = 0; i < mt.cbFormat; i++)
        EXPECT_EQ(0, pb[i]) << i;
}

TEST(MediaTypeTest, FormatBlockIsReadOnlyWhenItHoldsItsStructure)
{
    struct
    {
        const GUID* pFormat;
        ULONG cb;
        bool bVideoInfo, bVideoInfo2, bWave;
    } cases[] = {
        {&FORMAT_VideoInfo, sizeof(VIDEOINFOHEADER), true, false, false},
        {&FORMAT_VideoInfo, sizeof(VIDEOINFOHEADER) - 1, false, false, false},
        {&FORMAT_VideoInfo2, sizeof(VIDEOINFOHEADER2), false, true, false},
        {&FORMAT_VideoInfo2, sizeof(VIDEOINFOHEADER), false, false, false},
        {&FORMAT_WaveFormatEx, sizeof(WAVEFORMATEX), false, false, true},
        {&FORMAT_WaveFormatEx, 16, false, false, false}, // the older PCMWAVEFORMAT
        {&FORMAT_None, sizeof(VIDEOINFOHEADER2), false, false, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.cb);
        CMediaType mt;
        mt.formattype = *c.pFormat;
        ASSERT_TRUE(mt.AllocFormat(c.cb) != nullptr);
        EXPECT_EQ(c.bVideoInfo, GetVideoInfo(&mt) != nullptr);
        EXPECT_EQ(c.bVideoInfo2, GetVideoInfo2(&mt) != nullptr);
        EXPECT_EQ(c.bWave, GetWaveFormat(&mt) != nullptr);
    }
    // A size without a block is no block.
    AM_MEDIA_TYPE mt = {};
    mt.formattype = FORMAT_VideoInfo;
    mt.cbFormat = sizeof(VIDEOINFOHEADER);
    EXPECT_TRUE(GetVideoInfo(&mt) == nullptr);
    EXPECT_TRUE(GetVideoInfo(nullptr) == nullptr);
}
