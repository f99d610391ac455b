#!/usr/bin/python3
"""Writes stamp/fonts/FontData.cpp: the bounding box and the 256 widths of every built-in font.

Each built-in name takes its metrics from one installed source font (an AFM file of the URW
base 35 set, or a TrueType/OpenType file read with fontTools), laid out by character code,
then the fixed values of FIXED_ROWS are applied on top. See README.md beside this file.

Usage: /usr/bin/python3 tools/fonts/make_font_data.py [output.cpp]
       /usr/bin/python3 tools/fonts/make_font_data.py --table   (the source table of README.md)
"""

import math
import sys
from pathlib import Path

from fontTools import agl
from fontTools.ttLib import TTFont

URW = "/usr/share/fonts/type1/urw-base35/"
LIB = "/usr/share/fonts/truetype/liberation2/"
LIB1 = "/usr/share/fonts/truetype/liberation/"
WINE = "/usr/share/wine/fonts/"
DJV = "/usr/share/fonts/truetype/dejavu/"
COMIC = "/usr/share/fonts/opentype/comic-neue/"
GARA = "/usr/share/fonts/opentype/ebgaramond/"

# Layouts of codes 0-255:
#   builtin  the AFM's own codes (StandardEncoding for the base fonts, the font's own for
#            the symbol fonts)
#   cp1252   Windows code page 1252, glyphs found by Unicode value
#   symbol   a TrueType symbol font: code c is the glyph at U+F000 + c of the (3,0) cmap
# Kinds of match: exact, metric (metric-compatible), approx (approximated).
# Each row: name, source file, layout, kind, filler width (None: the source's .notdef width,
# 600 for an AFM source).
FONTS = [
    ("Algerian", LIB + "LiberationSerif-Bold.ttf", "cp1252", "approx", None),
    ("BookAntiqua-Bold", URW + "P052-Bold.afm", "cp1252", "metric", None),
    ("BookAntiqua-BoldItalic", URW + "P052-BoldItalic.afm", "cp1252", "metric", None),
    ("BookAntiqua-Italic", URW + "P052-Italic.afm", "cp1252", "metric", None),
    ("Arial", LIB + "LiberationSans-Regular.ttf", "cp1252", "metric", None),
    ("Arial-Bold", LIB + "LiberationSans-Bold.ttf", "cp1252", "metric", None),
    ("Arial-BoldItalic", LIB + "LiberationSans-BoldItalic.ttf", "cp1252", "metric", None),
    ("Arial-Italic", LIB + "LiberationSans-Italic.ttf", "cp1252", "metric", None),
    ("ArialNarrow", LIB1 + "LiberationSansNarrow-Regular.ttf", "cp1252", "metric", None),
    ("ArialNarrow-Bold", LIB1 + "LiberationSansNarrow-Bold.ttf", "cp1252", "metric", None),
    ("ArialNarrow-BoldItalic", LIB1 + "LiberationSansNarrow-BoldItalic.ttf", "cp1252", "metric",
     None),
    ("ArialNarrow-Italic", LIB1 + "LiberationSansNarrow-Italic.ttf", "cp1252", "metric", None),
    ("ArialUnicodeMS", LIB + "LiberationSans-Regular.ttf", "cp1252", "approx", None),
    ("ArialBlack", DJV + "DejaVuSans-Bold.ttf", "cp1252", "approx", None),
    ("BaskervilleOldFace", LIB + "LiberationSerif-Regular.ttf", "cp1252", "approx", None),
    ("Bauhaus93", URW + "URWGothic-Demi.afm", "cp1252", "approx", None),
    ("BellMT", LIB + "LiberationSerif-Regular.ttf", "cp1252", "approx", None),
    ("BellMT-Bold", LIB + "LiberationSerif-Bold.ttf", "cp1252", "approx", None),
    ("BellMT-Italic", LIB + "LiberationSerif-Italic.ttf", "cp1252", "approx", None),
    ("BernardMTCondensed", DJV + "DejaVuSerifCondensed-Bold.ttf", "cp1252", "approx", None),
    ("BookAntiqua", URW + "P052-Roman.afm", "cp1252", "metric", None),
    ("BodoniMTPosterCompressed", LIB1 + "LiberationSansNarrow-Bold.ttf", "cp1252", "approx",
     None),
    ("BookmanOldStyle", URW + "URWBookman-Light.afm", "cp1252", "metric", None),
    ("BookmanOldStyle-Bold", URW + "URWBookman-Demi.afm", "cp1252", "metric", None),
    ("BookmanOldStyle-BoldItalic", URW + "URWBookman-DemiItalic.afm", "cp1252", "metric", None),
    ("BookmanOldStyle-Italic", URW + "URWBookman-LightItalic.afm", "cp1252", "metric", None),
    ("BritannicBold", DJV + "DejaVuSans-Bold.ttf", "cp1252", "approx", None),
    ("BerlinSansFB-Bold", URW + "URWGothic-Demi.afm", "cp1252", "approx", None),
    ("BerlinSansFBDemi-Bold", URW + "URWGothic-Demi.afm", "cp1252", "approx", None),
    ("BerlinSansFB", URW + "URWGothic-Book.afm", "cp1252", "approx", None),
    ("Broadway", DJV + "DejaVuSans-Bold.ttf", "cp1252", "approx", None),
    ("BrushScriptMT-Italic", URW + "Z003-MediumItalic.afm", "cp1252", "approx", None),
    ("BookshelfSymbol7", WINE + "wingding.ttf", "symbol", "approx", 891),
    ("CalifornianFB-Bold", LIB + "LiberationSerif-Bold.ttf", "cp1252", "approx", None),
    ("CalifornianFB-Italic", LIB + "LiberationSerif-Italic.ttf", "cp1252", "approx", None),
    ("CalifornianFB", LIB + "LiberationSerif-Regular.ttf", "cp1252", "approx", None),
    ("Centaur", LIB + "LiberationSerif-Regular.ttf", "cp1252", "approx", None),
    ("Century", URW + "C059-Roman.afm", "cp1252", "approx", None),
    ("Chiller", LIB1 + "LiberationSansNarrow-Regular.ttf", "cp1252", "approx", None),
    ("ColonnaMT", LIB + "LiberationSerif-Regular.ttf", "cp1252", "approx", None),
    ("ComicSansMS", COMIC + "ComicNeue-Regular.otf", "cp1252", "approx", None),
    ("ComicSansMS-Bold", COMIC + "ComicNeue-Bold.otf", "cp1252", "approx", None),
    ("CooperBlack", DJV + "DejaVuSerif-Bold.ttf", "cp1252", "approx", None),
    ("CourierNew", LIB + "LiberationMono-Regular.ttf", "cp1252", "metric", None),
    ("CourierNew-Bold", LIB + "LiberationMono-Bold.ttf", "cp1252", "metric", None),
    ("CourierNew-BoldItalic", LIB + "LiberationMono-BoldItalic.ttf", "cp1252", "metric", None),
    ("CourierNew-Italic", LIB + "LiberationMono-Italic.ttf", "cp1252", "metric", None),
    ("Courier-Bold", URW + "NimbusMonoPS-Bold.afm", "builtin", "metric", None),
    ("Courier-BoldOblique", URW + "NimbusMonoPS-BoldItalic.afm", "builtin", "metric", None),
    ("Courier-Oblique", URW + "NimbusMonoPS-Italic.afm", "builtin", "metric", None),
    ("Courier", URW + "NimbusMonoPS-Regular.afm", "builtin", "metric", None),
    ("EstrangeloEdessa", LIB + "LiberationSerif-Regular.ttf", "cp1252", "approx", None),
    ("FranklinGothicMedium", LIB + "LiberationSans-Regular.ttf", "cp1252", "approx", None),
    ("FranklinGothicMedium-Italic", LIB + "LiberationSans-Italic.ttf", "cp1252", "approx", None),
    ("FreestyleScript", URW + "Z003-MediumItalic.afm", "cp1252", "approx", None),
    ("FootlightMTLight", LIB + "LiberationSerif-Regular.ttf", "cp1252", "approx", None),
    ("Garamond", GARA + "EBGaramond12-Regular.otf", "cp1252", "approx", None),
    ("Garamond-Bold", GARA + "EBGaramond12-Bold.otf", "cp1252", "approx", None),
    ("Garamond-Italic", GARA + "EBGaramond12-Italic.otf", "cp1252", "approx", None),
    ("Gautami", DJV + "DejaVuSans.ttf", "cp1252", "approx", None),
    ("Georgia", DJV + "DejaVuSerif.ttf", "cp1252", "approx", None),
    ("Georgia-Bold", DJV + "DejaVuSerif-Bold.ttf", "cp1252", "approx", None),
    ("Georgia-Italic", DJV + "DejaVuSerif-Italic.ttf", "cp1252", "approx", None),
    ("Georgia-BoldItalic", DJV + "DejaVuSerif-BoldItalic.ttf", "cp1252", "approx", None),
    ("CenturyGothic", URW + "URWGothic-Book.afm", "cp1252", "metric", None),
    ("CenturyGothic-Bold", URW + "URWGothic-Demi.afm", "cp1252", "metric", None),
    ("CenturyGothic-BoldItalic", URW + "URWGothic-DemiOblique.afm", "cp1252", "metric", None),
    ("CenturyGothic-Italic", URW + "URWGothic-BookOblique.afm", "cp1252", "metric", None),
    ("HarlowSolidItalic-Italic", URW + "Z003-MediumItalic.afm", "cp1252", "approx", None),
    ("Harrington", LIB + "LiberationSerif-Regular.ttf", "cp1252", "approx", None),
    ("Haettenschweiler", LIB1 + "LiberationSansNarrow-Bold.ttf", "cp1252", "approx", None),
    ("Helvetica-Bold", URW + "NimbusSans-Bold.afm", "builtin", "metric", None),
    ("Helvetica-BoldOblique", URW + "NimbusSans-BoldItalic.afm", "builtin", "metric", None),
    ("Helvetica-Oblique", URW + "NimbusSans-Italic.afm", "builtin", "metric", None),
    ("Helvetica", URW + "NimbusSans-Regular.afm", "builtin", "metric", None),
    ("HighTowerText", LIB + "LiberationSerif-Regular.ttf", "cp1252", "approx", None),
    ("HighTowerText-Italic", LIB + "LiberationSerif-Italic.ttf", "cp1252", "approx", None),
    ("Impact", LIB1 + "LiberationSansNarrow-Bold.ttf", "cp1252", "approx", None),
    ("InformalRoman", COMIC + "ComicNeue-Regular.otf", "cp1252", "approx", None),
    ("KristenITC", COMIC + "ComicNeue-Regular.otf", "cp1252", "approx", None),
    ("Jokerman", COMIC + "ComicNeue-Bold.otf", "cp1252", "approx", None),
    ("JuiceITC", LIB1 + "LiberationSansNarrow-Regular.ttf", "cp1252", "approx", None),
    ("Kartika", DJV + "DejaVuSans.ttf", "cp1252", "approx", None),
    ("KunstlerScript", URW + "Z003-MediumItalic.afm", "cp1252", "approx", None),
    ("Latha", DJV + "DejaVuSans.ttf", "cp1252", "approx", None),
    ("WideLatin", DJV + "DejaVuSans-Bold.ttf", "cp1252", "approx", None),
    ("LucidaBright", DJV + "DejaVuSerif.ttf", "cp1252", "approx", None),
    ("LucidaBright-Demibold", DJV + "DejaVuSerif-Bold.ttf", "cp1252", "approx", None),
    ("LucidaBright-DemiboldItalic", DJV + "DejaVuSerif-BoldItalic.ttf", "cp1252", "approx", None),
    ("LucidaBright-Italic", DJV + "DejaVuSerif-Italic.ttf", "cp1252", "approx", None),
    ("LucidaCalligraphy-Italic", URW + "Z003-MediumItalic.afm", "cp1252", "approx", None),
    ("LucidaFax", DJV + "DejaVuSerif.ttf", "cp1252", "approx", None),
    ("LucidaFax-Demibold", DJV + "DejaVuSerif-Bold.ttf", "cp1252", "approx", None),
    ("LucidaFax-DemiboldItalic", DJV + "DejaVuSerif-BoldItalic.ttf", "cp1252", "approx", None),
    ("LucidaFax-Italic", DJV + "DejaVuSerif-Italic.ttf", "cp1252", "approx", None),
    ("LucidaHandwriting-Italic", URW + "Z003-MediumItalic.afm", "cp1252", "approx", None),
    ("LucidaSans", DJV + "DejaVuSans.ttf", "cp1252", "approx", None),
    ("LucidaSans-DemiboldRoman", DJV + "DejaVuSans-Bold.ttf", "cp1252", "approx", None),
    ("LucidaSans-DemiboldItalic", DJV + "DejaVuSans-BoldOblique.ttf", "cp1252", "approx", None),
    ("LucidaSans-Italic", DJV + "DejaVuSans-Oblique.ttf", "cp1252", "approx", None),
    ("LucidaConsole", DJV + "DejaVuSansMono.ttf", "cp1252", "approx", None),
    ("LucidaSansUnicode", DJV + "DejaVuSans.ttf", "cp1252", "approx", None),
    ("Magneto-Bold", URW + "Z003-MediumItalic.afm", "cp1252", "approx", None),
    ("Mangal", DJV + "DejaVuSans.ttf", "cp1252", "approx", None),
    ("Marlett", WINE + "marlett.ttf", "symbol", "metric", 500),
    ("MaturaMTScriptCapitals", URW + "Z003-MediumItalic.afm", "cp1252", "approx", None),
    ("MicrosoftSansSerif", WINE + "ms_sans_serif.ttf", "cp1252", "approx", None),
    ("Mistral", URW + "Z003-MediumItalic.afm", "cp1252", "approx", None),
    ("MonotypeCorsiva", URW + "Z003-MediumItalic.afm", "cp1252", "metric", None),
    ("MVBoli", COMIC + "ComicNeue-Regular.otf", "cp1252", "approx", None),
    ("NiagaraEngraved", LIB1 + "LiberationSansNarrow-Regular.ttf", "cp1252", "approx", None),
    ("NiagaraSolid", LIB1 + "LiberationSansNarrow-Regular.ttf", "cp1252", "approx", None),
    ("OldEnglishTextMT", LIB + "LiberationSerif-Bold.ttf", "cp1252", "approx", None),
    ("Onyx", LIB1 + "LiberationSansNarrow-Regular.ttf", "cp1252", "approx", None),
    ("PalatinoLinotype", URW + "P052-Roman.afm", "cp1252", "metric", None),
    ("PalatinoLinotype-Bold", URW + "P052-Bold.afm", "cp1252", "metric", None),
    ("PalatinoLinotype-BoldItalic", URW + "P052-BoldItalic.afm", "cp1252", "metric", None),
    ("PalatinoLinotype-Italic", URW + "P052-Italic.afm", "cp1252", "metric", None),
    ("Parchment", URW + "Z003-MediumItalic.afm", "cp1252", "approx", None),
    ("Playbill", LIB1 + "LiberationSansNarrow-Bold.ttf", "cp1252", "approx", None),
    ("PoorRichard", LIB + "LiberationSerif-Regular.ttf", "cp1252", "approx", None),
    ("Raavi", DJV + "DejaVuSans.ttf", "cp1252", "approx", None),
    ("Ravie", DJV + "DejaVuSans-Bold.ttf", "cp1252", "approx", None),
    ("MSReferenceSansSerif", DJV + "DejaVuSans.ttf", "cp1252", "approx", None),
    ("MSReferenceSpecialty", WINE + "wingding.ttf", "symbol", "approx", 891),
    ("ShowcardGothic", DJV + "DejaVuSans-Bold.ttf", "cp1252", "approx", None),
    ("Shruti", DJV + "DejaVuSans.ttf", "cp1252", "approx", None),
    ("SimHei", DJV + "DejaVuSans.ttf", "cp1252", "approx", None),
    ("SnapITC", DJV + "DejaVuSans-Bold.ttf", "cp1252", "approx", None),
    ("Stencil", DJV + "DejaVuSans-Bold.ttf", "cp1252", "approx", None),
    ("Sylfaen", DJV + "DejaVuSerif.ttf", "cp1252", "approx", None),
    ("SymbolMT", URW + "StandardSymbolsPS.afm", "builtin", "metric", None),
    ("Tahoma", WINE + "tahoma.ttf", "cp1252", "metric", None),
    ("Tahoma-Bold", WINE + "tahomabd.ttf", "cp1252", "metric", None),
    ("TempusSansITC", COMIC + "ComicNeue-Regular.otf", "cp1252", "approx", None),
    ("Times-Bold", URW + "NimbusRoman-Bold.afm", "builtin", "metric", None),
    ("Times-BoldItalic", URW + "NimbusRoman-BoldItalic.afm", "builtin", "metric", None),
    ("Times-Italic", URW + "NimbusRoman-Italic.afm", "builtin", "metric", None),
    ("Times-Roman", URW + "NimbusRoman-Regular.afm", "builtin", "metric", None),
    ("TimesNewRoman", LIB + "LiberationSerif-Regular.ttf", "cp1252", "metric", None),
    ("TimesNewRoman-Bold", LIB + "LiberationSerif-Bold.ttf", "cp1252", "metric", None),
    ("TimesNewRoman-BoldItalic", LIB + "LiberationSerif-BoldItalic.ttf", "cp1252", "metric",
     None),
    ("TimesNewRoman-Italic", LIB + "LiberationSerif-Italic.ttf", "cp1252", "metric", None),
    ("TrebuchetMS", DJV + "DejaVuSans.ttf", "cp1252", "approx", None),
    ("TrebuchetMS-Bold", DJV + "DejaVuSans-Bold.ttf", "cp1252", "approx", None),
    ("TrebuchetMS-BoldItalic", DJV + "DejaVuSans-BoldOblique.ttf", "cp1252", "approx", None),
    ("TrebuchetMS-Italic", DJV + "DejaVuSans-Oblique.ttf", "cp1252", "approx", None),
    ("Tunga", DJV + "DejaVuSans.ttf", "cp1252", "approx", None),
    ("Verdana", DJV + "DejaVuSans.ttf", "cp1252", "approx", None),
    ("Verdana-Bold", DJV + "DejaVuSans-Bold.ttf", "cp1252", "approx", None),
    ("Verdana-Italic", DJV + "DejaVuSans-Oblique.ttf", "cp1252", "approx", None),
    ("Verdana-BoldItalic", DJV + "DejaVuSans-BoldOblique.ttf", "cp1252", "approx", None),
    ("VinerHandITC", COMIC + "ComicNeue-Regular.otf", "cp1252", "approx", None),
    ("Vivaldi-Italic", URW + "Z003-MediumItalic.afm", "cp1252", "approx", None),
    ("VladimirScript", URW + "Z003-MediumItalic.afm", "cp1252", "approx", None),
    ("Vrinda", DJV + "DejaVuSans.ttf", "cp1252", "approx", None),
    ("Webdings", WINE + "webdings.ttf", "symbol", "approx", 1000),
    ("Wingdings", WINE + "wingding.ttf", "symbol", "approx", 891),
    ("Wingdings2", WINE + "wingding.ttf", "symbol", "approx", 891),
    ("Wingdings3", WINE + "wingding.ttf", "symbol", "approx", 891),
    ("ZapfDingbats", URW + "D050000L.afm", "builtin", "metric", None),
]

# The published bounding boxes of the standard base fonts (the URW files' own boxes are
# larger, since they cover many more glyphs).
BASE_FONT_BBOX = {
    "Helvetica": (-166, -225, 1000, 931),
    "Helvetica-Bold": (-170, -228, 1003, 962),
    "Helvetica-Oblique": (-170, -225, 1116, 931),
    "Helvetica-BoldOblique": (-174, -228, 1114, 962),
    "Times-Roman": (-168, -218, 1000, 898),
    "Times-Bold": (-168, -218, 1000, 935),
    "Times-Italic": (-169, -217, 1010, 883),
    "Times-BoldItalic": (-200, -218, 996, 921),
    "Courier": (-23, -250, 715, 805),
    "Courier-Bold": (-113, -250, 749, 801),
    "Courier-Oblique": (-27, -250, 849, 805),
    "Courier-BoldOblique": (-57, -250, 869, 801),
    "ZapfDingbats": (-1, -143, 981, 820),
}

# Values that are fixed whatever the source says: bbox, the width of codes 0-31, single codes,
# and "all" for a monospaced font. Digits are codes 48-57.
DIGITS = range(48, 58)
FIXED_ROWS = {
    "Arial": {"bbox": (-46, -210, 1000, 896), "controls": 750,
              "codes": {32: 278, 65: 667, 97: 556, 105: 222, 128: 556, **{d: 556 for d in DIGITS}}},
    "Helvetica": {"controls": 600,
                  "codes": {32: 278, 65: 667, 97: 556, 105: 222, 164: 167,
                            **{d: 556 for d in DIGITS}}},
    "Times-Roman": {"controls": 600,
                    "codes": {32: 250, 65: 722, 97: 444, 105: 278, **{d: 500 for d in DIGITS}}},
    "TimesNewRoman": {"bbox": (-77, -216, 1009, 896), "controls": 778,
                      "codes": {32: 250, 65: 722, 97: 444, 105: 278,
                                **{d: 500 for d in DIGITS}}},
    "ZapfDingbats": {"controls": 600, "codes": {32: 278, 65: 692, 97: 789, 105: 713}},
    "Marlett": {"bbox": (0, 0, 1000, 1000), "controls": 500,
                "codes": {32: 500, 65: 500, 97: 1000, 105: 1000, **{d: 1000 for d in DIGITS}}},
    # The published fraction width of the Helvetica family (the URW files have 278).
    "Helvetica-Bold": {"codes": {164: 167}},
    "Helvetica-Oblique": {"codes": {164: 167}},
    "Helvetica-BoldOblique": {"codes": {164: 167}},
    "LucidaConsole": {"all": 603},
}
for mono in ("Courier", "Courier-Bold", "Courier-Oblique", "Courier-BoldOblique", "CourierNew",
             "CourierNew-Bold", "CourierNew-BoldItalic", "CourierNew-Italic"):
    FIXED_ROWS.setdefault(mono, {})["all"] = 600
for name, box in BASE_FONT_BBOX.items():
    FIXED_ROWS.setdefault(name, {}).setdefault("bbox", box)

# The names in table order, as the program lists them.
TABLE_ORDER = """Algerian BookAntiqua-Bold BookAntiqua-BoldItalic BookAntiqua-Italic Arial Arial-Bold
Arial-BoldItalic Arial-Italic ArialNarrow ArialNarrow-Bold ArialNarrow-BoldItalic
ArialNarrow-Italic ArialUnicodeMS ArialBlack BaskervilleOldFace Bauhaus93 BellMT BellMT-Bold
BellMT-Italic BernardMTCondensed BookAntiqua BodoniMTPosterCompressed BookmanOldStyle
BookmanOldStyle-Bold BookmanOldStyle-BoldItalic BookmanOldStyle-Italic BritannicBold
BerlinSansFB-Bold BerlinSansFBDemi-Bold BerlinSansFB Broadway BrushScriptMT-Italic
BookshelfSymbol7 CalifornianFB-Bold CalifornianFB-Italic CalifornianFB Centaur Century Chiller
ColonnaMT ComicSansMS ComicSansMS-Bold CooperBlack CourierNew CourierNew-Bold
CourierNew-BoldItalic CourierNew-Italic Courier-Bold Courier-BoldOblique Courier-Oblique Courier
EstrangeloEdessa FranklinGothicMedium FranklinGothicMedium-Italic FreestyleScript
FootlightMTLight Garamond Garamond-Bold Garamond-Italic Gautami Georgia Georgia-Bold
Georgia-Italic Georgia-BoldItalic CenturyGothic CenturyGothic-Bold CenturyGothic-BoldItalic
CenturyGothic-Italic HarlowSolidItalic-Italic Harrington Haettenschweiler Helvetica-Bold
Helvetica-BoldOblique Helvetica-Oblique Helvetica HighTowerText HighTowerText-Italic Impact
InformalRoman KristenITC Jokerman JuiceITC Kartika KunstlerScript Latha WideLatin LucidaBright
LucidaBright-Demibold LucidaBright-DemiboldItalic LucidaBright-Italic LucidaCalligraphy-Italic
LucidaFax LucidaFax-Demibold LucidaFax-DemiboldItalic LucidaFax-Italic LucidaHandwriting-Italic
LucidaSans LucidaSans-DemiboldRoman LucidaSans-DemiboldItalic LucidaSans-Italic LucidaConsole
LucidaSansUnicode Magneto-Bold Mangal Marlett MaturaMTScriptCapitals MicrosoftSansSerif Mistral
MonotypeCorsiva MVBoli NiagaraEngraved NiagaraSolid OldEnglishTextMT Onyx PalatinoLinotype
PalatinoLinotype-Bold PalatinoLinotype-BoldItalic PalatinoLinotype-Italic Parchment Playbill
PoorRichard Raavi Ravie MSReferenceSansSerif MSReferenceSpecialty ShowcardGothic Shruti SimHei
SnapITC Stencil Sylfaen SymbolMT Tahoma Tahoma-Bold TempusSansITC Times-Bold Times-BoldItalic
Times-Italic Times-Roman TimesNewRoman TimesNewRoman-Bold TimesNewRoman-BoldItalic
TimesNewRoman-Italic TrebuchetMS TrebuchetMS-Bold TrebuchetMS-BoldItalic TrebuchetMS-Italic Tunga
Verdana Verdana-Bold Verdana-Italic Verdana-BoldItalic VinerHandITC Vivaldi-Italic VladimirScript
Vrinda Webdings Wingdings Wingdings2 Wingdings3 ZapfDingbats""".split()

AFM_FILLER = 600


def round_half_up(value):
    return int(math.floor(value + 0.5))


def read_afm(path):
    """The FontBBox and the (code, width, glyph name) of every character metrics line."""
    bbox = None
    chars = []
    in_metrics = False
    for raw in Path(path).read_text(encoding="latin-1").splitlines():
        line = raw.strip()
        if line.startswith("FontBBox"):
            bbox = tuple(round_half_up(float(v)) for v in line.split()[1:5])
        elif line.startswith("StartCharMetrics"):
            in_metrics = True
        elif line.startswith("EndCharMetrics"):
            in_metrics = False
        elif in_metrics and line:
            fields = {}
            for part in line.split(";"):
                words = part.split()
                if len(words) >= 2:
                    fields[words[0]] = words[1]
            if "C" in fields and "WX" in fields:
                chars.append((int(fields["C"]), round_half_up(float(fields["WX"])),
                              fields.get("N", "")))
    if bbox is None:
        raise SystemExit(f"{path}: no FontBBox")
    return bbox, chars


def cp1252_unicode(code):
    """The Unicode value of a code of code page 1252, or None for control and unused codes."""
    if code < 32 or code == 127:
        return None
    try:
        return ord(bytes([code]).decode("cp1252"))
    except UnicodeDecodeError:
        return None


def afm_widths(path, layout, filler):
    bbox, chars = read_afm(path)
    widths = [filler] * 256
    if layout == "builtin":
        for code, width, _ in chars:
            if 0 <= code < 256:
                widths[code] = width
    else:
        by_unicode = {}
        for _, width, name in chars:
            text = agl.toUnicode(name)
            if len(text) == 1:
                by_unicode.setdefault(ord(text), width)
        for code in range(256):
            uv = cp1252_unicode(code)
            if uv is not None and uv in by_unicode:
                widths[code] = by_unicode[uv]
    return bbox, widths


def sfnt_widths(path, layout, filler):
    font = TTFont(path, lazy=True)
    head = font["head"]
    scale = 1000.0 / head.unitsPerEm
    metrics = font["hmtx"].metrics
    if filler is None:
        filler = round_half_up(metrics[font.getGlyphOrder()[0]][0] * scale)
    widths = [filler] * 256
    if layout == "symbol":
        cmap = font["cmap"].getcmap(3, 0).cmap
        for code in range(256):
            glyph = cmap.get(0xF000 + code, cmap.get(code))
            if glyph is not None:
                widths[code] = round_half_up(metrics[glyph][0] * scale)
    else:
        cmap = font.getBestCmap()
        for code in range(256):
            uv = cp1252_unicode(code)
            glyph = cmap.get(uv) if uv is not None else None
            if glyph is not None:
                widths[code] = round_half_up(metrics[glyph][0] * scale)
    bbox = tuple(round_half_up(v * scale) for v in (head.xMin, head.yMin, head.xMax, head.yMax))
    return bbox, widths


def apply_fixed(name, bbox, widths, report):
    fixed = FIXED_ROWS.get(name)
    if not fixed:
        return bbox
    if "bbox" in fixed and tuple(fixed["bbox"]) != tuple(bbox):
        report.append(f"{name}: bbox {' '.join(map(str, bbox))} -> "
                      f"{' '.join(map(str, fixed['bbox']))}")
        bbox = tuple(fixed["bbox"])
    wanted = {}
    if "all" in fixed:
        wanted.update({code: fixed["all"] for code in range(256)})
    if "controls" in fixed:
        wanted.update({code: fixed["controls"] for code in range(32)})
    wanted.update(fixed.get("codes", {}))
    changed = [code for code, width in sorted(wanted.items()) if widths[code] != width]
    if changed:
        shown = ", ".join(f"{c}: {widths[c]}->{wanted[c]}" for c in changed[:6])
        more = f" (+{len(changed) - 6} more)" if len(changed) > 6 else ""
        report.append(f"{name}: {shown}{more}")
    for code, width in wanted.items():
        widths[code] = width
    return bbox


def build():
    names = [row[0] for row in FONTS]
    if names != TABLE_ORDER or len(names) != 161:
        raise SystemExit("the font list does not match the table order")
    entries = []
    report = []
    for name, path, layout, _kind, filler in FONTS:
        if path.endswith(".afm"):
            bbox, widths = afm_widths(path, layout, AFM_FILLER if filler is None else filler)
        else:
            bbox, widths = sfnt_widths(path, layout, filler)
        bbox = apply_fixed(name, bbox, widths, report)
        entries.append((name, bbox, widths))
    return entries, report


def emit(entries):
    out = ["// Generated by tools/fonts/make_font_data.py from installed font metrics; do not edit.",
           "// Widths and bounding boxes in thousandths of the font size, codes 0 to 255.",
           "",
           '#include "stamp/fonts/FontTable.h"',
           "",
           "// clang-format off",
           "const FontMetrics kBuiltinFonts[] = {"]
    for name, bbox, widths in entries:
        out.append(f'    {{"{name}",')
        out.append(f"     {{{', '.join(map(str, bbox))}}},")
        out.append("     {")
        for row in range(0, 256, 16):
            out.append("         " + ", ".join(map(str, widths[row:row + 16])) + ",")
        out.append("     }},")
    out.append("};")
    out.append("// clang-format on")
    out.append("")
    out.append("const int kBuiltinFontCount = "
               "static_cast<int>(sizeof(kBuiltinFonts) / sizeof(kBuiltinFonts[0]));")
    return "\n".join(out) + "\n"


PACKAGES = {URW: "fonts-urw-base35", LIB: "fonts-liberation2", LIB1: "fonts-liberation",
            WINE: "fonts-wine", DJV: "fonts-dejavu-core / -extra", COMIC: "fonts-comic-neue",
            GARA: "fonts-ebgaramond"}
KIND_TEXT = {"metric": "metric-compatible", "approx": "approximated", "exact": "exact"}
LAYOUT_TEXT = {"builtin": "font's own encoding", "cp1252": "code page 1252",
               "symbol": "symbol font codes"}


def table():
    """The source table of README.md, in Markdown."""
    lines = ["| # | Name | Source file | Package | Layout | Match | Fixed values |",
             "|---|---|---|---|---|---|---|"]
    for index, (name, path, layout, kind, _filler) in enumerate(FONTS):
        folder, file = path.rsplit("/", 1)
        fixed = FIXED_ROWS.get(name, {})
        notes = []
        if "bbox" in fixed:
            notes.append("bbox")
        if "controls" in fixed or "codes" in fixed:
            notes.append("telling row" if name not in ("Helvetica-Bold", "Helvetica-Oblique",
                                                      "Helvetica-BoldOblique")
                         else "fraction 167")
        if "all" in fixed:
            notes.append(f"all {fixed['all']}")
        lines.append(f"| {index} | {name} | {file} | {PACKAGES[folder + '/']} | "
                     f"{LAYOUT_TEXT[layout]} | {KIND_TEXT[kind]} | {', '.join(notes)} |")
    return "\n".join(lines) + "\n"


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "--table":
        sys.stdout.write(table())
        return
    target = Path(sys.argv[1]) if len(sys.argv) > 1 else \
        Path(__file__).resolve().parents[2] / "stamp" / "FontData.cpp"
    entries, report = build()
    target.write_text(emit(entries))
    print(f"wrote {target}: {len(entries)} fonts")
    for line in report:
        print("fixed", line)


if __name__ == "__main__":
    main()
