#include "stamp/fonts/CFontFace.h"

#include "pdf/CPdfException.h"
#include "pdf/Limits.h"
#include "platform/Platform.h"
#include "platform/UniqueFile.h"

#include <cerrno>
#include <charconv>
#include <cstring>

#if QUILLMARK_HARFBUZZ
#include <hb-ot.h>
#include <hb-subset.h>
#include <hb.h>
#endif

namespace {

// "file" or "file,N": the path and the face index. A comma followed by anything but digits
// belongs to the file name.
void splitFaceIndex(const std::string& fontArgument, std::string& path, unsigned& index) {
    path = fontArgument;
    index = 0;
    const size_t comma = fontArgument.rfind(',');
    if (comma == std::string::npos || comma + 1 == fontArgument.size()) {
        return;
    }
    const char* first = fontArgument.data() + comma + 1;
    const char* last = fontArgument.data() + fontArgument.size();
    unsigned value = 0;
    const auto result = std::from_chars(first, last, value);
    if (result.ec == std::errc() && result.ptr == last) {
        path = fontArgument.substr(0, comma);
        index = value;
    }
}

} // namespace

#if QUILLMARK_HARFBUZZ

namespace {

std::string readFontFile(const std::string& path) {
    std::string error;
    UniqueFile file(platform::openRegularFile(path, error));
    if (!file) {
        throw CPdfException("Can't read the font file '" + path + "': " + error);
    }
    uint64_t size = 0;
    if (!platform::fileSize(file.get(), size)) {
        throw CPdfException("Can't read the font file '" + path + "': its size is unknown");
    }
    if (size > limits::kMaxFontFileBytes) {
        throw CPdfException("The font file '" + path + "' is too large to be a font");
    }
    std::string bytes(static_cast<size_t>(size), '\0');
    if (size > 0 && !platform::readAt(file.get(), 0, bytes.data(), bytes.size())) {
        throw CPdfException("Can't read the font file '" + path + "': " + std::strerror(errno));
    }
    return bytes;
}

// A PostScript name keeps printable ASCII without PDF delimiters or blanks.
std::string cleanedName(std::string_view name) {
    std::string out;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte > 0x20 && byte < 0x7F && std::strchr("()<>[]{}/%#", c) == nullptr) {
            out += c;
        }
    }
    return out.substr(0, 63);
}

} // namespace

struct CFontFace::Handles {
    std::string bytes;
    hb_blob_t* blob = nullptr;
    hb_face_t* face = nullptr;
    hb_font_t* font = nullptr;
    hb_buffer_t* buffer = nullptr;
    ~Handles() {
        hb_buffer_destroy(buffer);
        hb_font_destroy(font);
        hb_face_destroy(face);
        hb_blob_destroy(blob);
    }
};

CFontFace::CFontFace() = default;
CFontFace::~CFontFace() = default;

bool CFontFace::supported() {
    return true;
}

void CFontFace::load(const std::string& fontArgument) {
    std::string path;
    unsigned index = 0;
    splitFaceIndex(fontArgument, path, index);
    auto handles = std::make_unique<Handles>();
    handles->bytes = readFontFile(path);
    handles->blob =
        hb_blob_create_or_fail(handles->bytes.data(), static_cast<unsigned>(handles->bytes.size()),
                               HB_MEMORY_MODE_READONLY, nullptr, nullptr);
    const unsigned faces = handles->blob != nullptr ? hb_face_count(handles->blob) : 0;
    if (faces == 0) {
        throw CPdfException("The file '" + path + "' is not a TrueType or OpenType font");
    }
    if (index >= faces) {
        throw CPdfException("The font file '" + path + "' has no face " + std::to_string(index) +
                            " (it has " + std::to_string(faces) + ")");
    }
    handles->face = hb_face_create(handles->blob, index);
    hb_blob_t* glyf = hb_face_reference_table(handles->face, HB_TAG('g', 'l', 'y', 'f'));
    hb_blob_t* cff = hb_face_reference_table(handles->face, HB_TAG('C', 'F', 'F', ' '));
    const bool hasOutlines = hb_blob_get_length(glyf) > 0 || hb_blob_get_length(cff) > 0;
    hb_blob_destroy(glyf);
    hb_blob_destroy(cff);
    if (hb_face_get_glyph_count(handles->face) == 0 || !hasOutlines ||
        hb_face_get_upem(handles->face) == 0) {
        throw CPdfException("The file '" + path + "' holds no TrueType or CFF outlines");
    }
    handles->font = hb_font_create(handles->face);
    handles->buffer = hb_buffer_create();
    if (!hb_buffer_allocation_successful(handles->buffer)) {
        throw CPdfException("Out of memory");
    }

    char name[128];
    unsigned length = sizeof name;
    hb_ot_name_get_utf8(handles->face, HB_OT_NAME_ID_POSTSCRIPT_NAME, HB_LANGUAGE_INVALID, &length,
                        name);
    postScriptName_ = cleanedName(std::string_view(name, length));
    if (postScriptName_.empty()) {
        const std::string_view file = std::string_view(path).substr(platform::fileNameStart(path));
        postScriptName_ = cleanedName(file.substr(0, file.rfind('.')));
    }
    if (postScriptName_.empty()) {
        postScriptName_ = "Font";
    }
    handles_ = std::move(handles);
}

std::vector<ShapedGlyph> CFontFace::shape(std::string_view utf8) const {
    hb_buffer_t* buffer = handles_->buffer;
    hb_buffer_clear_contents(buffer);
    hb_buffer_add_utf8(buffer, utf8.data(), static_cast<int>(utf8.size()), 0,
                       static_cast<int>(utf8.size()));
    hb_buffer_guess_segment_properties(buffer);
    hb_shape(handles_->font, buffer, nullptr, 0);
    unsigned count = 0;
    const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer, &count);
    const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, &count);
    std::vector<ShapedGlyph> glyphs(count);
    for (unsigned i = 0; i < count; ++i) {
        glyphs[i].glyph = infos[i].codepoint;
        glyphs[i].cluster = infos[i].cluster;
        glyphs[i].advance = positions[i].x_advance;
        glyphs[i].xOffset = positions[i].x_offset;
    }
    return glyphs;
}

int32_t CFontFace::defaultAdvance(uint32_t glyph) const {
    return hb_font_get_glyph_h_advance(handles_->font, glyph);
}

uint32_t CFontFace::glyphCount() const {
    return hb_face_get_glyph_count(handles_->face);
}

bool CFontFace::isCff() const {
    hb_blob_t* glyf = hb_face_reference_table(handles_->face, HB_TAG('g', 'l', 'y', 'f'));
    const bool cff = hb_blob_get_length(glyf) == 0;
    hb_blob_destroy(glyf);
    return cff;
}

FaceMetrics CFontFace::metrics() const {
    FaceMetrics m;
    m.unitsPerEm = static_cast<int32_t>(hb_face_get_upem(handles_->face));
    hb_position_t value = 0;
    if (hb_ot_metrics_get_position(handles_->font, HB_OT_METRICS_TAG_HORIZONTAL_ASCENDER, &value)) {
        m.ascender = value;
    }
    if (hb_ot_metrics_get_position(handles_->font, HB_OT_METRICS_TAG_HORIZONTAL_DESCENDER,
                                   &value)) {
        m.descender = value;
    }
    if (hb_ot_metrics_get_position(handles_->font, HB_OT_METRICS_TAG_CAP_HEIGHT, &value)) {
        m.capHeight = value;
    } else {
        m.capHeight = m.ascender;
    }
    m.italicAngle = hb_style_get_value(handles_->font, HB_STYLE_TAG_SLANT_ANGLE);
    // The 'head' table holds the box of all glyphs: xMin, yMin, xMax, yMax at offset 36.
    hb_blob_t* head = hb_face_reference_table(handles_->face, HB_TAG('h', 'e', 'a', 'd'));
    unsigned length = 0;
    const char* data = hb_blob_get_data(head, &length);
    if (data != nullptr && length >= 44) {
        for (int i = 0; i < 4; ++i) {
            const auto high = static_cast<unsigned char>(data[36 + 2 * i]);
            const auto low = static_cast<unsigned char>(data[37 + 2 * i]);
            m.bbox[i] = static_cast<int16_t>(static_cast<uint16_t>(high << 8 | low));
        }
    }
    hb_blob_destroy(head);
    return m;
}

std::string CFontFace::subset(const std::vector<uint32_t>& glyphs) const {
    hb_subset_input_t* input = hb_subset_input_create_or_fail();
    if (input == nullptr) {
        throw CPdfException("Out of memory");
    }
    hb_set_t* glyphSet = hb_subset_input_glyph_set(input);
    hb_set_add(glyphSet, 0);
    for (uint32_t glyph : glyphs) {
        hb_set_add(glyphSet, glyph);
    }
    // The content streams name glyphs by their ids in the whole font; the layout tables are of
    // no use once the text is shaped.
    hb_subset_input_set_flags(input, HB_SUBSET_FLAGS_RETAIN_GIDS);
    hb_set_t* dropped = hb_subset_input_set(input, HB_SUBSET_SETS_DROP_TABLE_TAG);
    for (hb_tag_t tag :
         {HB_TAG('G', 'S', 'U', 'B'), HB_TAG('G', 'P', 'O', 'S'), HB_TAG('G', 'D', 'E', 'F'),
          HB_TAG('k', 'e', 'r', 'n'), HB_TAG('B', 'A', 'S', 'E'), HB_TAG('J', 'S', 'T', 'F'),
          HB_TAG('M', 'A', 'T', 'H'), HB_TAG('D', 'S', 'I', 'G')}) {
        hb_set_add(dropped, tag);
    }
    hb_face_t* cut = hb_subset_or_fail(handles_->face, input);
    hb_subset_input_destroy(input);
    if (cut == nullptr) {
        throw CPdfException("The font's glyphs could not be subset");
    }
    hb_blob_t* blob = hb_face_reference_blob(cut);
    unsigned length = 0;
    const char* data = hb_blob_get_data(blob, &length);
    std::string bytes(data != nullptr ? data : "", data != nullptr ? length : 0);
    hb_blob_destroy(blob);
    hb_face_destroy(cut);
    if (bytes.empty()) {
        throw CPdfException("The font's glyphs could not be subset");
    }
    return bytes;
}

#else // no HarfBuzz in the build: -embedfont is refused when the font is loaded

struct CFontFace::Handles {};

CFontFace::CFontFace() = default;
CFontFace::~CFontFace() = default;

bool CFontFace::supported() {
    return false;
}

void CFontFace::load(const std::string& fontArgument) {
    std::string path;
    unsigned index = 0;
    splitFaceIndex(fontArgument, path, index);
    throw CPdfException("Can't embed the font '" + path +
                        "': this build of quillmark has no HarfBuzz (shaping and subsetting)");
}

std::vector<ShapedGlyph> CFontFace::shape(std::string_view) const {
    return {};
}

int32_t CFontFace::defaultAdvance(uint32_t) const {
    return 0;
}

uint32_t CFontFace::glyphCount() const {
    return 0;
}

bool CFontFace::isCff() const {
    return false;
}

FaceMetrics CFontFace::metrics() const {
    return {};
}

std::string CFontFace::subset(const std::vector<uint32_t>&) const {
    return {};
}

#endif
