// The window's icon: the application's XPM picture, or the built-in one,
// as the WM hints' pixmap and mask and as _NET_WM_ICON's ARGB pixels.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/xpm.h>
#include <strings.h>

#include <vector>

#include "application_info.h"
#include "window_state.h"
#include "x11_state.h"

namespace {

extern const char* const kBuiltinIcon[];

struct ICON_STATE {
  Pixmap icon = None;
  Pixmap icon_mask = None;
};

ICON_STATE icon_state;

// The colour of one XPM colour entry as an ARGB pixel: its colour key, else
// its grey or mono one; "None" (or a colour that cannot be read) is
// transparent.
unsigned long xpm_pixel(const XpmColor& entry) {
  const char* spec = entry.c_color ? entry.c_color
                     : entry.g_color ? entry.g_color
                     : entry.g4_color ? entry.g4_color
                                      : entry.m_color;
  XColor colour = {};
  if (!spec || strcasecmp(spec, "None") == 0 ||
      !XParseColor(x11.display, DefaultColormap(x11.display, DefaultScreen(x11.display)), spec,
                   &colour))
    return 0;
  return 0xFF000000ul | (colour.red >> 8) << 16 | (colour.green >> 8) << 8 | colour.blue >> 8;
}

// _NET_WM_ICON: width, height and the pixels as ARGB, one long each (the
// format-32 rule), so desktops that draw their own icons get the picture
// in full colour.
void set_net_wm_icon(const char* const* xpm) {
  XpmImage image = {};
  if (XpmCreateXpmImageFromData(const_cast<char**>(xpm), &image, nullptr) != XpmSuccess) return;
  const size_t count = static_cast<size_t>(image.width) * image.height;
  std::vector<unsigned long> palette(image.ncolors);
  for (unsigned i = 0; i < image.ncolors; ++i) palette[i] = xpm_pixel(image.colorTable[i]);
  std::vector<unsigned long> data;
  data.reserve(count + 2);
  data.push_back(image.width);
  data.push_back(image.height);
  for (size_t i = 0; i < count; ++i)
    data.push_back(image.data[i] < image.ncolors ? palette[image.data[i]] : 0);
  XpmFreeXpmImage(&image);
  XChangeProperty(x11.display, x11.window, XInternAtom(x11.display, "_NET_WM_ICON", False),
                  XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(data.data()),
                  static_cast<int>(data.size()));
}

}  // namespace

// The application's XPM icon when it gives one, else the built-in one.
void set_window_icon() {
  const char* const* xpm = get_application_info().icon;
  if (!xpm || !xpm[0] || !xpm[0][0]) xpm = kBuiltinIcon;
  set_net_wm_icon(xpm);
  Pixmap icon = None, mask = None;
  int status = XpmCreatePixmapFromData(x11.display, x11.window, const_cast<char**>(xpm), &icon,
                                       &mask, nullptr);
  if (status != XpmSuccess || icon == None) return;
  icon_state.icon = icon;
  icon_state.icon_mask = mask;
  XWMHints* hints = XAllocWMHints();
  if (!hints) return;
  hints->flags = IconPixmapHint | (mask != None ? IconMaskHint : 0);
  hints->icon_pixmap = icon;
  hints->icon_mask = mask;
  XSetWMHints(x11.display, x11.window, hints);
  XFree(hints);
}

void free_window_icon() {
  Display* d = x11.display;
  if (icon_state.icon != None) XFreePixmap(d, icon_state.icon);
  if (icon_state.icon_mask != None) XFreePixmap(d, icon_state.icon_mask);
  icon_state = ICON_STATE();
}

namespace {

// The built-in window icon: a rounded blue square with a white arrow.
const char* const kBuiltinIcon[] = {
    "70 70 228 2",
    "   c None",
    "AA c #183458",
    "AB c #18385C",
    "AC c #183860",
    "AD c #183C60",
    "AE c #1C3C60",
    "AF c #1C3C64",
    "AG c #1C4064",
    "AH c #1C4068",
    "AI c #1C4468",
    "AJ c #1C446C",
    "AK c #20446C",
    "AL c #20486C",
    "AM c #204870",
    "AN c #204C74",
    "AO c #244C74",
    "AP c #244C78",
    "AQ c #245078",
    "AR c #24507C",
    "AS c #24547C",
    "AT c #28547C",
    "AU c #285480",
    "AV c #285880",
    "AW c #285894",
    "AX c #285C98",
    "AY c #285C9C",
    "AZ c #28609C",
    "Aa c #2C60A0",
    "Ab c #2C64A0",
    "Ac c #2C64A4",
    "Ad c #2C68A4",
    "Ae c #2C68A8",
    "Af c #3064A4",
    "Ag c #3068A4",
    "Ah c #3068A8",
    "Ai c #306CA8",
    "Aj c #306CAC",
    "Ak c #3070AC",
    "Al c #3070B0",
    "Am c #3468A4",
    "An c #346CA4",
    "Ao c #346CA8",
    "Ap c #346CAC",
    "Aq c #3470AC",
    "Ar c #3470B0",
    "As c #3470B4",
    "At c #3474B0",
    "Au c #3474B4",
    "Av c #3474B8",
    "Aw c #3478B8",
    "Ax c #386CA8",
    "Ay c #3870A8",
    "Az c #3870AC",
    "A0 c #3874B0",
    "A1 c #3874B4",
    "A2 c #3878B4",
    "A3 c #3878B8",
    "A4 c #3878BC",
    "A5 c #387CBC",
    "A6 c #387CC0",
    "A7 c #3880C0",
    "A8 c #3880C4",
    "A9 c #3C70A8",
    "A+ c #3C70AC",
    "A- c #3C74AC",
    "BA c #3C74B0",
    "BB c #3C74B4",
    "BC c #3C78B0",
    "BD c #3C78B4",
    "BE c #3C78B8",
    "BF c #3C7CB8",
    "BG c #3C7CBC",
    "BH c #3C7CC0",
    "BI c #3C80BC",
    "BJ c #3C80C0",
    "BK c #3C80C4",
    "BL c #3C84C4",
    "BM c #3C84C8",
    "BN c #3C88C8",
    "BO c #3C88CC",
    "BP c #4074AC",
    "BQ c #4074B0",
    "BR c #4078B0",
    "BS c #4078B4",
    "BT c #407CB4",
    "BU c #407CB8",
    "BV c #407CBC",
    "BW c #4080BC",
    "BX c #4080C0",
    "BY c #4080C4",
    "BZ c #4084C4",
    "Ba c #4084C8",
    "Bb c #4088C8",
    "Bc c #4088CC",
    "Bd c #408CCC",
    "Be c #408CD0",
    "Bf c #408CD4",
    "Bg c #4090D4",
    "Bh c #4478B0",
    "Bi c #4478B4",
    "Bj c #447CB4",
    "Bk c #447CB8",
    "Bl c #4480BC",
    "Bm c #4484C0",
    "Bn c #4484C4",
    "Bo c #4488C4",
    "Bp c #4488C8",
    "Bq c #4488CC",
    "Br c #448CCC",
    "Bs c #448CD0",
    "Bt c #4490D0",
    "Bu c #4490D8",
    "Bv c #4494D8",
    "Bw c #4878B0",
    "Bx c #487CB0",
    "By c #487CB4",
    "Bz c #487CB8",
    "B0 c #4880B4",
    "B1 c #4880B8",
    "B2 c #4880BC",
    "B3 c #4884BC",
    "B4 c #4884C0",
    "B5 c #4884C4",
    "B6 c #4888C0",
    "B7 c #4888C4",
    "B8 c #4888C8",
    "B9 c #488CC8",
    "B+ c #488CCC",
    "B- c #488CD0",
    "CA c #4890D0",
    "CB c #4C7CB4",
    "CC c #4C80B4",
    "CD c #4C80B8",
    "CE c #4C84B8",
    "CF c #4C84BC",
    "CG c #4C84C0",
    "CH c #4C88C0",
    "CI c #4C88C4",
    "CJ c #4C8CC8",
    "CK c #4C8CCC",
    "CL c #4C90CC",
    "CM c #4C90D0",
    "CN c #4C94D0",
    "CO c #5080B8",
    "CP c #5084B8",
    "CQ c #5084BC",
    "CR c #5088C0",
    "CS c #5088C4",
    "CT c #508CC4",
    "CU c #508CC8",
    "CV c #5090CC",
    "CW c #5090D0",
    "CX c #5094D0",
    "CY c #5484B8",
    "CZ c #5488BC",
    "Ca c #5488C0",
    "Cb c #548CC0",
    "Cc c #548CC4",
    "Cd c #548CC8",
    "Ce c #5490C4",
    "Cf c #5490C8",
    "Cg c #5490CC",
    "Ch c #5494CC",
    "Ci c #5494D0",
    "Cj c #5498D0",
    "Ck c #588CC0",
    "Cl c #588CC4",
    "Cm c #5890C4",
    "Cn c #5890C8",
    "Co c #5890CC",
    "Cp c #5894CC",
    "Cq c #5894D0",
    "Cr c #5898D0",
    "Cs c #5C8CC4",
    "Ct c #5C90C4",
    "Cu c #5C94C8",
    "Cv c #5C94CC",
    "Cw c #5C94D0",
    "Cx c #5C98CC",
    "Cy c #5C98D0",
    "Cz c #6090C4",
    "C0 c #6094C4",
    "C1 c #6094C8",
    "C2 c #6094CC",
    "C3 c #6098C8",
    "C4 c #6098CC",
    "C5 c #6098D0",
    "C6 c #609CD0",
    "C7 c #6494C4",
    "C8 c #6494C8",
    "C9 c #6498C8",
    "C+ c #6498CC",
    "C- c #649CD0",
    "DA c #6898C8",
    "DB c #689CCC",
    "DC c #689CD0",
    "DD c #68A0D0",
    "DE c #68A0D4",
    "DF c #6C98C8",
    "DG c #6C9CC8",
    "DH c #6C9CCC",
    "DI c #6CA0CC",
    "DJ c #6CA0D0",
    "DK c #6CA0D4",
    "DL c #709CC8",
    "DM c #709CCC",
    "DN c #70A0CC",
    "DO c #70A0D0",
    "DP c #70A0D4",
    "DQ c #70A4D0",
    "DR c #70A4D4",
    "DS c #74A0CC",
    "DT c #74A0D0",
    "DU c #74A4D0",
    "DV c #74A4D4",
    "DW c #78A0CC",
    "DX c #78A4CC",
    "DY c #78A4D0",
    "DZ c #78A4D4",
    "Da c #78A8D4",
    "Db c #7CA4CC",
    "Dc c #7CA4D0",
    "Dd c #7CA8D0",
    "De c #7CA8D4",
    "Df c #80A8D0",
    "Dg c #80ACD4",
    "Dh c #84ACD4",
    "Di c #F5F5F5",
    "                                                                                                                                            ",
    "                                                                                                                                            ",
    "                        AVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAVAV                        ",
    "                    AVAVAVAVAVAVBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvBvAVAVAVAVAVAV                    ",
    "                AVAVAVBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuAVAVAV                ",
    "              AUAUBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuBuAUAU              ",
    "            AUAUBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgAUAU            ",
    "          AUAUBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgAUAU          ",
    "        ATATBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgBgATAT        ",
    "        ASBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBgBgBgBgBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfBfAS        ",
    "      ASASBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBsBsBtBtBtBtBtBtBtBtBtBtBsBsBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeASAS      ",
    "      ASBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBsBsBtCACACACACACACACACACACACABtBsBsBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeAS      ",
    "    ASASBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBsBsCACACACACMCMCNCNCNCNCNCNCMCMCACACACABsBsBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeBeASAS    ",
    "    ARARBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcBdBsBsCACACMCMCNCNCXCXCXCXCXCXCXCXCNCNCMCMCACABsBsBdBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcARAR    ",
    "    AQAQBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcBrBrB-CACMCMCWCXCXCXCiCiCiCiCiCiCiCiCXCXCXCWCMCMCAB-BrBrBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcBcAQAQ    ",
    "    AQAQBOBOBOBOBOBOBOBOBOBOBOBOBOBOBOBcBrBrB+CACMCMCXCXCiCiCiCjCrCrCrCrCrCrCjCiCiCiCXCXCMCMCAB+BrBrBcBOBOBOBOBOBOBOBOBOBOBOBOBOBOBOAQAQ    ",
    "    AQBOBOBOBOBOBOBOBOBOBOBOBOBOBOBOBcBqBrB+CLCMCWCXCiCiCqCrDiDiDiDiDiDiDiDiDiDiCrCqCiCiCXCWCMCLB+BrBqBcBOBOBOBOBOBOBOBOBOBOBOBOBOBOBOAQ    ",
    "    AQBMBMBMBMBMBMBMBMBMBMBMBMBMBMBbBcBrB+B+CLCWCXCiCiCqCrCyDiDiDiDiDiDiDiDiDiDiCyCrCqCiCiCXCWCLB+B+BrBcBbBMBMBMBMBMBMBMBMBMBMBMBMBMBMAQ    ",
    "    AQBMBMBMBMBMBMBMBMBMBMBMBMBMBNBbBrB+CKCLCVCiCiCqCrCyCyC6DiDiDiDiDiDiDiDiDiDiC6CyCyCrCqCiCiCVCLCKB+BrBbBNBMBMBMBMBMBMBMBMBMBMBMBMBMAQ    ",
    "    AQBMBMBMBMBMBMBMBMBMBMBMBMBMBbBpB+B+CLCVChCiCqCyCyC5C6C6DiDiDiDiDiDiDiDiDiDiC6C6C5CyCyCqCiChCVCLB+B+BpBbBMBMBMBMBMBMBMBMBMBMBMBMBMAQ    ",
    "    APBMBMBMBMBMBMBMBMBMBMBMBMBaBbBpB9CKCVCVChCqCyCyC5C6C-C-DiDiDiDiDiDiDiDiDiDiC-C-C6C5CyCyCqChCVCVCKB9BpBbBaBMBMBMBMBMBMBMBMBMBMBMBMAP    ",
    "    AOBLBLBLBLBLBLBLBLBLBLBLBLBaBpB8CJCLCVChCpCwCyC5C-C-DCDEDiDiDiDiDiDiDiDiDiDiDEDCC-C-C5CyCwCpChCVCLCJB8BpBaBLBLBLBLBLBLBLBLBLBLBLBLAO    ",
    "    AOBKBKBKBKBKBKBKBKBKBKBKBLBaBpB9CJCVCgCpCpCyC5C6C-DCDDDKDiDiDiDiDiDiDiDiDiDiDKDDDCC-C6C5CyCpCpCgCVCJB9BpBaBLBKBKBKBKBKBKBKBKBKBKBKAO    ",
    "    AOBKBKBKBKBKBKBKBKBKBKBKBZBoB8CJCUCVCgCpCvC4C5C-DCDJDKDPDiDiDiDiDiDiDiDiDiDiDPDKDJDCC-C5C4CvCpCgCVCUCJB8BoBZBKBKBKBKBKBKBKBKBKBKBKAO    ",
    "    ANA8A8A8A8A8A8A8A8A8A8BKBZBoB8CJCUCfCoCpCxC4C-DCDDDJDPDRDiDiDiDiDiDiDiDiDiDiDRDPDJDDDCC-C4CxCpCoCfCUCJB8BoBZBKA8A8A8A8A8A8A8A8A8A8AN    ",
    "    ANA7A7A7A7A7A7A7A7A7BJBYBZBoB8CJCUCfCpCvC4C+DCDCDJDODVDVDiDiDiDiDiDiDiDiDiDiDVDVDODJDCDCC+C4CvCpCfCUCJB8BoBZBYBJA7A7A7A7A7A7A7A7A7AN    ",
    "    ANA6A6A6A6A6A6A6A6A6BJBXBnB7CICJCUCfCpCvC4C+DCDJDODQDVDaDiDiDiDiDiDiDiDiDiDiDaDVDQDODJDCC+C4CvCpCfCUCJCIB7BnBXBJA6A6A6A6A6A6A6A6A6AN    ",
    "    AMA6A6A6A6A6A6A6A6A6BJBXBmB7CICTCdCnCuC2C+DBDBDJDODUDZDeDiDiDiDiDiDiDiDiDiDiDeDZDUDODJDBDBC+C2CuCnCdCTCIB7BmBXBJA6A6A6A6A6A6A6A6A6AM    ",
    "    AMA5A5A5A5A5A5A5A5A5BHBXBmB5CICTCdCnCuC2C+DBDHDODTDUDaDeDiDiDiDiDiDiDiDiDiDiDeDaDUDTDODHDBC+C2CuCnCdCTCIB5BmBXBHA5A5A5A5A5A5A5A5A5AM    ",
    "    AMA5A5A5A5A5A5A5A5A5BIBXBmB6CICTCeCnCuC3C+DBDIDODUDYDeDgDiDiDiDiDiDiDiDiDiDiDgDeDYDUDODIDBC+C3CuCnCeCTCIB6BmBXBIA5A5A5A5A5A5A5A5A5AM    ",
    "    AMA5A5A5A5A5A5A5A5A5BGBXBmB4CICTCcCnCuC3C+DBDIDODUDYDeDgDiDiDiDiDiDiDiDiDiDiDgDeDYDUDODIDBC+C3CuCnCcCTCIB4BmBXBGA5A5A5A5A5A5A5A5A5AM    ",
    "    AMA4A4A4A4A4A4A4A4A5BGBWBmB4CHCTCcCmCuC1C9DBDHDODUDYDeDgDiDiDiDiDiDiDiDiDiDiDgDeDYDUDODHDBC9C1CuCmCcCTCHB4BmBWBGA5A4A4A4A4A4A4A4A4AM    ",
    "    AMA3A3A3A3A3A3A3A3A3BGBWBlB4CHCSCcCmCuC1C9DBDHDSDYDcDfDhDiDiDiDiDiDiDiDiDiDiDhDfDcDYDSDHDBC9C1CuCmCcCSCHB4BlBWBGA3A3A3A3A3A3A3A3A3AM    ",
    "    ALAwAwAwAwAwAwAwAwA3BGBVBlB4CHCRCcCmCtC1C9DADHDNDUDYDdDgDiDiDiDiDiDiDiDiDiDiDgDdDYDUDNDHDAC9C1CtCmCcCRCHB4BlBVBGA3AwAwAwAwAwAwAwAwAL    ",
    "    ALAwAwAwAwAwAwAwAwA3BFBVBlB3CGCRCbClCtC1C9DADHDNDSDYDdDfDiDiDiDiDiDiDiDiDiDiDfDdDYDSDNDHDAC9C1CtClCbCRCGB3BlBVBFA3AwAwAwAwAwAwAwAwAL    ",
    "    AKAvAvAvAvAvAvAvAvAwA3BFBlB2CFCRCaClCtC0C8DADGDMDSDXDcDfDiDiDiDiDiDiDiDiDiDiDfDcDXDSDMDGDAC8C0CtClCaCRCFB2BlBFA3AwAvAvAvAvAvAvAvAvAK    ",
    "    AKAuAuAuAuAuAuAuAuAuA3BFBUBlB3CGCRCbCsCzC7DADFDLDSDSDXDcDiDiDiDiDiDiDiDiDiDiDcDXDSDSDLDFDAC7CzCsCbCRCGB3BlBUBFA3AuAuAuAuAuAuAuAuAuAK    ",
    "    AJAuAuAuAuAuAuAuAuAuA2BEBUBlB2CFCRCaCkCtCzC7DADFDLDSDWDbDiDiDiDiDiDiDiDiDiDiDbDWDSDLDFDAC7CzCtCkCaCRCFB2BlBUBEA2AuAuAuAuAuAuAuAuAuAJ    ",
    "    AJAuAuAuAuAuAuAuAuAuA1BDBUBkB2CFCQDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiCQCFB2BkBUBDA1AuAuAuAuAuAuAuAuAuAJ    ",
    "    AJAsAsAsAsAsAsAsAsAsAuA1BDBUBkB2CFCQDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiCQCFB2BkBUBDA1AuAsAsAsAsAsAsAsAsAsAJ    ",
    "    AIArArArArArArArArArArA1BDBTBkB1CFCQCZDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiCZCQCFB1BkBTBDA1ArArArArArArArArArArAI    ",
    "    AIArArArArArArArArArArAtA1BDBTBkB1CFCQCZDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiCZCQCFB1BkBTBDA1AtArArArArArArArArArArAI    ",
    "    AHAlAlAlAlAlAlAlAlAlAlArA0BBBSBjBzB1CECQCZDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiCZCQCEB1BzBjBSBBA0ArAlAlAlAlAlAlAlAlAlAlAH    ",
    "    AHAkAkAkAkAkAkAkAkAkAkAkArA0BCBSBjByCDCPCPCZDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiCZCPCPCDByBjBSBCA0ArAkAkAkAkAkAkAkAkAkAkAkAH    ",
    "    AHAjAjAjAjAjAjAjAjAjAjAjAqArA0BCBSBjByCDCECPCZDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiCZCPCECDByBjBSBCA0ArAqAjAjAjAjAjAjAjAjAjAjAjAH    ",
    "    AGAjAjAjAjAjAjAjAjAjAjAjAjAqAzBABQBRBjByCCCDCPCYDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiCYCPCDCCByBjBRBQBAAzAqAjAjAjAjAjAjAjAjAjAjAjAjAG    ",
    "    AGAjAjAjAjAjAjAjAjAjAjAjAjAjAqAzBABABRBiByB0CCCOCPDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiDiCPCOCCB0ByBiBRBABAAzAqAjAjAjAjAjAjAjAjAjAjAjAjAjAG    ",
    "    AGAiAiAiAiAiAiAiAiAiAiAiAiAiAiApAzA-BABRBhByByCCCCCODiDiDiDiDiDiDiDiDiDiDiDiDiDiCOCCCCByByBhBRBAA-AzApAiAiAiAiAiAiAiAiAiAiAiAiAiAiAG    ",
    "    AGAhAhAhAhAhAhAhAhAhAhAhAhAhAhAiApAzAzBABQBhBhByByCBCCDiDiDiDiDiDiDiDiDiDiDiDiCCCBByByBhBhBQBAAzAzApAiAhAhAhAhAhAhAhAhAhAhAhAhAhAhAG    ",
    "    AFAhAhAhAhAhAhAhAhAhAhAhAhAhAhAhAiAoAzAzA-BPBQBhBhBxByCBDiDiDiDiDiDiDiDiDiDiCBByBxBhBhBQBPA-AzAzAoAiAhAhAhAhAhAhAhAhAhAhAhAhAhAhAhAF    ",
    "    AFAeAeAeAeAeAeAeAeAeAeAeAeAeAeAeAeAhAoAoAzA+A-BPBQBhBhBhBwDiDiDiDiDiDiDiDiBwBhBhBhBQBPA-A+AzAoAoAhAeAeAeAeAeAeAeAeAeAeAeAeAeAeAeAeAF    ",
    "    AFAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAgAiAoAxAzA+A-BPBPBPBhBhDiDiDiDiDiDiBhBhBPBPBPA-A+AzAxAoAiAgAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAF    ",
    "    AEAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAgAgAoAoAxAyA9A+A+BPBPBPDiDiDiDiBPBPBPA+A+A9AyAxAoAoAgAgAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAdAE    ",
    "    ADAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAgAgAmAoAoAxAxAyAyA9A9DiDiA9A9AyAyAxAxAoAoAmAgAgAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAD    ",
    "    ADADAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAfAgAgAmAmAnAoAxAxAxAxAxAxAoAnAmAmAgAgAfAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcAcADAD    ",
    "    ADADAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAcAfAgAgAgAgAgAgAgAgAgAgAfAcAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbADAD    ",
    "    ADADAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbAbADAD    ",
    "    ACACAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaACAC    ",
    "      ACAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAaAC      ",
    "      ABABAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZABAB      ",
    "        ABAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAZAB        ",
    "        ABABAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYAYABAB        ",
    "          ABABAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXABAB          ",
    "            ABABAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXABAB            ",
    "              AAAAAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAAAA              ",
    "                AAAAAAAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAXAAAAAA                ",
    "                    AAAAAAAAAAAAAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAWAAAAAAAAAAAA                    ",
    "                        AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA                        ",
    "                                                                                                                                            ",
    "                                                                                                                                            "
};

}  // namespace
