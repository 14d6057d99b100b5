#include "platform/com/com.h"

#include <gtest/gtest.h>

#include "testsupport/test_env.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <random>

using namespace com;

TEST(ComGuid, ParsesAndFormatsTheBracedForm)
{
    auto g = GuidFromString("{66666666-7c77-4362-ABD9-4B06077A63BC}");
    ASSERT_TRUE(g);
    EXPECT_EQ(g->Data1, 0x66666666u);
    EXPECT_EQ(g->Data2, 0x7C77);
    EXPECT_EQ(g->Data3, 0x4362);
    EXPECT_EQ(g->Data4[0], 0xAB);
    EXPECT_EQ(g->Data4[7], 0xBC);
    EXPECT_EQ(GuidToString(*g), "{66666666-7C77-4362-ABD9-4B06077A63BC}");
    for (const char* bad :
         {"", "66666666-7C77-4362-ABD9-4B06077A63BC", "{66666666-7C77-4362-ABD9-4B06077A63B}",
          "{66666666-7C77-4362-ABD94B06077A63BCC}", "{6666666G-7C77-4362-ABD9-4B06077A63BC}",
          "{66666666-7C77-4362-ABD9-4B06077A63BC}x"})
        EXPECT_FALSE(GuidFromString(bad)) << bad;
}

TEST(ComBstr, KeepsLengthPrefixAndTerminator)
{
    BSTR s = SysAllocString(L"abc");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 3u);
    EXPECT_EQ(SysStringByteLen(s), 3 * sizeof(OLECHAR));
    uint32_t prefix;
    std::memcpy(&prefix, reinterpret_cast<uint8_t*>(s) - 4, 4);
    EXPECT_EQ(prefix, 3 * sizeof(OLECHAR));
    EXPECT_EQ(s[3], L'\0');
    SysFreeString(s);

    const OLECHAR embedded[] = {L'a', L'\0', L'b'};
    BSTR e = SysAllocStringLen(embedded, 3);
    EXPECT_EQ(SysStringLen(e), 3u);
    EXPECT_EQ(e[2], L'b');
    SysFreeString(e);
    BSTR zeros = SysAllocStringLen(nullptr, 4);
    EXPECT_EQ(SysStringLen(zeros), 4u);
    EXPECT_EQ(zeros[0], 0);
    SysFreeString(zeros);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
}

TEST(ComVariant, CopyDuplicatesOwnedValuesAndClearFreesThem)
{
    VARIANT a, b;
    VariantInit(&a);
    VariantInit(&b);
    a.vt = VT_BSTR;
    a.bstrVal = SysAllocString(L"text");
    ASSERT_EQ(VariantCopy(&b, &a), S_OK);
    EXPECT_NE(b.bstrVal, a.bstrVal);
    EXPECT_EQ(std::wcscmp(b.bstrVal, L"text"), 0);
    VariantClear(&a);
    EXPECT_EQ(a.vt, VT_EMPTY);
    EXPECT_EQ(std::wcscmp(b.bstrVal, L"text"), 0); // still owned by b
    VariantClear(&b);

    SAFEARRAY* arr = SafeArrayCreateVector(VT_BSTR, 0, 2);
    static_cast<BSTR*>(arr->pvData)[0] = SysAllocString(L"x");
    a.vt = VT_ARRAY | VT_BSTR;
    a.parray = arr;
    ASSERT_EQ(VariantCopy(&b, &a), S_OK);
    EXPECT_NE(b.parray, a.parray);
    EXPECT_EQ(std::wcscmp(static_cast<BSTR*>(b.parray->pvData)[0], L"x"), 0);
    EXPECT_EQ(static_cast<BSTR*>(b.parray->pvData)[1], nullptr);
    VariantClear(&a);
    VariantClear(&b);

    // By reference: a copy refers to the same storage and clearing frees nothing.
    int32_t held = 5;
    a.vt = VT_I4 | VT_BYREF;
    a.plVal = &held;
    ASSERT_EQ(VariantCopy(&b, &a), S_OK);
    EXPECT_EQ(b.plVal, &held);
    ASSERT_EQ(VariantCopyInd(&b, &a), S_OK);
    EXPECT_EQ(b.vt, VT_I4);
    EXPECT_EQ(b.lVal, 5);
    VariantClear(&a);
    EXPECT_EQ(held, 5);
}

TEST(ComVariant, ChangeTypeConvertsOrReportsMismatchAndOverflow)
{
    VARIANT v, out;
    VariantInit(&v);
    VariantInit(&out);
    v.vt = VT_R8;
    v.dblVal = 2.5;
    ASSERT_EQ(VariantChangeType(&out, &v, 0, VT_I4), S_OK);
    EXPECT_EQ(out.lVal, 2); // half to even
    v.dblVal = 3e10;
    EXPECT_EQ(VariantChangeType(&out, &v, 0, VT_I4), DISP_E_OVERFLOW);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(L" 42 ");
    ASSERT_EQ(VariantChangeType(&out, &v, 0, VT_I4), S_OK);
    EXPECT_EQ(out.lVal, 42);
    VariantClear(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(L"4x");
    EXPECT_EQ(VariantChangeType(&out, &v, 0, VT_I4), DISP_E_TYPEMISMATCH);
    VariantClear(&v);
    v.vt = VT_I4;
    v.lVal = -1;
    EXPECT_EQ(VariantChangeType(&out, &v, 0, VT_UI4), DISP_E_OVERFLOW);
    ASSERT_EQ(VariantChangeType(&out, &v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(std::wcscmp(out.bstrVal, L"-1"), 0);
    ASSERT_EQ(VariantChangeType(&out, &v, 0, VT_BOOL), S_OK); // frees the previous BSTR
    EXPECT_EQ(out.boolVal, VARIANT_TRUE);
    // A by-reference VARIANT is followed.
    VARIANT inner;
    inner.vt = VT_R8;
    inner.dblVal = 7.0;
    v.vt = VT_VARIANT | VT_BYREF;
    v.pvarVal = &inner;
    ASSERT_EQ(VariantChangeType(&out, &v, 0, VT_I4), S_OK);
    EXPECT_EQ(out.lVal, 7);
    v.vt = VT_UNKNOWN;
    v.punkVal = nullptr;
    EXPECT_EQ(VariantChangeType(&out, &v, 0, VT_I4), DISP_E_TYPEMISMATCH);
    VariantClear(&out);
}

TEST(ComSafeArray, BoundsLocksAndElementOwnership)
{
    SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, 16);
    ASSERT_NE(a, nullptr);
    int32_t lo = -1, hi = -1;
    EXPECT_EQ(SafeArrayGetLBound(a, 1, &lo), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(a, 1, &hi), S_OK);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 15);
    EXPECT_EQ(SafeArrayGetUBound(a, 2, &hi), DISP_E_BADINDEX);
    void* data;
    ASSERT_EQ(SafeArrayAccessData(a, &data), S_OK);
    static_cast<uint8_t*>(data)[15] = 9;
    EXPECT_EQ(SafeArrayDestroy(a), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayUnaccessData(a), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(a), E_UNEXPECTED);
    EXPECT_EQ(SafeArrayDestroy(a), S_OK);

    SAFEARRAY* empty = SafeArrayCreateVector(VT_UI1, 1, 0);
    EXPECT_EQ(SafeArrayGetUBound(empty, 1, &hi), S_OK);
    EXPECT_EQ(hi, 0); // upper bound below the lower bound: no elements
    SafeArrayDestroy(empty);
    EXPECT_EQ(SafeArrayCreateVector(VT_UNKNOWN + 100, 0, 1), nullptr);
}

TEST(ComErrorInfo, SlotIsPerThreadAndTakenOnce)
{
    IErrorInfo* info = CreateErrorInfoObject(GUID_NULL, L"src", L"went wrong");
    ASSERT_EQ(SetErrorInfo(0, info), S_OK);
    info->Release();
    IErrorInfo* got = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &got), S_OK);
    BSTR d = nullptr;
    got->GetDescription(&d);
    EXPECT_EQ(std::wcscmp(d, L"went wrong"), 0);
    SysFreeString(d);
    got->Release();
    EXPECT_EQ(GetErrorInfo(0, &got), S_FALSE);
    EXPECT_EQ(got, nullptr);
}

// Random and cut frames never make the decoder read out of bounds or leak.
TEST(ComWire, MalformedValuesAreRejected)
{
    Writer w;
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ARRAY | VT_BSTR;
    v.parray = SafeArrayCreateVector(VT_BSTR, 0, 3);
    static_cast<BSTR*>(v.parray->pvData)[1] = SysAllocString(L"mid");
    w.Variant(v);
    VariantClear(&v);
    const auto bytes = w.Bytes();
    for (size_t cut = 0; cut < bytes.size(); ++cut)
    {
        Reader r(bytes.data(), cut);
        VARIANT out;
        r.Variant(&out);
        EXPECT_FALSE(r.ok());
        VariantClear(&out);
    }
    Reader whole(bytes.data(), bytes.size());
    VARIANT out;
    whole.Variant(&out);
    ASSERT_TRUE(whole.ok());
    EXPECT_EQ(std::wcscmp(static_cast<BSTR*>(out.parray->pvData)[1], L"mid"), 0);
    VariantClear(&out);

    // Found by fuzzing: an array whose presence byte is neither 0 nor 1 was cleared through
    // the stale upper half of its pointer; VariantInit now clears every byte.
    {
        VARIANT stale;
        std::memset(static_cast<void*>(&stale), 0xAB, sizeof stale);
        VariantInit(&stale);
        const auto* raw = reinterpret_cast<const uint8_t*>(&stale);
        EXPECT_TRUE(std::all_of(raw, raw + sizeof stale, [](uint8_t b) { return b == 0; }));
        const uint8_t absent[] = {0x05, 0x20, 0x00}, bad[] = {0x05, 0x20, 0x93};
        Reader a(absent, sizeof absent);
        a.Variant(&out);
        ASSERT_TRUE(a.ok());
        EXPECT_EQ(out.vt, VT_ARRAY | VT_R8);
        EXPECT_EQ(out.parray, nullptr);
        VariantClear(&out);
        Reader b(bad, sizeof bad);
        b.Variant(&out);
        EXPECT_FALSE(b.ok());
        EXPECT_EQ(out.vt, VT_EMPTY);

        // Also found by fuzzing: an array of variants by reference pointed at the held
        // variant instead of its array, so writing it back read a type word as a pointer.
        const uint8_t byref[] = {0x0C, 0x60, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0x03, 0x00, 42, 0, 0, 0};
        std::deque<VARIANT> holders;
        Reader c(byref, sizeof byref);
        c.Variant(&out, &holders);
        ASSERT_TRUE(c.ok());
        ASSERT_EQ(out.vt, VT_BYREF | VT_ARRAY | VT_VARIANT);
        SAFEARRAY* held = *out.pparray;
        ASSERT_NE(held, nullptr);
        EXPECT_EQ(static_cast<VARIANT*>(held->pvData)[0].lVal, 42);
        Writer back;
        back.Variant(out);
        EXPECT_EQ(back.Bytes(), std::vector<uint8_t>(byref, byref + sizeof byref));
        for (auto& h : holders)
            VariantClear(&h);
    }

    std::mt19937 rng(7);
    for (int i = 0; i < 2000; ++i)
    {
        std::vector<uint8_t> junk(rng() % 40);
        for (auto& b : junk)
            b = uint8_t(rng());
        Reader r(junk.data(), junk.size());
        std::deque<VARIANT> holders;
        VARIANT x;
        r.Variant(&x, &holders);
        VariantClear(&x);
        for (auto& h : holders)
            VariantClear(&h);
        Reader s(junk.data(), junk.size());
        SysFreeString(s.Bstr());
        Reader t(junk.data(), junk.size());
        EXPECT_EQ(t.Interface(IUnknown::kIid), nullptr); // no connection: always refused
    }
}

TEST(ComRegistry, ClassAndTypeDescriptionFiles)
{
    testsupport::ScopedTestEnv env;
    const CLSID c = *GuidFromString("{11111111-2222-3333-4444-555555555555}");
    EXPECT_FALSE(LookupServer(c));
    ASSERT_TRUE(RegisterServer(c, "/usr/bin/server"));
    EXPECT_EQ(LookupServer(c).value_or(""), "/usr/bin/server");
    EXPECT_TRUE(UnregisterServer(c));
    EXPECT_FALSE(LookupServer(c));
    EXPECT_FALSE(RegisterServer(c, ""));
    ASSERT_TRUE(RegisterTypeDescription("TrilloWrapper", "desc"));
    EXPECT_EQ(LoadTypeDescription("TrilloWrapper").value_or(""), "desc");
    EXPECT_TRUE(UnregisterTypeDescription("TrilloWrapper"));
    EXPECT_FALSE(LoadTypeDescription("TrilloWrapper"));
    EXPECT_FALSE(RegisterTypeDescription("../x", "d"));
}
