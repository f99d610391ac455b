#pragma once

#include "pdf/CPdfElement.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class CPdfFileStream;
class CPdfSecurityHandler;

// One row of the cross-reference table, packed into 8 bytes: a file may list millions of rows.
struct XRefEntry {
    // The largest value each field holds. A larger offset or index read from a file is stored
    // as the largest, which no file reaches: an offset past any file, an index past any member.
    static constexpr int64_t kMaxOffset = (int64_t{1} << 39) - 1;
    static constexpr int32_t kMaxIndex = (1 << 20) - 1;
    // Generations are five-digit numbers up to this.
    static constexpr int32_t kMaxGeneration = 65535;

    // type 1: offset of the object's header, from the "%PDF-" header;
    // type 2: object number of the object stream; type 0: next free number, -1 when unset.
    int64_t offset : 40 = -1;
    // type 1 and 0: generation, 0 to kMaxGeneration; type 2: index inside the object stream.
    // The three fields share one 64-bit type so that every compiler packs them into 8 bytes
    // (the Microsoft layout, used by mingw, starts a new unit at each change of type).
    int64_t generation : 21 = 0;
    // 0 free or never set, 1 in the file, 2 in an object stream.
    int64_t type : 3 = 0;
};
static_assert(sizeof(XRefEntry) == 8);

struct ObjectRef {
    int32_t number = 0;
    int32_t generation = 0;
};

// The cross-reference data of one document and random access to its objects by number.
class CPdfXRef {
  public:
    explicit CPdfXRef(CPdfFileStream* file);
    virtual ~CPdfXRef();
    CPdfXRef(const CPdfXRef&) = delete;
    CPdfXRef& operator=(const CPdfXRef&) = delete;

    // Reads every section from the last "startxref" on. When they cannot be used (no
    // startxref, a section that cannot be read, no trailer or /Root, a row that does not lead to
    // its object's own header) the table is rebuilt by reading the whole file, and repaired()
    // then says so. Throws CPdfException when neither gives a catalog (the first cause with the
    // rebuild's) and for an encrypted file.
    void load();
    // The table was rebuilt from the whole file, for the first cause.
    bool repaired() const { return repaired_; }
    // Why the cross-reference data could not be used, when repaired: the message of the first
    // failure ("PDF file was damaged", "Couldn't parse an xref table", ...) and its cause.
    const std::string& repairMessage() const { return repairMessage_; }
    const std::string& repairCause() const { return repairCause_; }

    ObjectRef root() const { return root_; }
    // number 0 when the trailer has no indirect /Info.
    ObjectRef info() const { return info_; }
    const CPdfElement& trailer() const { return trailer_; }
    int64_t startxrefOffset() const { return startxrefOffset_; }
    // Whether the section that "startxref" leads to is a cross-reference stream (false for a
    // classic table, a hybrid file's included).
    bool lastSectionIsStream() const { return lastSectionIsStream_; }
    const std::vector<XRefEntry>& entries() const { return entries_; }

    // Parses indirect object number/generation into out (of kind None). For type 2 rows the
    // generation is not compared. Throws "Corrupted PDF file" for a number outside the table.
    void fetchObject(int32_t number, int32_t generation, CPdfElement& out, int fetchDepth = 0);

    // The bytes of a type 2 object inside its decoded object stream; valid until the next call
    // for another object stream. False when the object cannot be found.
    bool getCompressedObjectText(int32_t number, const unsigned char*& data, size_t& length);

    // The trailer names an /Encrypt dictionary: the file is protected.
    bool isEncrypted() const;
    // The handler that decrypts the objects fetched from now on; the /Encrypt dictionary's own
    // object (encryptNumber, 0 when it is direct) is read as it stands.
    void setSecurity(std::unique_ptr<CPdfSecurityHandler> security, int32_t encryptNumber);
    const CPdfSecurityHandler* security() const { return security_.get(); }

    // A null element, the dictionary of the reader's windows onto the file and its objects.
    static const CPdfElement& nullElement();

    // Parses the one object at start of bytes into out as a fetch parses it, without a table:
    // its references stay references.
    static void parseText(const std::string& bytes, size_t start, CPdfElement& out);

  private:
    // One decoded object stream: its bytes and the object numbers and offsets of its header.
    struct ObjectStreamData;
    using ObjectStreamPtr = std::shared_ptr<const ObjectStreamData>;
    // Reads the cross-reference sections (pdf/CPdfXRefLoader.cpp).
    class Loader;
    friend class Loader;
    // Rebuilds the table from the whole file (pdf/CPdfXRefRepair.cpp).
    class Repair;
    friend class Repair;
    // Marks an object as being fetched, refusing loops and too deep nesting.
    class FetchGuard;
    friend class FetchGuard;

    // The decoded object stream number, through one of the two cache slots.
    ObjectStreamPtr objectStream(ObjectStreamPtr& slot, int64_t number, int fetchDepth);
    ObjectStreamPtr loadObjectStream(int64_t number, int fetchDepth);
    // The object stream `number` among those kept or used last (made the most recent), or null.
    ObjectStreamPtr rememberedObjectStream(int64_t number);
    // Keeps a decoded object stream while the kept ones have room, else adds it as the most
    // recent, dropping the least recent ones past their bound.
    void rememberObjectStream(const ObjectStreamPtr& data);
    // Drops every decoded object stream.
    void forgetObjectStreams();
    static bool readPlainHeader(ObjectStreamData& data, int64_t pairs, size_t headerBytes);
    static void indexObjectStream(ObjectStreamData& data);
    // An entry of a dictionary, an indirect value fetched one level deeper.
    void resolveEntry(const CPdfElement& dict, const char* key, CPdfElement& out, int fetchDepth);
    // The cause of a failure for an object number that has no row.
    std::string outsideTable(int64_t number) const;
    // Bytes of one decoded object stream that may be held in memory.
    size_t objectStreamByteLimit() const;
    // The rows a table of this file may have.
    int64_t maxRows() const;
    // Takes /Root and /Info from the trailer; throws "PDF file was damaged" without a /Root.
    void readTrailerReferences();
    // The first row of an object in the file that leads to no "N G obj" header (white-space
    // and comments before it pass) or to its own object's header under another generation, as
    // a cause; empty when none.
    std::string firstMisplacedRow();
    // The object numbers that object stream `number` holds, in its order (none when it cannot
    // be read).
    std::vector<int32_t> objectStreamMembers(int32_t number);
    // Forgets every row, the trailer and the decoded object streams.
    void reset();

    CPdfFileStream* file_;
    std::vector<XRefEntry> entries_;
    ObjectRef root_;
    ObjectRef info_;
    CPdfElement trailer_;
    int64_t startxrefOffset_ = 0;
    bool lastSectionIsStream_ = false;
    bool repaired_ = false;
    std::string repairMessage_;
    std::string repairCause_;
    // Last object stream used by fetchObject and by getCompressedObjectText; the two share
    // one decoded copy when they use the same object stream.
    ObjectStreamPtr streamCache_;
    ObjectStreamPtr textCache_;
    // Object streams kept beside the two slots, by number, and the bytes they take.
    std::unordered_map<int64_t, ObjectStreamPtr> kept_;
    size_t keptBytes_ = 0;
    // The object streams used last of those not kept, most recently used first, up to
    // kRecentObjectStreamBytes; by number into that order, and the bytes they take.
    std::list<ObjectStreamPtr> recent_;
    std::unordered_map<int64_t, std::list<ObjectStreamPtr>::iterator> recentByNumber_;
    size_t recentBytes_ = 0;
    std::unique_ptr<CPdfSecurityHandler> security_;
    int32_t encryptNumber_ = 0;
    // Object numbers whose fetch is under way, innermost last.
    std::vector<int32_t> fetching_;
};
