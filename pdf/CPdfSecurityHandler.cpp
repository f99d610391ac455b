#include "pdf/CPdfSecurityHandler.h"

#include "pdf/CPdfDictionary.h"
#include "pdf/CPdfElement.h"
#include "pdf/CPdfException.h"
#include "pdf/PdfSyntax.h"

#include <gcrypt.h>

#include <algorithm>
#include <mutex>
#include <optional>

namespace {

// The 32 bytes that pad a password of revisions 2 to 4.
constexpr unsigned char kPadding[32] = {
    0x28, 0xBF, 0x4E, 0x5E, 0x4E, 0x75, 0x8A, 0x41, 0x64, 0x00, 0x4E, 0x56, 0xFF, 0xFA, 0x01, 0x08,
    0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68, 0x3E, 0x80, 0x2F, 0x0C, 0xA9, 0xFE, 0x64, 0x53, 0x69, 0x7A};

constexpr std::string_view kProtected = "PDF file is protected";

void initialiseLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (!gcry_check_version("1.8.0")) {
            throw CPdfException("The cryptographic library libgcrypt is older than 1.8");
        }
        // Keys live in ordinary memory: the program holds no secrets worth locking away.
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    });
}

std::string digest(int algorithm, std::string_view data) {
    std::string out(gcry_md_get_algo_dlen(algorithm), '\0');
    gcry_md_hash_buffer(algorithm, out.data(), data.data(), data.size());
    return out;
}

std::string md5(std::string_view data) {
    return digest(GCRY_MD_MD5, data);
}

// One cipher run over data: RC4 (mode stream), or AES in CBC mode without padding (data in
// whole blocks) with the given vector.
std::string cipher(int algorithm, int mode, std::string_view key, std::string_view iv,
                   std::string_view data, bool encrypting) {
    gcry_cipher_hd_t handle = nullptr;
    if (gcry_cipher_open(&handle, algorithm, mode, 0) != 0) {
        throw CPdfException("The cryptographic library cannot make a cipher");
    }
    std::string out(data);
    gcry_error_t error = gcry_cipher_setkey(handle, key.data(), key.size());
    if (error == 0 && !iv.empty()) {
        error = gcry_cipher_setiv(handle, iv.data(), iv.size());
    }
    if (error == 0 && !out.empty()) {
        error = encrypting ? gcry_cipher_encrypt(handle, out.data(), out.size(), nullptr, 0)
                           : gcry_cipher_decrypt(handle, out.data(), out.size(), nullptr, 0);
    }
    gcry_cipher_close(handle);
    if (error != 0) {
        throw CPdfException("The cryptographic library failed: " +
                            std::string(gcry_strerror(error)));
    }
    return out;
}

std::string rc4(std::string_view key, std::string_view data) {
    return cipher(GCRY_CIPHER_ARCFOUR, GCRY_CIPHER_MODE_STREAM, key, {}, data, true);
}

std::string aesCbc(std::string_view key, std::string_view iv, std::string_view data,
                   bool encrypting) {
    const int algorithm = key.size() == 32 ? GCRY_CIPHER_AES256 : GCRY_CIPHER_AES128;
    return cipher(algorithm, GCRY_CIPHER_MODE_CBC, key, iv, data, encrypting);
}

std::string xorKey(const std::string& key, unsigned char value) {
    std::string out = key;
    for (char& c : out) {
        c = static_cast<char>(static_cast<unsigned char>(c) ^ value);
    }
    return out;
}

std::string padded(std::string_view password) {
    std::string out(password.substr(0, 32));
    out.append(reinterpret_cast<const char*>(kPadding), 32 - out.size());
    return out;
}

std::string stringEntry(const CPdfDictionary& dict, std::string_view key) {
    CPdfElement value;
    dict.getEntry(key, value);
    return value.is(ElementKind::String) ? value.getText() : std::string();
}

std::string nameEntry(const CPdfDictionary& dict, std::string_view key) {
    CPdfElement value;
    dict.getEntry(key, value);
    return value.is(ElementKind::Name) ? value.getText() : std::string();
}

int64_t integerEntry(const CPdfDictionary& dict, std::string_view key, int64_t fallback) {
    CPdfElement value;
    dict.getEntry(key, value);
    return value.is(ElementKind::Integer) ? value.getInteger64() : fallback;
}

// The method of a crypt filter named by /StmF or /StrF of a /V 4 or 5 dictionary.
CPdfSecurityHandler::Method filterMethod(const CPdfDictionary& encrypt, const std::string& name) {
    using Method = CPdfSecurityHandler::Method;
    if (name.empty() || name == "Identity") {
        return Method::None;
    }
    CPdfElement filters;
    encrypt.getEntry("CF", filters);
    CPdfElement filter;
    if (filters.is(ElementKind::Dictionary)) {
        filters.getDictionary()->getEntry(name, filter);
    }
    if (!filter.is(ElementKind::Dictionary)) {
        throw CPdfException(std::string(kProtected) + " with the crypt filter /" + name +
                            ", which its /CF does not describe");
    }
    const std::string method = nameEntry(*filter.getDictionary(), "CFM");
    if (method == "V2") {
        return Method::RC4;
    }
    if (method == "AESV2") {
        return Method::AES128;
    }
    if (method == "AESV3") {
        return Method::AES256;
    }
    if (method.empty() || method == "None") {
        return Method::None;
    }
    throw CPdfException(std::string(kProtected) + " with the crypt filter method /" + method +
                        ", which cannot be read");
}

void appendHex(std::string& out, std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += '<';
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    out += '>';
}

// The bytes of the literal string whose "(" stands at pos; pos is moved past its ")".
std::string readLiteral(std::string_view text, size_t& pos) {
    std::string bytes;
    int depth = 1;
    ++pos;
    while (pos < text.size()) {
        const char c = text[pos++];
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (--depth == 0) {
                return bytes;
            }
        } else if (c == '\r') {
            // A line end inside a string reads as one line feed.
            if (pos < text.size() && text[pos] == '\n') {
                ++pos;
            }
            bytes += '\n';
            continue;
        } else if (c == '\\') {
            if (pos >= text.size()) {
                break;
            }
            const char e = text[pos++];
            switch (e) {
            case 'n':
                bytes += '\n';
                break;
            case 'r':
                bytes += '\r';
                break;
            case 't':
                bytes += '\t';
                break;
            case 'b':
                bytes += '\b';
                break;
            case 'f':
                bytes += '\f';
                break;
            case '\r':
                if (pos < text.size() && text[pos] == '\n') {
                    ++pos;
                }
                break;
            case '\n':
                break;
            default:
                if (e >= '0' && e <= '7') {
                    int value = e - '0';
                    for (int k = 0;
                         k < 2 && pos < text.size() && text[pos] >= '0' && text[pos] <= '7'; ++k) {
                        value = value * 8 + (text[pos++] - '0');
                    }
                    bytes += static_cast<char>(value & 0xFF);
                } else {
                    bytes += e;
                }
                break;
            }
            continue;
        }
        bytes += c;
    }
    return bytes;
}

// The bytes of the hex string whose "<" stands at pos; pos is moved past its ">".
std::string readHex(std::string_view text, size_t& pos) {
    std::string bytes;
    int high = -1;
    ++pos;
    while (pos < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[pos++]);
        if (c == '>') {
            break;
        }
        const int value = pdf_syntax::hexValue(c);
        if (value < 0) {
            continue;
        }
        if (high < 0) {
            high = value;
        } else {
            bytes += static_cast<char>(high * 16 + value);
            high = -1;
        }
    }
    if (high >= 0) {
        bytes += static_cast<char>(high * 16);
    }
    return bytes;
}

} // namespace

CPdfSecurityHandler::CPdfSecurityHandler(const CPdfDictionary& encrypt, std::string firstId)
    : firstId_(std::move(firstId)) {
    initialiseLibrary();
    const std::string filter = nameEntry(encrypt, "Filter");
    if (filter != "Standard") {
        throw CPdfException(std::string(kProtected) + " by the security handler /" +
                            (filter.empty() ? std::string("(none named)") : filter) +
                            ", which cannot be read (only the standard handler, with passwords)");
    }
    version_ = static_cast<int>(std::clamp<int64_t>(integerEntry(encrypt, "V", 0), -1, 99));
    revision_ = static_cast<int>(std::clamp<int64_t>(integerEntry(encrypt, "R", 0), -1, 99));
    permissions_ = static_cast<int32_t>(static_cast<uint32_t>(integerEntry(encrypt, "P", -1)));
    ownerHash_ = stringEntry(encrypt, "O");
    userHash_ = stringEntry(encrypt, "U");
    CPdfElement metadata;
    encrypt.getEntry("EncryptMetadata", metadata);
    encryptMetadata_ = !metadata.is(ElementKind::Boolean) || metadata.getBoolean();

    const std::string revision =
        " (/V " + std::to_string(version_) + ", /R " + std::to_string(revision_) + ")";
    if ((version_ == 1 || version_ == 2) && (revision_ == 2 || revision_ == 3)) {
        CPdfElement length;
        encrypt.getEntry("Length", length);
        // Without /Length a /V 2 key has 40 bits by default; some writers left it out of
        // 128-bit files, which authenticate tries as well.
        lengthMissing_ = version_ == 2 && !length.is(ElementKind::Integer);
        const int64_t bits = version_ == 1 || lengthMissing_ ? 40 : length.getInteger64();
        if (bits < 40 || bits > 128 || bits % 8 != 0) {
            throw CPdfException(std::string(kProtected) + " with a key of " + std::to_string(bits) +
                                " bits, which cannot be read");
        }
        keyBytes_ = revision_ == 2 ? 5 : static_cast<int>(bits / 8);
        stringMethod_ = streamMethod_ = Method::RC4;
    } else if (version_ == 4 && revision_ == 4) {
        const int64_t bits = integerEntry(encrypt, "Length", 128);
        keyBytes_ = bits >= 40 && bits <= 128 && bits % 8 == 0 ? static_cast<int>(bits / 8) : 16;
        stringMethod_ = filterMethod(encrypt, nameEntry(encrypt, "StrF"));
        streamMethod_ = filterMethod(encrypt, nameEntry(encrypt, "StmF"));
        if (stringMethod_ == Method::AES256 || streamMethod_ == Method::AES256) {
            throw CPdfException(std::string(kProtected) + " with AES-256 filters in" + revision +
                                ", which cannot be read");
        }
    } else if (version_ == 5 && (revision_ == 5 || revision_ == 6)) {
        keyBytes_ = 32;
        ownerEncrypted_ = stringEntry(encrypt, "OE");
        userEncrypted_ = stringEntry(encrypt, "UE");
        permsCopy_ = stringEntry(encrypt, "Perms");
        stringMethod_ = filterMethod(encrypt, nameEntry(encrypt, "StrF"));
        streamMethod_ = filterMethod(encrypt, nameEntry(encrypt, "StmF"));
        if (ownerHash_.size() < 48 || userHash_.size() < 48 || ownerEncrypted_.size() < 32 ||
            userEncrypted_.size() < 32) {
            throw CPdfException(std::string(kProtected) + revision +
                                ", but its /O, /U, /OE or /UE is too short");
        }
        return;
    } else {
        throw CPdfException(std::string(kProtected) + " with a revision of the standard handler" +
                            revision + " that cannot be read");
    }
    // Hashes written shorter than their 32 bytes are read as if zeros followed; a password
    // then opens nothing, which is said as for any file that needs one.
    ownerHash_.resize(std::max<size_t>(ownerHash_.size(), 32), '\0');
    userHash_.resize(std::max<size_t>(userHash_.size(), 32), '\0');
}

bool CPdfSecurityHandler::authenticate(std::string_view password) {
    fileKey_.clear();
    owner_ = false;
    if (tryOwnerPassword(password)) {
        owner_ = true;
        applyPermsCopy();
        return true;
    }
    if (tryUserPassword(password)) {
        applyPermsCopy();
        return true;
    }
    if (lengthMissing_ && revision_ == 3 && keyBytes_ == 5) {
        keyBytes_ = 16;
        if (authenticate(password)) {
            return true;
        }
        keyBytes_ = 5;
    }
    return false;
}

std::string CPdfSecurityHandler::legacyFileKey(std::string_view password) const {
    std::string input = padded(password);
    input.append(ownerHash_, 0, 32);
    const uint32_t p = static_cast<uint32_t>(permissions_);
    for (int k = 0; k < 4; ++k) {
        input += static_cast<char>((p >> (8 * k)) & 0xFF);
    }
    input += firstId_;
    if (revision_ >= 4 && !encryptMetadata_) {
        input.append(4, '\xFF');
    }
    std::string hash = md5(input);
    const size_t n = static_cast<size_t>(keyBytes_);
    if (revision_ >= 3) {
        for (int k = 0; k < 50; ++k) {
            hash = md5(std::string_view(hash).substr(0, n));
        }
    }
    return hash.substr(0, n);
}

bool CPdfSecurityHandler::legacyUserMatches(const std::string& key) const {
    if (revision_ == 2) {
        return rc4(key, std::string_view(reinterpret_cast<const char*>(kPadding), 32)) ==
               std::string_view(userHash_).substr(0, 32);
    }
    std::string value = md5(std::string(reinterpret_cast<const char*>(kPadding), 32) + firstId_);
    value = rc4(key, value);
    for (unsigned char i = 1; i <= 19; ++i) {
        value = rc4(xorKey(key, i), value);
    }
    return value == std::string_view(userHash_).substr(0, 16);
}

std::string CPdfSecurityHandler::hash256(std::string_view password, std::string_view salt,
                                         std::string_view userKey) const {
    std::string input(password);
    input.append(salt);
    input.append(userKey);
    std::string k = digest(GCRY_MD_SHA256, input);
    if (revision_ == 5) {
        return k;
    }
    for (int round = 0;;) {
        std::string once(password);
        once += k;
        once.append(userKey);
        std::string k1;
        k1.reserve(once.size() * 64);
        for (int r = 0; r < 64; ++r) {
            k1 += once;
        }
        const std::string e =
            aesCbc(std::string_view(k).substr(0, 16), std::string_view(k).substr(16, 16), k1, true);
        // The first 16 bytes as a number modulo 3: each byte counts alone, as 256 is 1 modulo 3.
        int sum = 0;
        for (int b = 0; b < 16; ++b) {
            sum += static_cast<unsigned char>(e[static_cast<size_t>(b)]);
        }
        static constexpr int kNext[3] = {GCRY_MD_SHA256, GCRY_MD_SHA384, GCRY_MD_SHA512};
        k = digest(kNext[sum % 3], e);
        ++round;
        if (round >= 64 && static_cast<unsigned char>(e.back()) <= round - 32) {
            break;
        }
    }
    return k.substr(0, 32);
}

void CPdfSecurityHandler::applyPermsCopy() {
    if (version_ != 5 || permsCopy_.size() < 16 || fileKey_.size() != 32) {
        return;
    }
    // One block, decrypted without chaining: the permissions in bytes 0 to 3 (least
    // significant first), "adb" in bytes 9 to 11.
    const std::string clear =
        aesCbc(fileKey_, std::string(16, '\0'), std::string_view(permsCopy_).substr(0, 16), false);
    if (clear.size() != 16 || clear.compare(9, 3, "adb") != 0) {
        return;
    }
    uint32_t copy = 0;
    for (int b = 3; b >= 0; --b) {
        copy = (copy << 8) | static_cast<unsigned char>(clear[static_cast<size_t>(b)]);
    }
    permissions_ = static_cast<int32_t>(static_cast<uint32_t>(permissions_) & copy);
}

bool CPdfSecurityHandler::tryUserPassword(std::string_view password) {
    if (version_ == 5) {
        const std::string_view text = password.substr(0, 127);
        const std::string_view u(userHash_);
        if (hash256(text, u.substr(32, 8), {}) != u.substr(0, 32)) {
            return false;
        }
        const std::string key = hash256(text, u.substr(40, 8), {});
        fileKey_ = aesCbc(key, std::string(16, '\0'),
                          std::string_view(userEncrypted_).substr(0, 32), false);
        return true;
    }
    std::string key = legacyFileKey(password);
    if (!legacyUserMatches(key)) {
        return false;
    }
    fileKey_ = std::move(key);
    return true;
}

bool CPdfSecurityHandler::tryOwnerPassword(std::string_view password) {
    if (version_ == 5) {
        const std::string_view text = password.substr(0, 127);
        const std::string_view o(ownerHash_);
        const std::string_view u = std::string_view(userHash_).substr(0, 48);
        if (hash256(text, o.substr(32, 8), u) != o.substr(0, 32)) {
            return false;
        }
        const std::string key = hash256(text, o.substr(40, 8), u);
        fileKey_ = aesCbc(key, std::string(16, '\0'),
                          std::string_view(ownerEncrypted_).substr(0, 32), false);
        return true;
    }
    std::string hash = md5(padded(password));
    if (revision_ >= 3) {
        for (int k = 0; k < 50; ++k) {
            hash = md5(hash);
        }
    }
    const std::string key = hash.substr(0, static_cast<size_t>(keyBytes_));
    std::string user = std::string(ownerHash_, 0, 32);
    if (revision_ == 2) {
        user = rc4(key, user);
    } else {
        for (int i = 19; i >= 0; --i) {
            user = rc4(xorKey(key, static_cast<unsigned char>(i)), user);
        }
    }
    return tryUserPassword(user);
}

std::string CPdfSecurityHandler::objectKey(Method method, int64_t number,
                                           int64_t generation) const {
    if (method == Method::AES256) {
        return fileKey_;
    }
    std::string input = fileKey_;
    for (int k = 0; k < 3; ++k) {
        input += static_cast<char>((number >> (8 * k)) & 0xFF);
    }
    for (int k = 0; k < 2; ++k) {
        input += static_cast<char>((generation >> (8 * k)) & 0xFF);
    }
    if (method == Method::AES128) {
        input += "sAlT";
    }
    return md5(input).substr(0, std::min<size_t>(fileKey_.size() + 5, 16));
}

std::string CPdfSecurityHandler::decrypt(bool stream, int64_t number, int64_t generation,
                                         std::string_view data) const {
    return transform(stream, number, generation, data, false);
}

std::string CPdfSecurityHandler::encrypt(bool stream, int64_t number, int64_t generation,
                                         std::string_view data) const {
    return transform(stream, number, generation, data, true);
}

std::string CPdfSecurityHandler::transform(bool stream, int64_t number, int64_t generation,
                                           std::string_view data, bool encrypting) const {
    const Method method = stream ? streamMethod_ : stringMethod_;
    if (method == Method::None) {
        return std::string(data);
    }
    const std::string key = objectKey(method, number, generation);
    if (method == Method::RC4) {
        // RC4 is its own inverse.
        return rc4(key, data);
    }
    if (encrypting) {
        // A fresh random vector ahead of the blocks, the padding's length in each of its bytes.
        std::string iv(16, '\0');
        gcry_create_nonce(iv.data(), iv.size());
        std::string plain(data);
        const size_t pad = 16 - plain.size() % 16;
        plain.append(pad, static_cast<char>(pad));
        return iv + aesCbc(key, iv, plain, true);
    }
    if (data.size() < 32) {
        // No room for the vector and one block: nothing can be read.
        return {};
    }
    const std::string_view blocks = data.substr(16, (data.size() - 16) / 16 * 16);
    std::string out = aesCbc(key, data.substr(0, 16), blocks, false);
    // The padding's length is in each of its bytes; a last byte that cannot be one is kept.
    const size_t pad = out.empty() ? 0 : static_cast<unsigned char>(out.back());
    if (pad >= 1 && pad <= 16 && pad <= out.size()) {
        out.erase(out.end() - static_cast<std::ptrdiff_t>(pad), out.end());
    }
    return out;
}

std::string CPdfSecurityHandler::transformStrings(int64_t number, int64_t generation,
                                                  std::string_view text, bool encrypting,
                                                  size_t* streamKeyword) const {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    size_t pos = 0;
    while (pos < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[pos]);
        if (c == '%') {
            const size_t end = text.find_first_of("\r\n", pos);
            const size_t stop = end == std::string_view::npos ? text.size() : end;
            out.append(text.substr(pos, stop - pos));
            pos = stop;
        } else if (c == '(' || (c == '<' && (pos + 1 >= text.size() || text[pos + 1] != '<'))) {
            const std::string bytes = c == '(' ? readLiteral(text, pos) : readHex(text, pos);
            appendHex(out, encrypting ? encrypt(false, number, generation, bytes)
                                      : decrypt(false, number, generation, bytes));
        } else if (c == '/') {
            size_t end = pos + 1;
            while (end < text.size() &&
                   pdf_syntax::isRegular(static_cast<unsigned char>(text[end]))) {
                ++end;
            }
            out.append(text.substr(pos, end - pos));
            pos = end;
        } else if (pdf_syntax::isRegular(c)) {
            size_t end = pos;
            while (end < text.size() &&
                   pdf_syntax::isRegular(static_cast<unsigned char>(text[end]))) {
                ++end;
            }
            const std::string_view word = text.substr(pos, end - pos);
            if (word == "stream" || word == "endobj") {
                if (streamKeyword && word == "stream") {
                    *streamKeyword = out.size();
                }
                out.append(text.substr(pos));
                return out;
            }
            out.append(word);
            pos = end;
        } else if (c == '<') {
            out.append("<<");
            pos += 2;
        } else {
            out += static_cast<char>(c);
            ++pos;
        }
    }
    return out;
}

std::string CPdfSecurityHandler::decryptStringsOfText(int64_t number, int64_t generation,
                                                      std::string_view text) const {
    return transformStrings(number, generation, text, false, nullptr);
}

std::string CPdfSecurityHandler::encryptStringsOfText(int64_t number, int64_t generation,
                                                      std::string_view text) const {
    return transformStrings(number, generation, text, true, nullptr);
}

std::string CPdfSecurityHandler::encryptNewObject(int64_t number, int64_t generation,
                                                  std::string_view text) const {
    size_t keyword = pdf_syntax::npos;
    std::string out = transformStrings(number, generation, text, true, &keyword);
    if (keyword == pdf_syntax::npos) {
        return out;
    }
    size_t dataStart = keyword + 6;
    if (dataStart < out.size() && out[dataStart] == '\r') {
        ++dataStart;
    }
    if (dataStart < out.size() && out[dataStart] == '\n') {
        ++dataStart;
    }
    const size_t dict = pdf_syntax::findBodyDictionary(out);
    const std::optional<pdf_syntax::DictEntry> entry =
        dict == pdf_syntax::npos ? std::nullopt : pdf_syntax::findEntry(out, dict, "Length");
    int64_t length = -1;
    if (!entry ||
        !pdf_syntax::readInteger(
            std::string_view(out).substr(entry->valueStart, entry->valueEnd - entry->valueStart),
            length) ||
        length < 0 || static_cast<uint64_t>(length) > out.size() - dataStart) {
        throw CPdfException("Internal: a new stream object has no /Length that frames its data");
    }
    const std::string data =
        encrypt(true, number, generation, std::string_view(out).substr(dataStart, length));
    out.replace(dataStart, static_cast<size_t>(length), data);
    out.replace(entry->valueStart, entry->valueEnd - entry->valueStart,
                std::to_string(data.size()));
    return out;
}
