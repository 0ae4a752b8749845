/* The resources of the built executable, read back through the calls the program uses. */
#include "exe_module.h"
#include "reminder.h"
#include "resource.h"
#include "skin.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

std::string Name(LPCSTR name)
{
    return IS_INTRESOURCE(name) ? "#" + std::to_string((uintptr_t) name) : std::string(name);
}

struct Found {
    std::set<std::string> entries; /* "type/name" */
    std::set<WORD> languages;
};

BOOL CALLBACK OnLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR found)
{
    ((Found *) found)->languages.insert(language);
    return TRUE;
}

BOOL CALLBACK OnName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR found)
{
    ((Found *) found)->entries.insert(Name(type) + "/" + Name(name));
    EnumResourceLanguagesA(module, type, name, OnLanguage, found);
    return TRUE;
}

BOOL CALLBACK OnType(HMODULE module, LPSTR type, LONG_PTR found)
{
    EnumResourceNamesA(module, type, OnName, found);
    return TRUE;
}

TEST(Resources, ExactlyTheNamedSetInUsEnglish)
{
    HMODULE module = ProgramResources();
    ASSERT_TRUE(module);
    Found found;
    EnumResourceTypesA(module, OnType, (LONG_PTR) &found);

    std::set<std::string> expected = {
        "WAVE/ALARM",    "#1/#19",        "#2/KAVRIBMP",  "#2/KAVRIWARN",       "#4/QUILMAREN",
        "#5/#103",       "#5/#104",       "#5/#106",       "#12/KAVRICUR", "#14/KAVRICON",       "#14/WARNING",
        "#14/#2",        "#16/#1",        "#24/#1",       "#24/IDR_RT_MANIFEST", "#11/#1",
    };
    expected.insert("#14/KAVRITRAY");
    for (int id = 1; id <= 26; id++)
        if (id != IDCUR_HAND) /* a cursor's number */
            expected.insert("#3/#" + std::to_string(id));
    for (const char *scale : {"125", "150", "175", "200"})
        expected.insert({std::string("#2/KAVRIBMP") + scale, std::string("#2/KAVRIWARN") + scale});
    EXPECT_EQ(found.entries, expected);
    EXPECT_EQ(found.languages, std::set<WORD>{1033});
}

TEST(Resources, IconGroupsListTheirImagesInOrder)
{
    HMODULE module = ProgramResources();
    const int fileSizes[] = {48, 32, 16, 48, 32, 16}, fileBits[] = {4, 4, 4, 8, 8, 8};
    const int traySizes[] = {16, 20, 24, 28, 32, 40, 48}, trayBits[] = {8, 8, 8, 8, 8, 8, 8};
    const struct {
        LPCSTR name;
        int firstImage, count;
        const int *sizes, *bits;
    } groups[] = {{MAKEINTRESOURCEA(2), IDI_GROUP2_FIRST, 6, fileSizes, fileBits},
                  {"WARNING", IDI_WARNING_FIRST, 6, fileSizes, fileBits},
                  {"KAVRICON", IDI_KAVRICON_FIRST, 6, fileSizes, fileBits},
                  {"KAVRITRAY", IDI_KAVRITRAY_FIRST, 7, traySizes, trayBits}}; /* every small-icon size, 100-300 % */

    for (const auto &g : groups) {
        SCOPED_TRACE(Name(g.name));
        const int *sizes = g.sizes, *bits = g.bits;
        std::string dir = ResourceBytes(module, g.name, (LPCSTR) RT_GROUP_ICON);
        ASSERT_EQ(dir.size(), 6u + g.count * 14);
        const BYTE *p = (const BYTE *) dir.data();
        EXPECT_EQ(*(const WORD *) (p + 2), 1);
        ASSERT_EQ(*(const WORD *) (p + 4), g.count);
        for (int i = 0; i < g.count; i++) {
            const BYTE *e = p + 6 + 14 * i;
            EXPECT_EQ(e[0], sizes[i]);
            EXPECT_EQ(e[1], sizes[i]);
            EXPECT_EQ(e[2], bits[i] == 4 ? 16 : 0);
            EXPECT_EQ(*(const WORD *) (e + 6), bits[i]);
            WORD id = *(const WORD *) (e + 12);
            EXPECT_EQ(id, g.firstImage + i);

            std::string image = ResourceBytes(module, MAKEINTRESOURCEA(id), (LPCSTR) RT_ICON);
            EXPECT_EQ(image.size(), *(const DWORD *) (e + 8));
            const BITMAPINFOHEADER *h = (const BITMAPINFOHEADER *) image.data();
            EXPECT_EQ(h->biWidth, sizes[i]);
            EXPECT_EQ(h->biHeight, 2 * sizes[i]);
            EXPECT_EQ(h->biBitCount, bits[i]);

            HICON icon = (HICON) LoadImageA(module, g.name, IMAGE_ICON, sizes[i], sizes[i], 0);
            ICONINFO info;
            ASSERT_TRUE(icon && GetIconInfo(icon, &info));
            BITMAP mask;
            GetObjectA(info.hbmMask, sizeof mask, &mask);
            EXPECT_EQ(mask.bmWidth, sizes[i]);
            DeleteObject(info.hbmMask);
            DeleteObject(info.hbmColor);
            DestroyIcon(icon);
        }
    }
    EXPECT_TRUE(LoadIconA(module, "KAVRICON"));
    EXPECT_FALSE(LoadIconA(module, "KAVRICONSM"));
}

TEST(Resources, HandCursorIsMonochrome32WithItsHotSpot)
{
    HMODULE module = ProgramResources();
    std::string group = ResourceBytes(module, "KAVRICUR", (LPCSTR) RT_GROUP_CURSOR);
    ASSERT_EQ(group.size(), 6u + 14);
    EXPECT_EQ(*(const WORD *) (group.data() + 2), 2);
    EXPECT_EQ(*(const WORD *) (group.data() + 18), IDCUR_HAND);

    std::string image = ResourceBytes(module, MAKEINTRESOURCEA(IDCUR_HAND), (LPCSTR) RT_CURSOR);
    ASSERT_GT(image.size(), 4u + 40);
    EXPECT_EQ(*(const WORD *) image.data(), 12);
    EXPECT_EQ(*(const WORD *) (image.data() + 2), 9);
    const BITMAPINFOHEADER *h = (const BITMAPINFOHEADER *) (image.data() + 4);
    EXPECT_EQ(h->biWidth, 32);
    EXPECT_EQ(h->biHeight, 64);
    EXPECT_EQ(h->biBitCount, 1);

    HCURSOR cursor = LoadCursorA(module, "KAVRICUR");
    ICONINFO info;
    ASSERT_TRUE(cursor && GetIconInfo(cursor, &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(info.xHotspot, 12u);
    EXPECT_EQ(info.yHotspot, 9u);
    EXPECT_FALSE(info.hbmColor);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
}

TEST(Resources, MenuHasFileWithSetupHelpSeparatorExit)
{
    HMENU menu = LoadMenuA(ProgramResources(), "QUILMAREN");
    ASSERT_TRUE(menu);
    char text[64];
    ASSERT_EQ(GetMenuItemCount(menu), 1);
    GetMenuStringA(menu, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&File");

    HMENU popup = GetSubMenu(menu, 0);
    const struct {
        const char *text;
        UINT id;
    } items[] = {{"&Setup", IDM_SETUP}, {"&Help", IDM_HELP}, {nullptr, 0}, {"E&xit", IDM_EXIT}};
    ASSERT_EQ(GetMenuItemCount(popup), 4);
    for (int i = 0; i < 4; i++) {
        if (!items[i].text) {
            EXPECT_TRUE(GetMenuState(popup, i, MF_BYPOSITION) & MF_SEPARATOR);
            continue;
        }
        GetMenuStringA(popup, i, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, items[i].text);
        EXPECT_EQ(GetMenuItemID(popup, i), items[i].id);
    }
    DestroyMenu(menu);
}

/* ---- dialog templates, parsed field by field */

struct Control {
    std::string cls; /* "#0x80" style ordinals or names */
    DWORD id;
    std::string text;
    short x, y, cx, cy;
    DWORD style, exStyle, helpId;
    WORD extra;
};

struct Template {
    DWORD helpId, exStyle, style;
    short x, y, cx, cy;
    std::string menu, cls, title, font;
    WORD points, weight;
    BYTE italic, charset;
    std::vector<Control> controls;
};

struct Reader {
    const BYTE *p;
    WORD Word() { WORD v = *(const WORD *) p; p += 2; return v; }
    DWORD Dword() { DWORD v = *(const DWORD *) p; p += 4; return v; }
    BYTE Byte() { return *p++; }
    std::string Text()
    {
        std::string s;
        for (WORD c; (c = Word()) != 0;)
            s += (char) c;
        return s;
    }
    std::string TextOrOrdinal()
    {
        if (*(const WORD *) p == 0xFFFF) {
            p += 2;
            char ordinal[16];
            wsprintfA(ordinal, "#0x%x", Word());
            return ordinal;
        }
        return Text();
    }
    void Align(const BYTE *base) { p += (4 - (p - base) % 4) % 4; }
};

Template ParseTemplate(const std::string &bytes)
{
    Template t;
    const BYTE *base = (const BYTE *) bytes.data();
    Reader r{base};
    EXPECT_EQ(r.Word(), 1);
    EXPECT_EQ(r.Word(), 0xFFFF);
    t.helpId = r.Dword();
    t.exStyle = r.Dword();
    t.style = r.Dword();
    WORD count = r.Word();
    t.x = (short) r.Word(); t.y = (short) r.Word(); t.cx = (short) r.Word(); t.cy = (short) r.Word();
    t.menu = r.TextOrOrdinal();
    t.cls = r.TextOrOrdinal();
    t.title = r.Text();
    t.points = r.Word();
    t.weight = r.Word();
    t.italic = r.Byte();
    t.charset = r.Byte();
    t.font = r.Text();
    for (int i = 0; i < count; i++) {
        r.Align(base);
        Control c;
        c.helpId = r.Dword();
        c.exStyle = r.Dword();
        c.style = r.Dword();
        c.x = (short) r.Word(); c.y = (short) r.Word(); c.cx = (short) r.Word(); c.cy = (short) r.Word();
        c.id = r.Dword();
        c.cls = r.TextOrOrdinal();
        c.text = r.TextOrOrdinal();
        c.extra = r.Word();
        r.p += c.extra;
        t.controls.push_back(c);
    }
    return t;
}

const char *const Button = "#0x80", *const Static = "#0x82", *const ComboBox = "#0x85";
const DWORD ChildVisible = WS_CHILD | WS_VISIBLE;
const DWORD Combo = ChildVisible | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
const DWORD Label = ChildVisible | SS_LEFT | WS_GROUP;
const DWORD Link = ChildVisible | SS_RIGHT | WS_GROUP;

void ExpectTemplate(int id, const std::vector<Control> &expected)
{
    SCOPED_TRACE("dialog " + std::to_string(id));
    std::string bytes = ResourceBytes(ProgramResources(), MAKEINTRESOURCEA(id), (LPCSTR) RT_DIALOG);
    ASSERT_FALSE(bytes.empty());
    Template t = ParseTemplate(bytes);
    EXPECT_EQ(t.style, 0x80000048u);
    EXPECT_EQ(t.exStyle, (DWORD) WS_EX_TOPMOST);
    EXPECT_EQ(t.helpId, 0u);
    EXPECT_EQ(t.x, 22);
    EXPECT_EQ(t.y, 17);
    EXPECT_EQ(t.cx, 171);
    EXPECT_EQ(t.cy, 161);
    EXPECT_EQ(t.menu, "");
    EXPECT_EQ(t.cls, "");
    EXPECT_EQ(t.title, "");
    EXPECT_EQ(t.font, "MS Shell Dlg");
    EXPECT_EQ(t.points, 8);
    EXPECT_EQ(t.weight, 400);
    EXPECT_EQ(t.italic, 0);
    EXPECT_EQ(t.charset, 0);
    ASSERT_EQ(t.controls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); i++) {
        const Control &a = t.controls[i], &e = expected[i];
        SCOPED_TRACE("control " + std::to_string(i + 1));
        EXPECT_EQ(a.cls, e.cls);
        EXPECT_EQ(a.id, e.id);
        EXPECT_EQ(a.text, e.text);
        EXPECT_EQ(a.x, e.x);
        EXPECT_EQ(a.y, e.y);
        EXPECT_EQ(a.cx, e.cx);
        EXPECT_EQ(a.cy, e.cy);
        EXPECT_EQ(a.style, e.style) << std::hex << a.style;
        EXPECT_EQ(a.exStyle, 0u);
        EXPECT_EQ(a.helpId, 0u);
        EXPECT_EQ(a.extra, 0);
    }
}

TEST(Resources, SetupTemplateFieldByField)
{
    ExpectTemplate(IDD_SETUP, {
        {ComboBox, IDC_FREQUENCY, "", 82, 50, 26, 85, Combo, 0, 0, 0},
        {ComboBox, IDC_HOURS, "", 82, 97, 26, 85, Combo, 0, 0, 0},
        {ComboBox, IDC_MINUTES, "", 110, 97, 26, 85, Combo, 0, 0, 0},
        {Button, IDOK, "OK", 71, 119, 34, 12, ChildVisible | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 0, 0, 0},
        {Button, IDCANCEL, "Cancel", 107, 119, 34, 12, ChildVisible | BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 0, 0, 0},
        {Button, 0xFFFFFFFF, "Frequency:", 24, 22, 117, 46, ChildVisible | BS_GROUPBOX, 0, 0, 0},
        {Button, 0xFFFFFFFF, "Time:", 24, 69, 117, 46, ChildVisible | BS_GROUPBOX, 0, 0, 0},
        {Static, 0xFFFFFFFF, "Warning every:", 32, 53, 49, 8, Label, 0, 0, 0},
        {Static, 0xFFFFFFFF, "Warning time:", 32, 100, 44, 8, Label, 0, 0, 0},
        {Static, 0xFFFFFFFF, "Days", 110, 53, 17, 8, Label, 0, 0, 0},
        {Static, 0xFFFFFFFF, "Filter cleaning warning period.", 32, 38, 102, 10, Label, 0, 0, 0},
        {Static, 0xFFFFFFFF, "Time of day to display warning.", 32, 84, 102, 10, Label, 0, 0, 0},
        {Static, IDC_LINK, LINK_ADDRESS, 67, 142, 84, 8, Link, 0, 0, 0},
    });
}

TEST(Resources, WarningTemplateHasOnlyOkAndLink)
{
    ExpectTemplate(IDD_WARNING, {
        {Button, IDOK, "OK", 107, 119, 34, 12, ChildVisible | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 0, 0, 0},
        {Static, IDC_LINK, LINK_ADDRESS, 67, 142, 84, 8, Link, 0, 0, 0},
    });
}

/* ---- bitmaps */

const BITMAPINFOHEADER *Header(const std::string &bytes)
{
    return (const BITMAPINFOHEADER *) bytes.data();
}

TEST(Resources, SetupSkinIs8BitWithOneMagentaEntryAtCornersAndLattice)
{
    std::string bytes = ResourceBytes(ProgramResources(), "KAVRIBMP", (LPCSTR) RT_BITMAP);
    ASSERT_GE(bytes.size(), 40u + 1024 + 250 * 252);
    const BITMAPINFOHEADER *h = Header(bytes);
    EXPECT_EQ(h->biSize, 40u);
    EXPECT_EQ(h->biWidth, 250);
    EXPECT_EQ(h->biHeight, 250); /* bottom-up */
    EXPECT_EQ(h->biBitCount, 8);
    EXPECT_EQ(h->biCompression, (DWORD) BI_RGB);

    const RGBQUAD *table = (const RGBQUAD *) (bytes.data() + 40);
    for (int i = 0; i < 256; i++) {
        bool magenta = table[i].rgbRed == 255 && table[i].rgbGreen == 0 && table[i].rgbBlue == 255;
        EXPECT_EQ(magenta, i == 253) << "entry " << i;
    }

    const BYTE *rows = (const BYTE *) bytes.data() + 40 + 1024;
    auto at = [&](int x, int y) { return rows[(249 - y) * 252 + x]; };
    for (POINT p : {POINT{0, 0}, POINT{249, 0}, POINT{0, 249}, POINT{249, 249}, POINT{2, 2}, POINT{247, 247}})
        EXPECT_EQ(at(p.x, p.y), 253) << p.x << "," << p.y;
    EXPECT_NE(at(125, 5), 253);

    /* Plus marks of five key pixels; centres every 6 across, every 3 down, odd rows shifted by 3. */
    const int ox = 14, oy = 34;
    int marks = 0;
    for (int y = oy; y < 200; y += 3)
        for (int x = ox + 3 * (((y - oy) / 3) % 2); x < 236; x += 6) {
            int key = (at(x, y) == 253) + (at(x - 1, y) == 253) + (at(x + 1, y) == 253) + (at(x, y - 1) == 253) +
                      (at(x, y + 1) == 253);
            EXPECT_EQ(key, 5) << "mark at " << x << "," << y;
            EXPECT_NE(at(x - 1, y - 1), 253);
            EXPECT_NE(at(x + 1, y + 1), 253);
            marks++;
        }
    EXPECT_GT(marks, 2000);
}

TEST(Resources, WarningSkinIs24BitWithGreenCornersOnly)
{
    std::string bytes = ResourceBytes(ProgramResources(), "KAVRIWARN", (LPCSTR) RT_BITMAP);
    const BITMAPINFOHEADER *h = Header(bytes);
    ASSERT_EQ(bytes.size(), 40u + 250 * 752);
    EXPECT_EQ(h->biWidth, 250);
    EXPECT_EQ(h->biHeight, 250);
    EXPECT_EQ(h->biBitCount, 24);
    EXPECT_EQ(h->biCompression, (DWORD) BI_RGB);

    const BYTE *rows = (const BYTE *) bytes.data() + 40;
    auto green = [&](int x, int y) {
        const BYTE *p = rows + (249 - y) * 752 + 3 * x;
        return p[0] == 0 && p[1] == 255 && p[2] == 0;
    };
    int corners = 0, elsewhere = 0;
    for (int y = 0; y < 250; y++)
        for (int x = 0; x < 250; x++)
            if (green(x, y))
                ((x < 20 || x >= 230) && (y < 20 || y >= 230) ? corners : elsewhere)++;
    EXPECT_TRUE(green(0, 0) && green(249, 0) && green(0, 249) && green(249, 249));
    EXPECT_GT(corners, 4 * 10);
    EXPECT_EQ(elsewhere, 0);
}

TEST(Resources, SkinsLoadThroughTheProgramsLoader)
{
    const struct {
        LPCSTR name;
        bool palette;
    } skins[] = {{"KAVRIBMP", true}, {"KAVRIWARN", false}};
    for (const auto &s : skins) {
        HPALETTE palette;
        HBITMAP bitmap = LoadSkinBitmap(s.name, ProgramResources(), &palette);
        ASSERT_TRUE(bitmap) << s.name;
        BITMAP info;
        GetObjectA(bitmap, sizeof info, &info);
        EXPECT_EQ(info.bmWidth, 250);
        EXPECT_EQ(info.bmHeight, 250);
        EXPECT_EQ(palette != NULL, s.palette) << s.name;
        if (palette) {
            EXPECT_EQ(GetPaletteEntries(palette, 0, 0, NULL), 256u);
        }
        DeleteObject(bitmap);
        DeleteObject(palette);
    }
    HPALETTE palette = (HPALETTE) 1;
    EXPECT_FALSE(LoadSkinBitmap("NOSUCHSKIN", ProgramResources(), &palette));
    EXPECT_FALSE(palette);
}

/* ---- sound, manifests, version */

TEST(Resources, AlarmIsMonoPcmWithPadBeforeData)
{
    std::string wave = ResourceBytes(ProgramResources(), "ALARM", "WAVE");
    ASSERT_GT(wave.size(), 44u);
    EXPECT_EQ(wave.substr(0, 4), "RIFF");
    EXPECT_EQ(*(const DWORD *) (wave.data() + 4), wave.size() - 8);
    EXPECT_EQ(wave.substr(8, 4), "WAVE");

    std::vector<std::string> order;
    const char *samples = nullptr;
    DWORD dataSize = 0;
    for (size_t at = 12; at + 8 <= wave.size();) {
        std::string id = wave.substr(at, 4);
        DWORD size = *(const DWORD *) (wave.data() + at + 4);
        order.push_back(id);
        if (id == "fmt ") {
            const WORD *f = (const WORD *) (wave.data() + at + 8);
            EXPECT_EQ(f[0], WAVE_FORMAT_PCM);
            EXPECT_EQ(f[1], 1);
            EXPECT_EQ(*(const DWORD *) (f + 2), 22050u);
            EXPECT_EQ(*(const DWORD *) (f + 4), 44100u);
            EXPECT_EQ(f[6], 2);
            EXPECT_EQ(f[7], 16);
        }
        if (id == "data") {
            samples = wave.data() + at + 8;
            dataSize = size;
        }
        at += 8 + size + (size & 1);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"fmt ", "PAD ", "data"}));
    EXPECT_EQ(dataSize / 2, 11264u);
    ASSERT_TRUE(samples);
    const short *s = (const short *) samples;
    EXPECT_LT(abs(s[0]), 300); /* no click at either end */
    EXPECT_LT(abs(s[dataSize / 2 - 1]), 300);
}

TEST(Resources, ManifestsAndVersion)
{
    std::string process = ResourceBytes(ProgramResources(), MAKEINTRESOURCEA(1), (LPCSTR) RT_MANIFEST);
    EXPECT_NE(process.find("<assembly"), std::string::npos);
    EXPECT_NE(process.find("manifestVersion=\"1.0\""), std::string::npos);
    EXPECT_EQ(process.find("dependency"), std::string::npos);

    std::string controls = ResourceBytes(ProgramResources(), "IDR_RT_MANIFEST", (LPCSTR) RT_MANIFEST);
    for (const char *part : {"version=\"1.0.0.0\" processorArchitecture=\"X86\"", "type=\"win32\"",
                             "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""})
        EXPECT_NE(controls.find(part), std::string::npos) << part;

    std::string path = ProgramPath();
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), NULL);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));
    char *text;
    UINT length;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904B0\\ProductName", (void **) &text, &length));
    EXPECT_STREQ(text, "Quilmaren Filters");
}

/* Event Viewer's reading of each record: its ID's text, with the moment of Later put in. */
TEST(Resources, EventTextsForEveryRecord)
{
    const std::pair<DWORD, const wchar_t *> events[] = {
        {EVENT_WARNING_SHOWN, L"The dust filter warning was shown: "}, {EVENT_WARNING_CAUGHT_UP, L"The dust filter warning was shown late"},
        {EVENT_WARNING_BACK, L"The dust filter warning came back"},  {EVENT_FILTERS_CLEANED, L"Filters cleaned: "},
        {EVENT_WARNING_LATER, L"The dust filter warning was put off with Later: it comes back at 2009-03-20 07:29 (local time).\r\n"},
        {EVENT_WARNING_UNANSWERED, L"The dust filter warning closed unanswered"}};
    const wchar_t *moment = L"2009-03-20 07:29";
    for (const auto &e : events) {
        wchar_t text[512] = L"";
        FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, ProgramResources(), e.first, 0,
                       text, 512, (va_list *) &moment);
        EXPECT_EQ(std::wstring(text).find(e.second), 0u) << e.first;
    }
}

} // namespace
