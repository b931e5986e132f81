#pragma once

#include <cstdint>

/// The published values of the common dialogs' flags, messages and
/// notifications. Callers of the library pass and read these very numbers,
/// so they keep their published names.
namespace comdlg {

// Open and save dialogs.
inline constexpr int32_t OFN_READONLY = 0x1;
inline constexpr int32_t OFN_OVERWRITEPROMPT = 0x2;
inline constexpr int32_t OFN_HIDEREADONLY = 0x4;
inline constexpr int32_t OFN_ENABLEHOOK = 0x20;
inline constexpr int32_t OFN_ENABLETEMPLATE = 0x40;
inline constexpr int32_t OFN_ALLOWMULTISELECT = 0x200;
inline constexpr int32_t OFN_PATHMUSTEXIST = 0x800;
inline constexpr int32_t OFN_FILEMUSTEXIST = 0x1000;
inline constexpr int32_t OFN_EXPLORER = 0x80000;

// Colour dialog.
inline constexpr int32_t CC_RGBINIT = 0x1;
inline constexpr int32_t CC_FULLOPEN = 0x2;
inline constexpr int32_t CC_PREVENTFULLOPEN = 0x4;
inline constexpr int32_t CC_ENABLEHOOK = 0x10;
inline constexpr int32_t CC_ENABLETEMPLATE = 0x20;
inline constexpr int32_t CC_SOLIDCOLOR = 0x80;
inline constexpr int32_t CC_ANYCOLOR = 0x100;

// Font dialog.
inline constexpr int32_t CF_SCREENFONTS = 0x1;
inline constexpr int32_t CF_PRINTERFONTS = 0x2;
inline constexpr int32_t CF_ENABLEHOOK = 0x8;
inline constexpr int32_t CF_ENABLETEMPLATE = 0x10;
inline constexpr int32_t CF_INITTOLOGFONTSTRUCT = 0x40;
inline constexpr int32_t CF_EFFECTS = 0x100;
inline constexpr int32_t CF_APPLY = 0x200;
inline constexpr int32_t CF_LIMITSIZE = 0x2000;
inline constexpr int32_t BOLD_FONTTYPE = 0x100;

// Print dialog.
inline constexpr int32_t PD_SELECTION = 0x1;
inline constexpr int32_t PD_PAGENUMS = 0x2;
inline constexpr int32_t PD_NOSELECTION = 0x4;
inline constexpr int32_t PD_NOPAGENUMS = 0x8;
inline constexpr int32_t PD_COLLATE = 0x10;
inline constexpr int32_t PD_PRINTTOFILE = 0x20;
inline constexpr int32_t PD_PRINTSETUP = 0x40;
inline constexpr int32_t PD_NOWARNING = 0x80;
inline constexpr int32_t PD_RETURNDC = 0x100;
inline constexpr int32_t PD_ENABLEPRINTHOOK = 0x1000;
inline constexpr int32_t PD_ENABLESETUPHOOK = 0x2000;
inline constexpr int32_t PD_ENABLEPRINTTEMPLATE = 0x4000;
inline constexpr int32_t PD_ENABLESETUPTEMPLATE = 0x8000;
inline constexpr int32_t PD_USEDEVMODECOPIESANDCOLLATE = 0x40000;
inline constexpr int32_t PD_DISABLEPRINTTOFILE = 0x80000;
inline constexpr int32_t PD_HIDEPRINTTOFILE = 0x100000;

// Page-setup dialog.
inline constexpr int32_t PSD_MINMARGINS = 0x1;
inline constexpr int32_t PSD_MARGINS = 0x2;
inline constexpr int32_t PSD_INTHOUSANDTHSOFINCHES = 0x4;
inline constexpr int32_t PSD_INHUNDREDTHSOFMILLIMETERS = 0x8;
inline constexpr int32_t PSD_DISABLEMARGINS = 0x10;
inline constexpr int32_t PSD_DISABLEPRINTER = 0x20;
inline constexpr int32_t PSD_DISABLEORIENTATION = 0x100;
inline constexpr int32_t PSD_DISABLEPAPER = 0x200;
inline constexpr int32_t PSD_ENABLEPAGESETUPHOOK = 0x2000;

// Messages and notifications the hook sees.
inline constexpr uint32_t WM_DESTROY = 2;
inline constexpr uint32_t WM_NOTIFY = 0x4E;
inline constexpr uint32_t WM_INITDIALOG = 0x110;
inline constexpr uint32_t WM_COMMAND = 0x111;
inline constexpr int32_t CDN_INITDONE = -601;
inline constexpr int32_t CDN_SELCHANGE = -602;
inline constexpr int32_t CDN_FOLDERCHANGE = -603;
inline constexpr int32_t CDN_FILEOK = -606;
inline constexpr int32_t CDN_TYPECHANGE = -607;
inline constexpr int DWL_MSGRESULT = 0;
inline constexpr intptr_t IDOK = 1;
inline constexpr intptr_t IDCANCEL = 2;

// Help commands.
inline constexpr int32_t HELP_QUIT = 0x2;
inline constexpr int32_t HELP_SETCONTENTS = 0x5;
inline constexpr int32_t HELP_SETWINPOS = 0x203;
inline constexpr int32_t HELP_FORCEFILE = 0x9;
inline constexpr int32_t HELP_PARTIALKEY = 0x105;
inline constexpr int32_t HELP_MULTIKEY = 0x201;

// Extended errors (CommDlgExtendedError).
inline constexpr int32_t CDERR_DIALOGFAILURE = 0xFFFF;
inline constexpr int32_t PDERR_NODEFAULTPRN = 0x1008;
inline constexpr int32_t FNERR_BUFFERTOOSMALL = 0x3003;

// Page range codes of the print dialog functions.
inline constexpr int32_t PrintRangeAll = 0;
inline constexpr int32_t PrintRangePages = 1;
inline constexpr int32_t PrintRangeSelection = 2;

} // namespace comdlg
