#pragma once
#include <cstddef>
#include <initializer_list>
#include <iterator>

// The fixed list of file formats the setup offers to associate with the product. The row
// index is shared by the associations page, the "/assoc=" switch and the association writer.

// What a format's ProgID shows as its icon.
enum class FormatIcon {
    kFileItself,  // the literal "%1": the file is its own icon
    kImage,       // the product executable, index 0
    kVideo,       // index 9
    kAudio,       // index 8
};

struct FormatMember {
    const wchar_t* extension;  // lower case, without the dot
    const wchar_t* progIdSuffix;
};

inline constexpr int kMaxRowMembers = 3;

struct FormatRow {
    const wchar_t* label;        // the list's first column, display text only
    const wchar_t* displayName;  // ends in " *" when the product reads it through a plug-in
    bool isImage;
    FormatIcon icon;
    FormatMember members[kMaxRowMembers] = {};
    int memberCount = 0;  // counted from the members given; more than kMaxRowMembers does not compile

    constexpr FormatRow(const wchar_t* rowLabel, const wchar_t* name, bool image, FormatIcon rowIcon,
                        std::initializer_list<FormatMember> given)
        : label(rowLabel), displayName(name), isImage(image), icon(rowIcon)
    {
        for (const FormatMember& member : given)
            members[memberCount++] = member;
    }
};

namespace format_rows {
using enum FormatIcon;
inline constexpr FormatRow kFormatTable[] = {
    {L"ANI", L"Animated Windows Cursors *", true, kFileItself, {{L"ani", L"ani"}}},
    {L"B3D", L"BodyPaint 3D Format *", true, kImage, {{L"b3d", L"b3d"}}},
    {L"BMP/DIB", L"Windows Bitmap", true, kImage, {{L"bmp", L"bmp"}, {L"dib", L"bmp"}}},
    {L"CLP", L"Windows Clipboard *", true, kImage, {{L"clp", L"clp"}}},
    {L"CRW/CR2/CR3", L"Canon RAW Format *", true, kImage, {{L"crw", L"crw"}, {L"cr2", L"cr2"}, {L"cr3", L"cr3"}}},
    {L"CUR", L"Windows Cursor", true, kFileItself, {{L"cur", L"cur"}}},
    {L"DCM/ACR/IMA", L"DICOM Format *", true, kImage, {{L"dcm", L"dcm"}, {L"acr", L"dcm"}, {L"ima", L"dcm"}}},
    {L"DCX", L"Multipage Zsoft Paintbrush", true, kImage, {{L"dcx", L"dcx"}}},
    {L"DDS", L"Direct Draw Surface *", true, kImage, {{L"dds", L"dds"}}},
    {L"DJVU/IW44", L"DjVu Format *", true, kImage, {{L"djvu", L"djvu"}, {L"iw44", L"djvu"}}},
    {L"DXF", L"Drawing Interchange Format *", true, kImage, {{L"dxf", L"dxf"}}},
    {L"ECW", L"Enhanced Compressed Wavelet *", true, kImage, {{L"ecw", L"ecw"}}},
    {L"EMF", L"Enhanced Windows Metafile", true, kImage, {{L"emf", L"emf"}}},
    {L"EPS/PS", L"PostScript Format *", true, kImage, {{L"eps", L"eps"}, {L"ps", L"eps"}}},
    {L"EXR", L"EXR Format *", true, kImage, {{L"exr", L"exr"}}},
    {L"G3", L"G3 FAX Format *", true, kImage, {{L"g3", L"g3"}}},
    {L"GIF", L"Compuserve GIF", true, kImage, {{L"gif", L"gif"}}},
    {L"HDP/JXR/WDP", L"JPEG-XR/HD-Photo Format *", true, kImage, {{L"hdp", L"hdp"}, {L"jxr", L"hdp"}, {L"wdp", L"hdp"}}},
    {L"HEIC", L"High Efficiency Image File Format *", true, kImage, {{L"heic", L"heic"}}},
    {L"ICO", L"Windows Icon", true, kFileItself, {{L"ico", L"ico"}}},
    {L"IFF/LBM", L"Amiga Interchange File Format *", true, kImage, {{L"iff", L"iff"}, {L"lbm", L"iff"}}},
    {L"JLS", L"JPEG-LS Format *", true, kImage, {{L"jls", L"jls"}}},
    {L"JP2/JPC/J2K", L"JPEG2000 Format *", true, kImage, {{L"jp2", L"jp2"}, {L"jpc", L"jp2"}, {L"j2k", L"jp2"}}},
    {L"JPG/JPEG/JPE", L"JPEG Format", true, kImage, {{L"jpg", L"jpg"}, {L"jpeg", L"jpg"}, {L"jpe", L"jpg"}}},
    {L"JPM", L"JPM Format *", true, kImage, {{L"jpm", L"jpm"}}},
    {L"MNG/JNG", L"Multiple Network Graphics *", true, kImage, {{L"mng", L"mng"}, {L"jng", L"jng"}}},
    {L"PBM", L"Portable Bitmap", true, kImage, {{L"pbm", L"pbm"}}},
    {L"PCD", L"Kodak Photo CD", true, kImage, {{L"pcd", L"pcd"}}},
    {L"PCX", L"Zsoft Paintbrush", true, kImage, {{L"pcx", L"pcx"}}},
    {L"PGM", L"Portable Greymap", true, kImage, {{L"pgm", L"pgm"}}},
    {L"PNG", L"Portable Network Graphics", true, kImage, {{L"png", L"png"}}},
    {L"PPM", L"Portable Pixelmap", true, kImage, {{L"ppm", L"ppm"}}},
    {L"PSD", L"Adobe Photoshop Image", true, kImage, {{L"psd", L"psd"}}},
    {L"PSP", L"Paint Shop Pro Image *", true, kImage, {{L"psp", L"psp"}}},
    {L"RAS/SUN", L"Sun Raster Format *", true, kImage, {{L"ras", L"ras"}, {L"sun", L"ras"}}},
    {L"RAW", L"RAW Image Data *", true, kImage, {{L"raw", L"raw"}}},
    {L"RLE", L"Utah RLE Format *", true, kImage, {{L"rle", L"rle"}}},
    {L"SFF", L"Structured Fax Format *", true, kImage, {{L"sff", L"sff"}}},
    {L"SGI/RGB", L"Silicon Graphics Image *", true, kImage, {{L"sgi", L"sgi"}, {L"rgb", L"sgi"}}},
    {L"SID", L"LizardTech MrSID Format *", true, kImage, {{L"sid", L"sid"}}},
    {L"TGA", L"Truevision Targa", true, kImage, {{L"tga", L"tga"}}},
    {L"TIF/TIFF", L"Tagged Image File Format", true, kImage, {{L"tif", L"tif"}, {L"tiff", L"tif"}}},
    {L"WBMP", L"WAP Bitmap *", true, kImage, {{L"wbmp", L"wbmp"}}},
    {L"WEBP", L"Weppy Format *", true, kImage, {{L"webp", L"webp"}}},
    {L"WMF", L"Windows Metafile", true, kImage, {{L"wmf", L"wmf"}}},
    {L"XBM", L"X-Bitmap *", true, kImage, {{L"xbm", L"xbm"}}},
    {L"XPM", L"X-Pixmap *", true, kImage, {{L"xpm", L"xpm"}}},
    {L"SWF/FLV", L"Macromedia Flash Format *", false, kImage, {{L"swf", L"swf"}, {L"flv", L"flv"}}},
    {L"TTF", L"True Type Font Format *", false, kImage, {{L"ttf", L"ttf"}}},
    {L"ASF", L"Advanced Systems Format *", false, kVideo, {{L"asf", L"asf"}}},
    {L"AVI", L"Video for Windows *", false, kVideo, {{L"avi", L"avi"}}},
    {L"MPG/MPE/MPEG", L"MPEG Movie *", false, kVideo, {{L"mpg", L"mpg"}, {L"mpe", L"mpe"}, {L"mpeg", L"mpg"}}},
    {L"MOV", L"Apple QuickTime Movie *", false, kVideo, {{L"mov", L"mov"}}},
    {L"WMV", L"Windows Media Video File *", false, kVideo, {{L"wmv", L"wmv"}}},
    {L"AIF", L"Audio Interchange Format *", false, kAudio, {{L"aif", L"aif"}}},
    {L"MID/RMI", L"MIDI Sound Format *", false, kAudio, {{L"mid", L"mid"}, {L"rmi", L"rmi"}}},
    {L"MP3", L"MPEG Audio Format *", false, kAudio, {{L"mp3", L"mp3"}}},
    {L"OGG", L"Ogg Vorbis Audio Format *", false, kAudio, {{L"ogg", L"ogg"}}},
    {L"AU/SND", L"SUN Audio Format *", false, kAudio, {{L"au", L"au"}, {L"snd", L"au"}}},
    {L"WAV", L"Windows Audio Format *", false, kAudio, {{L"wav", L"wav"}}},
    {L"WMA", L"Windows Media Audio File *", false, kAudio, {{L"wma", L"wma"}}},
};
}  // namespace format_rows

using format_rows::kFormatTable;
inline constexpr int kFormatRowCount = static_cast<int>(std::size(kFormatTable));

constexpr int CountFormatMembers()
{
    int count = 0;
    for (const FormatRow& row : kFormatTable)
        count += row.memberCount;
    return count;
}
inline constexpr int kFormatMemberCount = CountFormatMembers();
