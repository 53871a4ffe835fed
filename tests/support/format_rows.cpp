#include "support/format_rows.h"

#include <cwctype>

namespace {

struct Line {
    const wchar_t* label;
    const wchar_t* displayName;
    bool image;
    // Comma-separated extensions; "ext (as other)" registers ext under other's ProgID.
    const wchar_t* members;
    const wchar_t* icon;
};

constexpr Line kLines[] = {
    /*  0 */ {L"ANI", L"Animated Windows Cursors *", true, L"ani", L"%1"},
    /*  1 */ {L"B3D", L"BodyPaint 3D Format *", true, L"b3d", L"0"},
    /*  2 */ {L"BMP/DIB", L"Windows Bitmap", true, L"bmp, dib (as bmp)", L"0"},
    /*  3 */ {L"CLP", L"Windows Clipboard *", true, L"clp", L"0"},
    /*  4 */ {L"CRW/CR2/CR3", L"Canon RAW Format *", true, L"crw, cr2, cr3", L"0"},
    /*  5 */ {L"CUR", L"Windows Cursor", true, L"cur", L"%1"},
    /*  6 */ {L"DCM/ACR/IMA", L"DICOM Format *", true, L"dcm, acr (as dcm), ima (as dcm)", L"0"},
    /*  7 */ {L"DCX", L"Multipage Zsoft Paintbrush", true, L"dcx", L"0"},
    /*  8 */ {L"DDS", L"Direct Draw Surface *", true, L"dds", L"0"},
    /*  9 */ {L"DJVU/IW44", L"DjVu Format *", true, L"djvu, iw44 (as djvu)", L"0"},
    /* 10 */ {L"DXF", L"Drawing Interchange Format *", true, L"dxf", L"0"},
    /* 11 */ {L"ECW", L"Enhanced Compressed Wavelet *", true, L"ecw", L"0"},
    /* 12 */ {L"EMF", L"Enhanced Windows Metafile", true, L"emf", L"0"},
    /* 13 */ {L"EPS/PS", L"PostScript Format *", true, L"eps, ps (as eps)", L"0"},
    /* 14 */ {L"EXR", L"EXR Format *", true, L"exr", L"0"},
    /* 15 */ {L"G3", L"G3 FAX Format *", true, L"g3", L"0"},
    /* 16 */ {L"GIF", L"Compuserve GIF", true, L"gif", L"0"},
    /* 17 */ {L"HDP/JXR/WDP", L"JPEG-XR/HD-Photo Format *", true, L"hdp, jxr (as hdp), wdp (as hdp)", L"0"},
    /* 18 */ {L"HEIC", L"High Efficiency Image File Format *", true, L"heic", L"0"},
    /* 19 */ {L"ICO", L"Windows Icon", true, L"ico", L"%1"},
    /* 20 */ {L"IFF/LBM", L"Amiga Interchange File Format *", true, L"iff, lbm (as iff)", L"0"},
    /* 21 */ {L"JLS", L"JPEG-LS Format *", true, L"jls", L"0"},
    /* 22 */ {L"JP2/JPC/J2K", L"JPEG2000 Format *", true, L"jp2, jpc (as jp2), j2k (as jp2)", L"0"},
    /* 23 */ {L"JPG/JPEG/JPE", L"JPEG Format", true, L"jpg, jpeg (as jpg), jpe (as jpg)", L"0"},
    /* 24 */ {L"JPM", L"JPM Format *", true, L"jpm", L"0"},
    /* 25 */ {L"MNG/JNG", L"Multiple Network Graphics *", true, L"mng, jng", L"0"},
    /* 26 */ {L"PBM", L"Portable Bitmap", true, L"pbm", L"0"},
    /* 27 */ {L"PCD", L"Kodak Photo CD", true, L"pcd", L"0"},
    /* 28 */ {L"PCX", L"Zsoft Paintbrush", true, L"pcx", L"0"},
    /* 29 */ {L"PGM", L"Portable Greymap", true, L"pgm", L"0"},
    /* 30 */ {L"PNG", L"Portable Network Graphics", true, L"png", L"0"},
    /* 31 */ {L"PPM", L"Portable Pixelmap", true, L"ppm", L"0"},
    /* 32 */ {L"PSD", L"Adobe Photoshop Image", true, L"psd", L"0"},
    /* 33 */ {L"PSP", L"Paint Shop Pro Image *", true, L"psp", L"0"},
    /* 34 */ {L"RAS/SUN", L"Sun Raster Format *", true, L"ras, sun (as ras)", L"0"},
    /* 35 */ {L"RAW", L"RAW Image Data *", true, L"raw", L"0"},
    /* 36 */ {L"RLE", L"Utah RLE Format *", true, L"rle", L"0"},
    /* 37 */ {L"SFF", L"Structured Fax Format *", true, L"sff", L"0"},
    /* 38 */ {L"SGI/RGB", L"Silicon Graphics Image *", true, L"sgi, rgb (as sgi)", L"0"},
    /* 39 */ {L"SID", L"LizardTech MrSID Format *", true, L"sid", L"0"},
    /* 40 */ {L"TGA", L"Truevision Targa", true, L"tga", L"0"},
    /* 41 */ {L"TIF/TIFF", L"Tagged Image File Format", true, L"tif, tiff (as tif)", L"0"},
    /* 42 */ {L"WBMP", L"WAP Bitmap *", true, L"wbmp", L"0"},
    /* 43 */ {L"WEBP", L"Weppy Format *", true, L"webp", L"0"},
    /* 44 */ {L"WMF", L"Windows Metafile", true, L"wmf", L"0"},
    /* 45 */ {L"XBM", L"X-Bitmap *", true, L"xbm", L"0"},
    /* 46 */ {L"XPM", L"X-Pixmap *", true, L"xpm", L"0"},
    /* 47 */ {L"SWF/FLV", L"Macromedia Flash Format *", false, L"swf, flv", L"0"},
    /* 48 */ {L"TTF", L"True Type Font Format *", false, L"ttf", L"0"},
    /* 49 */ {L"ASF", L"Advanced Systems Format *", false, L"asf", L"9"},
    /* 50 */ {L"AVI", L"Video for Windows *", false, L"avi", L"9"},
    /* 51 */ {L"MPG/MPE/MPEG", L"MPEG Movie *", false, L"mpg, mpe, mpeg (as mpg)", L"9"},
    /* 52 */ {L"MOV", L"Apple QuickTime Movie *", false, L"mov", L"9"},
    /* 53 */ {L"WMV", L"Windows Media Video File *", false, L"wmv", L"9"},
    /* 54 */ {L"AIF", L"Audio Interchange Format *", false, L"aif", L"8"},
    /* 55 */ {L"MID/RMI", L"MIDI Sound Format *", false, L"mid, rmi", L"8"},
    /* 56 */ {L"MP3", L"MPEG Audio Format *", false, L"mp3", L"8"},
    /* 57 */ {L"OGG", L"Ogg Vorbis Audio Format *", false, L"ogg", L"8"},
    /* 58 */ {L"AU/SND", L"SUN Audio Format *", false, L"au, snd (as au)", L"8"},
    /* 59 */ {L"WAV", L"Windows Audio Format *", false, L"wav", L"8"},
    /* 60 */ {L"WMA", L"Windows Media Audio File *", false, L"wma", L"8"},
};

ExpectedMember MakeMember(std::wstring item)
{
    std::wstring extension = item, suffix = item;
    const size_t as = item.find(L" (as ");
    if (as != std::wstring::npos) {
        extension = item.substr(0, as);
        suffix = item.substr(as + 5, item.size() - as - 6);
    }
    std::wstring upper = suffix;
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(towupper(c));
    return {extension, suffix, L"Pictarn." + suffix, L"Pictarn " + upper + L" File"};
}

std::vector<ExpectedFormatRow> Expand()
{
    std::vector<ExpectedFormatRow> rows;
    for (const Line& line : kLines) {
        ExpectedFormatRow row{static_cast<int>(rows.size()), line.label, line.displayName, line.image, line.icon, {}};
        const std::wstring members = line.members;
        for (size_t begin = 0; begin < members.size();) {
            size_t end = members.find(L", ", begin);
            if (end == std::wstring::npos)
                end = members.size();
            row.members.push_back(MakeMember(members.substr(begin, end - begin)));
            begin = end + 2;
        }
        rows.push_back(row);
    }
    return rows;
}

}  // namespace

const std::vector<ExpectedFormatRow>& ExpectedFormatRows()
{
    static const std::vector<ExpectedFormatRow> rows = Expand();
    return rows;
}

int RowOf(const std::wstring& label)
{
    for (const ExpectedFormatRow& row : ExpectedFormatRows())
        if (row.label == label)
            return row.row;
    return -1;
}
