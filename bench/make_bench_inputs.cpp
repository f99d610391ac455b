// Writes the input documents of the stamping benchmark (bench/bench_stamp.sh).
//
//   make_bench_inputs <folder>
//
// Into <folder> it writes:
//   text-2000.pdf, text-20000.pdf       text pages, one content stream each, one shared
//                                       Helvetica font, two-level page tree, classic
//                                       cross-reference table
//   objstm-2000.pdf, objstm-20000.pdf   the same documents with every non-stream object in
//                                       Flate-compressed object streams and a Flate-compressed
//                                       cross-reference stream with the PNG Up predictor
//   images.pdf                          50 pages, each drawing its own image XObject of about
//                                       2 MB of incompressible bytes (about 100 MB in all)
//   small/doc-000.pdf ... doc-499.pdf   500 files of 3 text pages each
//   small/list.txt                      their bare names, one per line
//   inputs.txt                          one line per document: name and page count
//
// Everything is deterministic: the same program writes the same bytes. Only zlib is needed
// (g++ -std=c++20 -O2 make_bench_inputs.cpp -lz).

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>

namespace {

[[noreturn]] void die(const std::string& what) {
    std::fprintf(stderr, "make_bench_inputs: %s\n", what.c_str());
    std::exit(1);
}

// A file written from the start, keeping count of its offset.
class Out {
  public:
    explicit Out(const std::string& path) : path_(path) {
        f_ = std::fopen(path.c_str(), "wb");
        if (!f_)
            die("cannot write " + path + ": " + std::strerror(errno));
    }
    Out(const Out&) = delete;
    Out& operator=(const Out&) = delete;
    ~Out() {
        if (f_)
            std::fclose(f_);
    }
    void put(std::string_view s) {
        if (!s.empty() && std::fwrite(s.data(), 1, s.size(), f_) != s.size())
            die("write failed: " + path_);
        pos_ += s.size();
    }
    std::uint64_t pos() const { return pos_; }
    void close() {
        if (std::fclose(f_) != 0)
            die("write failed: " + path_);
        f_ = nullptr;
    }

  private:
    std::string path_;
    std::FILE* f_ = nullptr;
    std::uint64_t pos_ = 0;
};

std::string num(std::uint64_t v) {
    return std::to_string(v);
}

std::string ref(std::uint32_t obj) {
    return num(obj) + " 0 R";
}

std::string deflate(std::string_view in, int level) {
    uLongf cap = compressBound(static_cast<uLong>(in.size()));
    std::string out(cap, '\0');
    int rc =
        compress2(reinterpret_cast<Bytef*>(out.data()), &cap,
                  reinterpret_cast<const Bytef*>(in.data()), static_cast<uLong>(in.size()), level);
    if (rc != Z_OK)
        die("zlib compress2 failed");
    out.resize(cap);
    return out;
}

// xorshift64*: fast, deterministic bytes that no compressor can shrink.
struct Noise {
    std::uint64_t s;
    explicit Noise(std::uint64_t seed) : s(seed ? seed : 0x9E3779B97F4A7C15ull) {}
    std::uint64_t next() {
        s ^= s >> 12;
        s ^= s << 25;
        s ^= s >> 27;
        return s * 2685821657736338717ull;
    }
    void fill(std::string& buf) {
        std::size_t i = 0;
        for (; i + 8 <= buf.size(); i += 8) {
            std::uint64_t v = next();
            std::memcpy(buf.data() + i, &v, 8);
        }
        std::uint64_t v = next();
        for (; i < buf.size(); ++i, v >>= 8)
            buf[i] = static_cast<char>(v & 0xFF);
    }
};

const char* const kWords[] = {
    "ledger",  "invoice", "balance",  "account",   "quarter",  "summary", "payment",
    "receipt", "journal", "transfer", "statement", "register", "entry",   "credit",
    "debit",   "total",   "period",   "reference", "schedule", "review",  "archive",
    "client",  "office",  "report",   "section",   "notice",   "figure",  "record",
};
constexpr std::size_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);

// The drawing of one text page: a heading and a few lines of body text in /F1.
std::string text_content(std::uint32_t page, std::uint32_t pages) {
    std::string s;
    s.reserve(640);
    s += "BT\n/F1 16 Tf\n72 740 Td\n(Chapter ";
    s += num(page / 40 + 1);
    s += ", section ";
    s += num(page + 1);
    s += " of ";
    s += num(pages);
    s += ") Tj\n/F1 11 Tf\n14 TL\n0 -28 Td\n";
    std::uint32_t w = page * 7u;
    for (int line = 0; line < 6; ++line) {
        s += "(";
        for (int k = 0; k < 9; ++k) {
            if (k)
                s += ' ';
            s += kWords[(w++ * 2654435761u >> 7) % kWordCount];
        }
        s += " ";
        s += num(page * 6u + static_cast<std::uint32_t>(line) + 1);
        s += ".) Tj T*\n";
    }
    s += "ET\n";
    return s;
}

// Object numbers and bodies of a document, before it is laid out in a file.
struct Obj {
    std::string dict; // the object, or the stream's dictionary without /Length
    std::string data; // stream data (for streams)
    bool stream = false;
};

struct Doc {
    std::vector<Obj> objs; // objs[i] is object i + 1
    std::uint32_t root = 0;
    std::uint32_t info = 0;

    std::uint32_t add(std::string dict) {
        objs.push_back(Obj{std::move(dict), {}, false});
        return static_cast<std::uint32_t>(objs.size());
    }
    std::uint32_t add_stream(std::string dict, std::string data) {
        objs.push_back(Obj{std::move(dict), std::move(data), true});
        return static_cast<std::uint32_t>(objs.size());
    }
    std::uint32_t reserve() { return add(std::string()); }
    Obj& at(std::uint32_t n) { return objs[n - 1]; }
};

// A text document of `pages` pages: catalog, two-level page tree (at most 100 kids a node),
// one Helvetica font shared by every page, a content stream per page.
Doc make_text_doc(std::uint32_t pages, const std::string& title) {
    Doc d;
    d.root = d.reserve();
    std::uint32_t tree = d.reserve();
    std::uint32_t font =
        d.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    d.info = d.add("<< /Title (" + title +
                   ") /Producer (Quillmark benchmark inputs) /CreationDate (D:20240101120000Z) >>");
    d.at(d.root).dict = "<< /Type /Catalog /Pages " + ref(tree) + " >>";

    constexpr std::uint32_t kFan = 100;
    std::string root_kids;
    for (std::uint32_t first = 0; first < pages; first += kFan) {
        std::uint32_t count = std::min(kFan, pages - first);
        std::uint32_t node = d.reserve();
        if (!root_kids.empty())
            root_kids += ' ';
        root_kids += ref(node);
        std::string kids;
        for (std::uint32_t p = first; p < first + count; ++p) {
            std::uint32_t content = d.add_stream("<<", text_content(p, pages));
            std::uint32_t page = d.add("<< /Type /Page /Parent " + ref(node) + " /Contents " +
                                       ref(content) + " /Resources << /Font << /F1 " + ref(font) +
                                       " >> /ProcSet [/PDF /Text] >> >>");
            if (!kids.empty())
                kids += ' ';
            kids += ref(page);
        }
        d.at(node).dict = "<< /Type /Pages /Parent " + ref(tree) + " /Kids [" + kids + "] /Count " +
                          num(count) + " >>";
    }
    d.at(tree).dict = "<< /Type /Pages /Kids [" + root_kids + "] /Count " + num(pages) +
                      " /MediaBox [0 0 612 792] >>";
    return d;
}

std::string file_id(const std::string& name) {
    // A fixed 16-byte ID derived from the name, written as hex.
    std::uint64_t h1 = 1469598103934665603ull, h2 = 0x84222325cbf29ce4ull;
    for (unsigned char c : name) {
        h1 = (h1 ^ c) * 1099511628211ull;
        h2 = (h2 ^ c) * 0x100000001b3ull + 7;
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%016llx%016llx", static_cast<unsigned long long>(h1),
                  static_cast<unsigned long long>(h2));
    return std::string("[<") + buf + "> <" + buf + ">]";
}

void write_stream_obj(Out& out, std::uint32_t n, const Obj& o) {
    out.put(num(n) + " 0 obj\n");
    std::string dict = o.dict; // "<< ..." without the closing ">>" or a complete dict
    if (dict.size() >= 2 && dict.compare(dict.size() - 2, 2, ">>") == 0 && dict != "<<")
        dict.resize(dict.size() - 2);
    if (!dict.empty() && dict.back() != ' ')
        dict += ' ';
    out.put(dict + "/Length " + num(o.data.size()) + " >>\nstream\n");
    out.put(o.data);
    out.put("\nendstream\nendobj\n");
}

// Classic layout: every object in number order, a cross-reference table, a trailer.
void write_classic(const Doc& d, const std::string& path, const std::string& name) {
    Out out(path);
    out.put("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    std::vector<std::uint64_t> offs(d.objs.size() + 1, 0);
    for (std::uint32_t i = 0; i < d.objs.size(); ++i) {
        std::uint32_t n = i + 1;
        offs[n] = out.pos();
        const Obj& o = d.objs[i];
        if (o.stream)
            write_stream_obj(out, n, o);
        else
            out.put(num(n) + " 0 obj\n" + o.dict + "\nendobj\n");
    }
    std::uint64_t xref = out.pos();
    std::string t;
    t.reserve(20 * offs.size() + 256);
    t += "xref\n0 " + num(offs.size()) + "\n0000000000 65535 f \n";
    char e[24];
    for (std::size_t n = 1; n < offs.size(); ++n) {
        std::snprintf(e, sizeof e, "%010llu 00000 n \n", static_cast<unsigned long long>(offs[n]));
        t += e;
    }
    t += "trailer\n<< /Size " + num(offs.size()) + " /Root " + ref(d.root) + " /Info " +
         ref(d.info) + " /ID " + file_id(name) + " >>\nstartxref\n" + num(xref) + "\n%%EOF\n";
    out.put(t);
    out.close();
}

// Compressed layout: non-stream objects in object streams of up to 100 objects, streams as
// top-level objects, and a cross-reference stream (/W [1 4 2], Flate, PNG Up predictor).
void write_objstm(const Doc& d, const std::string& path, const std::string& name) {
    constexpr std::size_t kPerStream = 100;
    const std::uint32_t n_objs = static_cast<std::uint32_t>(d.objs.size());

    // Assign the non-stream objects to object streams; the object streams and the
    // cross-reference stream get numbers after the document's own objects.
    std::vector<std::uint32_t> plain;
    for (std::uint32_t n = 1; n <= n_objs; ++n)
        if (!d.objs[n - 1].stream)
            plain.push_back(n);
    std::size_t n_stm = (plain.size() + kPerStream - 1) / kPerStream;
    std::uint32_t xref_num = n_objs + static_cast<std::uint32_t>(n_stm) + 1;
    std::uint32_t size = xref_num + 1;

    struct Entry {
        std::uint8_t type = 0;
        std::uint64_t f2 = 0;
        std::uint32_t f3 = 0;
    };
    std::vector<Entry> xr(size);
    xr[0] = Entry{0, 0, 0xFFFF};

    Out out(path);
    out.put("%PDF-1.5\n%\xE2\xE3\xCF\xD3\n");

    // Streams first, in number order.
    for (std::uint32_t n = 1; n <= n_objs; ++n) {
        const Obj& o = d.objs[n - 1];
        if (!o.stream)
            continue;
        xr[n] = Entry{1, out.pos(), 0};
        write_stream_obj(out, n, o);
    }
    // Then the object streams.
    for (std::size_t s = 0; s < n_stm; ++s) {
        std::uint32_t stm_num = n_objs + 1 + static_cast<std::uint32_t>(s);
        std::string header, body;
        std::size_t first = s * kPerStream;
        std::size_t last = std::min(plain.size(), first + kPerStream);
        for (std::size_t k = first; k < last; ++k) {
            std::uint32_t n = plain[k];
            header += num(n) + " " + num(body.size()) + " ";
            body += d.objs[n - 1].dict;
            body += '\n';
            xr[n] = Entry{2, stm_num, static_cast<std::uint32_t>(k - first)};
        }
        header.back() = '\n';
        std::string z = deflate(header + body, 6);
        xr[stm_num] = Entry{1, out.pos(), 0};
        out.put(num(stm_num) + " 0 obj\n<< /Type /ObjStm /N " + num(last - first) + " /First " +
                num(header.size()) + " /Filter /FlateDecode /Length " + num(z.size()) +
                " >>\nstream\n");
        out.put(z);
        out.put("\nendstream\nendobj\n");
    }
    // The cross-reference stream, covering itself.
    std::uint64_t xref_off = out.pos();
    xr[xref_num] = Entry{1, xref_off, 0};
    constexpr std::size_t kRow = 7;
    std::string rows;
    rows.reserve(size * (kRow + 1));
    unsigned char prev[kRow] = {0};
    for (const Entry& e : xr) {
        unsigned char cur[kRow];
        cur[0] = e.type;
        cur[1] = static_cast<unsigned char>(e.f2 >> 24);
        cur[2] = static_cast<unsigned char>(e.f2 >> 16);
        cur[3] = static_cast<unsigned char>(e.f2 >> 8);
        cur[4] = static_cast<unsigned char>(e.f2);
        cur[5] = static_cast<unsigned char>(e.f3 >> 8);
        cur[6] = static_cast<unsigned char>(e.f3);
        rows += '\x02'; // PNG Up
        for (std::size_t i = 0; i < kRow; ++i) {
            rows += static_cast<char>(static_cast<unsigned char>(cur[i] - prev[i]));
            prev[i] = cur[i];
        }
    }
    if (xref_off > 0xFFFFFFFFull)
        die("offset too large for /W [1 4 2]");
    std::string z = deflate(rows, 6);
    out.put(num(xref_num) + " 0 obj\n<< /Type /XRef /Size " + num(size) + " /W [1 4 2] /Root " +
            ref(d.root) + " /Info " + ref(d.info) + " /ID " + file_id(name) +
            " /Filter /FlateDecode /DecodeParms << /Predictor 12 /Columns 7 >> /Length " +
            num(z.size()) + " >>\nstream\n");
    out.put(z);
    out.put("\nendstream\nendobj\nstartxref\n" + num(xref_off) + "\n%%EOF\n");
    out.close();
}

// About 100 MB: 50 pages, each with its own 1000 x 700 RGB image of noise (2.1 MB of samples).
// Even pages store the samples uncompressed, odd pages as Flate data (which the noise makes a
// little larger than the samples), so both kinds of large stream are copied.
void write_images(const std::string& path) {
    constexpr std::uint32_t kPages = 50, kW = 1000, kH = 700;
    Out out(path);
    out.put("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    // Numbers: 1 catalog, 2 pages, 3 font, 4 info, then per page: image, content, page.
    const std::uint32_t size = 5 + 3 * kPages;
    std::vector<std::uint64_t> offs(size, 0);
    auto begin = [&](std::uint32_t n) {
        offs[n] = out.pos();
        out.put(num(n) + " 0 obj\n");
    };
    std::string kids;
    for (std::uint32_t p = 0; p < kPages; ++p) {
        if (p)
            kids += ' ';
        kids += ref(5 + 3 * p + 2);
    }
    begin(1);
    out.put("<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");
    begin(2);
    out.put("<< /Type /Pages /Kids [" + kids + "] /Count " + num(kPages) + " >>\nendobj\n");
    begin(3);
    out.put("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding "
            ">>\nendobj\n");
    begin(4);
    out.put("<< /Title (Image pages) /Producer (Quillmark benchmark inputs) >>\nendobj\n");

    Noise noise(0x51ED2701u);
    std::string samples(static_cast<std::size_t>(kW) * kH * 3, '\0');
    for (std::uint32_t p = 0; p < kPages; ++p) {
        std::uint32_t img = 5 + 3 * p, content = img + 1, page = img + 2;
        noise.fill(samples);
        begin(img);
        std::string dict = "<< /Type /XObject /Subtype /Image /Width " + num(kW) + " /Height " +
                           num(kH) + " /ColorSpace /DeviceRGB /BitsPerComponent 8";
        if (p % 2) {
            std::string z = deflate(samples, 1);
            out.put(dict + " /Filter /FlateDecode /Length " + num(z.size()) + " >>\nstream\n");
            out.put(z);
        } else {
            out.put(dict + " /Length " + num(samples.size()) + " >>\nstream\n");
            out.put(samples);
        }
        out.put("\nendstream\nendobj\n");
        std::string draw = "q 540 0 0 378 36 300 cm /Im1 Do Q\nBT /F1 14 Tf 72 720 Td (Plate " +
                           num(p + 1) + ") Tj ET\n";
        begin(content);
        out.put("<< /Length " + num(draw.size()) + " >>\nstream\n" + draw +
                "\nendstream\nendobj\n");
        begin(page);
        out.put("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents " + ref(content) +
                " /Resources << /XObject << /Im1 " + ref(img) +
                " >> /Font << /F1 3 0 R >> /ProcSet [/PDF /Text /ImageC] >> >>\nendobj\n");
    }
    std::uint64_t xref = out.pos();
    std::string t = "xref\n0 " + num(size) + "\n0000000000 65535 f \n";
    char e[24];
    for (std::uint32_t n = 1; n < size; ++n) {
        std::snprintf(e, sizeof e, "%010llu 00000 n \n", static_cast<unsigned long long>(offs[n]));
        t += e;
    }
    t += "trailer\n<< /Size " + num(size) + " /Root 1 0 R /Info 4 0 R /ID " +
         file_id("images.pdf") + " >>\nstartxref\n" + num(xref) + "\n%%EOF\n";
    out.put(t);
    out.close();
}

void make_dir(const std::string& path) {
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
        die("cannot create folder " + path + ": " + std::strerror(errno));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: make_bench_inputs <folder>\n");
        return 2;
    }
    std::string dir = argv[1];
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    make_dir(dir);

    std::string list;
    auto note = [&](const std::string& name, std::uint32_t pages) {
        list += name + " " + num(pages) + "\n";
        std::printf("  %s (%u pages)\n", name.c_str(), pages);
        std::fflush(stdout);
    };

    for (std::uint32_t pages : {2000u, 20000u}) {
        Doc d = make_text_doc(pages, "Text document of " + num(pages) + " pages");
        std::string a = "text-" + num(pages) + ".pdf";
        write_classic(d, dir + "/" + a, a);
        note(a, pages);
        std::string b = "objstm-" + num(pages) + ".pdf";
        write_objstm(d, dir + "/" + b, b);
        note(b, pages);
    }

    write_images(dir + "/images.pdf");
    note("images.pdf", 50);

    make_dir(dir + "/small");
    std::string names;
    for (int i = 0; i < 500; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "doc-%03d.pdf", i);
        Doc d = make_text_doc(3, std::string("Small document ") + name);
        write_classic(d, dir + "/small/" + name, name);
        names += name;
        names += '\n';
    }
    {
        Out l(dir + "/small/list.txt");
        l.put(names);
        l.close();
    }
    std::printf("  small/doc-000.pdf ... doc-499.pdf (3 pages each), small/list.txt\n");

    Out inv(dir + "/inputs.txt");
    inv.put(list);
    inv.close();
    return 0;
}
