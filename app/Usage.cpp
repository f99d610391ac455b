#include "app/Usage.h"

#include <cstdio>

namespace {

// Written as plain text, never as format strings (one line holds a "%").
const char* const kUsageLines[] = {
    "Parameters:\n",
    "-i<pdf input filename> source pdf filename or list of files in txt file, a folder of pdf "
    "files, or - for standard input\n",
    "-o<pdf output filename> destination pdf filename, or - for standard output\n",
    "-f<pdf output folder> destination folder, the source file title is used for output pdf file "
    "title; missing folders are created\n",
    "\n",
    "-s(n) page to start processing at, default at 1\n",
    "-e(n) page to end processing at, default at 99999\n",
    "-ns(n) page number to start at, default at 1\n",
    "-ne(n) page number to end at, default at 99999\n",
    "-m(n) mask number with n zeros e.g. -m5 would create number 00001, e.g. page 00001 of 00010, "
    "default mask 0\n",
    "-n(n) only page number 1 in nth> e.g. -n2 would page number pages 1,3,5,7 with page numbers "
    "1,3,5,7, default 0\n",
    "-seq sequential numbering for -n(n), e.g. e.g. -n2 -seq would page number pages 1,3,5,7 with "
    "page numbers 1,2,3,4, default 0\n",
    "-r reverse page numbers first page would be last page number, last page would be first page "
    "number.\n",
    "-2up 2 up page numbering e.g. 10 page doc, page 1 would be 1, page 2 would be 6, page 3 would "
    "be 2, page 3 would be 7.\n",
    "-ab2 A/B 2 up page numbering e.g. 10 page doc, page 1 would be 1, page 2\n",
    "-one one page number text only, e.g. by default page number 1 / 2, 2 / 2 so one would be just "
    "1 then 2\n",
    "-rom roman numerals numbering lower case e.g. xii\n",
    "-ROM roman numerals numbering in upper case, e.g. XII\n",
    "-export<filename> carry last page number over to next pdf, save last number+1 to a file\n",
    "-import<filename> import above file for number to start at.\n",
    "-noincrement no page number increment until next pdf when used with export\n",
    "-nopg no page numbers just text, e.g. -nopg -prefix \"my text here\" -sep \"\" -end \"\"\n",
    "-prefix <text> text to prefix page number with e.g. 'Page ' e.g. for Page 1 / 2, set default "
    "to 'Page '\n",
    "-sep <text> text to separate page number start and end with, e.g. ' / ' for e.g. 1 / 2, set "
    "default to ' / '\n",
    "-end <text> text to end with, e.g. ' Pages' for e.g. 1 of 2 Pages, no default i.e. ''\n",
    "-font <text> font name to use, e.g. Arial, use Arial as default\n",
    "-fontfile <filename> for loading other font metrics into the program\n",
    "-embedfont <filename> TrueType or OpenType font file (file.ttc,N for face N of a "
    "collection) to draw the text in as UTF-8, embedded as a subset of the glyphs used\n",
    "-color(xxxxxx) RGB hex font color to use in rgb hex. -color000000 is default for black. "
    "default as black.\n",
    "-CMYKcolor(xxxxxx) CMYK hex font color to use in cmyk hex. -color00000000 is default for "
    "black. default as black.\n",
    "-box(xxxxxx) RGB hex colour of a box filled behind the text, a quarter of the font size "
    "wider on every side and turned with it; no box is the default.\n",
    "-size(n) font size to use, e.g. 11, use 11 as default\n",
    "-angle(n) angle of text in degrees, use 0 as default\n",
    "-align <text> align justified text, can be 'left', 'right' or 'center' ('centre', any letter "
    "case), left is default. e.g. right on positions 20,20 would mean last character right edge "
    "ends at that position.\n",
    "-under draw the stamp before the page's own content, so that the page's text and pictures "
    "lie on top of it (default is on top).\n",
    "-next ends one stamp and starts another, from the defaults: the stamp options after it "
    "(text, numbering, font, colour, placement) are the new stamp's; every stamp is drawn in "
    "the same pass\n",
    "-noforce no force portrait when landscape, if view is rotated then calculate as unrotated. "
    "(default is turned on)\n",
    "-pos(n),(n) h,v (horizontal, vertical) positions on page calculated from bottom left up. e.g. "
    "20,20 would be bottom left corner. use 10,20 as default. if -1 is specified then center on "
    "page size.\n",
    "-flipv flips vertical positions so 20,20 would be top left calculated from top of page.\n",
    "-fliph flips horizontal positions so 20,20 would be bottom right from right edge of page.\n",
    "-rename <filename> rename output file to include pdf page information e.g. -rename "
    "[FILETITLE]_[PAGESTART]-[PAGEEND].pdf\n",
    "-image <filename> stamp a picture instead of the text: a JPEG or PNG file (with its "
    "transparency), placed as the text is (-pos, -align, -angle, -flipv, -fliph, -opacity, "
    "-under)\n",
    "-overlay <file.pdf>[,N] stamp page N (default 1) of another PDF file instead of the text, at "
    "the size of its page, placed as a picture is; its annotations and form fields are not "
    "drawn\n",
    "-scale(n) picture size in percent of its own (its pixels at its resolution, else 72 per "
    "inch; a PDF page's box), e.g. -scale50\n",
    "-width(n) picture fitted to this width in points, its aspect kept\n",
    "-height(n) picture fitted to this height in points, its aspect kept (with -width: within "
    "both)\n",
    "-opacity change the text so it's see-thru e.g. -opacity30    1-100%, default is 100\n",
    "-textfile <filename>  multiple text lines file\n",
    "-linespace for linespacing when using a text file above, e.g. -linespace15\n",
    "-log <filename> appends one row per input file to this CSV production log: input, output, "
    "status, pages, first and last number and text (BegBates/EndBates), cause of a failure\n",
    "-keepgoing a list goes on past a file that fails, and ends with a summary line (status 1 "
    "when any failed)\n",
    "-listdelim <string>   listdelimiter for filelist, e.g.   -listdelim ,  would separate "
    "AAA.pdf,ACCOUNT: 1234546   on the comma\n",
    "-listsep <string>   filelist text separator, e.g.   -listsep / would output 123456,AAA,11: "
    "ACCOUNT: 123456/AAA/11\n",
    "-listusecol <string> columns to use in delimited file (optional, if not set then will use "
    "all), e.g. -listusecol 1,3   would use columns 1 & 3 only, i.e. skips 2. note: col 0 is the "
    "filename\n",
    "-liststartcol <n> the column of a delimited list that holds the number each line's document "
    "starts at (a plan's column 1), instead of a counter file; a first line without a number is a "
    "header and skipped; the other columns make the text only where -listusecol names them\n",
    "-plan <filename.csv> stamps nothing: reads every document of the list and writes one row per "
    "document: input, start number, pages, stamped pages, first and last number and text, cause "
    "of a failure (and the counter to -export)\n",
    "-removesourcefile removes source file after processing\n",
    "-sizefile <filename> for various size fonts depending on page size\n",
    "-pagesize n,n,n,n  set page size if invalid mediabox in pdf\n",
    "-quiet for supressing processing text, excluding errors\n",
    "-incremental keeps every byte of the input and appends the stamp as an incremental update "
    "(signed files are always stamped so, which keeps their signatures valid)\n",
    "-password <string> user or owner password of a protected PDF file (protected files are "
    "always stamped as an incremental update that keeps their protection)\n",
    "-ignorepermissions stamps a protected file whose permissions do not allow changes (at your "
    "own responsibility)\n",
    "\r\nExample usage:-\r\n",
    "quillmark -ifilein.pdf -ofileout.pdf -pos20,10\r\n",
    "quillmark -ifilein.pdf -ofileout.pdf -prefix \"Page No: \" -sep \" of \" -end \" Pages.\"\r\n",
    "quillmark -ifilein.pdf -ofileout.pdf -nopg -prefix \"my text here\" -sep \"\" -end \"\"\n",
    "see examples folder for all parameters usage in test.bat, list.bat and list_complex.bat\r\n",
    "NOTE: first 2 parameters have to be -i -o or -i -f, each with its value attached, "
    "e.g. -ifilein.pdf, not -i filein.pdf\r\n",
    "If your filename has spaces in it then use double quotes around the filename, e.g. \"c:\\my "
    "test\\test file.pdf\"\n",
    "\nWildcards * are not permitted, if you want to process many files then do: dir /B *.pdf > "
    "list.txt, then quillmark -ilist.txt -foutputfolder\n",
    "\r\n",
    "\r\n",
};

} // namespace

void printBanner() {
    std::printf("\r\n%s %s\r\n\r\n", kProgramName, kProgramVersion);
}

void printUsage() {
    printBanner();
    for (const char* line : kUsageLines) {
        std::fputs(line, stdout);
    }
}

void printVersion() {
    std::printf("%s %s\n", kProgramName, kProgramVersion);
}
