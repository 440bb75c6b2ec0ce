// The "Add ICE Server" template as compiled into the module. Read from the
// resource, because the controls change their own styles once created
// (an edit trades WS_BORDER for an edge, a combo box hands WS_VSCROLL to
// its list).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

#include <string>
#include <vector>

#include "app/resource.h"

namespace {

struct CItem
{
    DWORD dwStyle;
    short x, y, cx, cy;
    int nID;
    std::wstring cls, text;
};

struct CTemplate
{
    DWORD dwStyle = 0;
    short cx = 0, cy = 0;
    WORD nPointSize = 0;
    std::wstring caption, font;
    std::vector<CItem> items;
};

// Reads a DLGTEMPLATEEX and its items in resource order.
class CTemplateReader
{
public:
    explicit CTemplateReader(const BYTE* pBase) : m_pBase(pBase), m_p(pBase) {}

    bool Read(CTemplate* pTemplate)
    {
        if (Word() != 1 || Word() != 0xFFFF) // version and signature of the extended form
            return false;
        Dword(); // help ID
        Dword(); // extended style
        pTemplate->dwStyle = Dword();
        WORD nItems = Word();
        Short();
        Short();
        pTemplate->cx = Short();
        pTemplate->cy = Short();
        SzOrOrd(); // menu
        SzOrOrd(); // class
        pTemplate->caption = SzOrOrd();
        if (pTemplate->dwStyle & DS_SETFONT)
        {
            pTemplate->nPointSize = Word();
            Word(); // weight
            Word(); // italic, character set
            pTemplate->font = SzOrOrd();
        }
        for (WORD i = 0; i < nItems; ++i)
        {
            Align();
            CItem item;
            Dword(); // help ID
            Dword(); // extended style
            item.dwStyle = Dword();
            item.x = Short();
            item.y = Short();
            item.cx = Short();
            item.cy = Short();
            item.nID = static_cast<int>(Dword());
            item.cls = SzOrOrd();
            item.text = SzOrOrd();
            m_p += Word(); // creation data
            pTemplate->items.push_back(item);
        }
        return true;
    }

private:
    WORD Word()
    {
        WORD w = 0;
        memcpy(&w, m_p, sizeof(w));
        m_p += sizeof(w);
        return w;
    }
    short Short() { return static_cast<short>(Word()); }
    DWORD Dword()
    {
        DWORD dw = 0;
        memcpy(&dw, m_p, sizeof(dw));
        m_p += sizeof(dw);
        return dw;
    }
    void Align() { m_p = m_pBase + ((m_p - m_pBase + 3) & ~3); }
    // A string, or an ordinal: predefined classes by their names.
    std::wstring SzOrOrd()
    {
        WORD w = Word();
        if (w == 0xFFFF)
        {
            switch (WORD nOrd = Word())
            {
            case 0x80: return L"Button";
            case 0x81: return L"Edit";
            case 0x82: return L"Static";
            case 0x85: return L"ComboBox";
            default: return L"#" + std::to_wstring(nOrd);
            }
        }
        std::wstring text;
        for (; w != 0; w = Word())
            text += static_cast<wchar_t>(w);
        return text;
    }

    const BYTE* m_pBase;
    const BYTE* m_p;
};

TEST(IceTemplate, MatchesTheDialogsLayout)
{
    HMODULE hModule = ::GetModuleHandleW(nullptr);
    HRSRC hRes = ::FindResourceW(hModule, MAKEINTRESOURCEW(IDD_ICE), MAKEINTRESOURCEW(5)); // RT_DIALOG
    ASSERT_NE(nullptr, hRes);
    const BYTE* pData = static_cast<const BYTE*>(::LockResource(::LoadResource(hModule, hRes)));
    ASSERT_NE(nullptr, pData);
    CTemplate tmpl;
    ASSERT_TRUE(CTemplateReader(pData).Read(&tmpl));

    EXPECT_EQ(DWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS), tmpl.dwStyle);
    EXPECT_EQ(L"Add ICE Server", tmpl.caption);
    EXPECT_EQ(L"MS Shell Dlg", tmpl.font);
    EXPECT_EQ(8, tmpl.nPointSize);
    EXPECT_EQ(279, tmpl.cx);
    EXPECT_EQ(86, tmpl.cy);

    // Creation order is tab order: the first tab stop, and so the first
    // focus, is the user name.
    const DWORD dwChild = WS_CHILD | WS_VISIBLE;
    const DWORD dwEdit = dwChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
    const CItem rgExpected[] = {
        {dwChild | WS_GROUP, 7, 10, 61, 8, IDC_STATIC, L"Static", L"STUN or TURN URI"},
        {dwChild | WS_GROUP, 7, 27, 52, 8, IDC_STATIC, L"Static", L"TURN username"},
        {dwEdit, 70, 25, 202, 14, IDC_ICE_USER, L"Edit", L""},
        {dwChild | WS_GROUP, 7, 45, 52, 8, IDC_STATIC, L"Static", L"TURN password"},
        {dwEdit, 70, 43, 202, 14, IDC_ICE_PASSWORD, L"Edit", L""},
        {dwChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 161, 65, 50, 14, IDOK, L"Button", L"OK"},
        {dwChild | WS_TABSTOP, 222, 65, 50, 14, IDCANCEL, L"Button", L"Cancel"},
        {dwChild | CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP, 70, 7, 202, 107, IDC_ICE_URI, L"ComboBox", L""},
    };
    ASSERT_EQ(ARRAYSIZE(rgExpected), tmpl.items.size());
    for (size_t i = 0; i < tmpl.items.size(); ++i)
    {
        const CItem& e = rgExpected[i];
        const CItem& a = tmpl.items[i];
        EXPECT_EQ(e.nID, a.nID) << i;
        EXPECT_EQ(e.cls, a.cls) << i;
        EXPECT_EQ(e.text, a.text) << i;
        EXPECT_EQ(e.dwStyle, a.dwStyle) << i << std::hex << ": style 0x" << a.dwStyle;
        EXPECT_EQ(e.x, a.x) << i;
        EXPECT_EQ(e.y, a.y) << i;
        EXPECT_EQ(e.cx, a.cx) << i;
        EXPECT_EQ(e.cy, a.cy) << i;
    }
}

} // namespace
