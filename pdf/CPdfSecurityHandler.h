#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class CPdfDictionary;
class CPdfElement;

// The standard security handler of a protected PDF file: the file key worked out from a
// password, and the decryption and encryption of each object's strings and streams with that
// object's own key. RC4 of 40 to 128 bits (/V 1 and 2, /R 2 and 3), crypt filters (/V 4, /R 4:
// /V2, /AESV2, /Identity) and AES-256 (/V 5, /R 5 and 6). MD5, SHA-2, RC4 and AES come from
// libgcrypt.
class CPdfSecurityHandler {
  public:
    // How the strings or the streams of the file are encrypted.
    enum class Method { None, RC4, AES128, AES256 };

    // Reads the /Encrypt dictionary (its entries direct or already resolved, as the dictionary
    // holds them) and the first string of the trailer's /ID (empty when there is none). Throws
    // CPdfException with the cause for a handler or a revision this one cannot read.
    CPdfSecurityHandler(const CPdfDictionary& encrypt, std::string firstId);

    // Tries the password as the owner's, then as the user's; true when one of them fits, and
    // the file key is then known.
    bool authenticate(std::string_view password);
    bool authenticated() const { return !fileKey_.empty(); }
    // The owner password was given (not only the user's).
    bool ownerAccess() const { return owner_; }
    // Bit 4 of the permissions: the document may be changed. With AES-256, once a password
    // fits, a permission counts only where /P and its encrypted copy in /Perms both give it
    // (a /Perms that does not decrypt to such a copy is passed over).
    bool permitsChanges() const { return (permissions_ & 8) != 0; }
    // false when /EncryptMetadata false keeps the metadata streams clear.
    bool encryptsMetadata() const { return encryptMetadata_; }
    Method stringMethod() const { return stringMethod_; }
    Method streamMethod() const { return streamMethod_; }
    const std::string& fileKey() const { return fileKey_; }

    // The bytes of a string or stream of object number/generation, decrypted. AES data shorter
    // than its initialisation vector, or not in whole blocks, gives what the whole blocks hold.
    std::string decrypt(bool stream, int64_t number, int64_t generation,
                        std::string_view data) const;
    // The bytes encrypted for object number/generation (AES with a fresh random vector).
    std::string encrypt(bool stream, int64_t number, int64_t generation,
                        std::string_view data) const;

    // The text of an indirect object ("N G obj ..."): every literal and hex string up to the
    // object's "stream" or "endobj" rewritten as a hex string, decrypted or encrypted with the
    // object's key. The stream data, if any, is left as it is.
    std::string decryptStringsOfText(int64_t number, int64_t generation,
                                     std::string_view text) const;
    std::string encryptStringsOfText(int64_t number, int64_t generation,
                                     std::string_view text) const;
    // The text of a new stream object ("N G obj <<... /Length n ...>> stream ... endstream
    // endobj", its data exactly /Length bytes): its strings and its data encrypted, the
    // /Length set to the encrypted data's. Throws CPdfException when the text is not so framed.
    std::string encryptNewObject(int64_t number, int64_t generation, std::string_view text) const;

    // The key of one object (Algorithm 1; the file key itself for AES-256).
    std::string objectKey(Method method, int64_t number, int64_t generation) const;

  private:
    // decrypt and encrypt: one object's string or stream data through its method and key.
    std::string transform(bool stream, int64_t number, int64_t generation, std::string_view data,
                          bool encrypting) const;
    std::string transformStrings(int64_t number, int64_t generation, std::string_view text,
                                 bool encrypting, size_t* streamKeyword) const;
    bool tryUserPassword(std::string_view password);
    bool tryOwnerPassword(std::string_view password);
    // Revisions 2 to 4: Algorithm 2 (the file key from a padded user password) and the check
    // of /U (Algorithms 4 and 5).
    std::string legacyFileKey(std::string_view password) const;
    bool legacyUserMatches(const std::string& key) const;
    // Revisions 5 and 6: the hash of Algorithm 2.A (R5) or 2.B (R6).
    std::string hash256(std::string_view password, std::string_view salt,
                        std::string_view userKey) const;
    // Revisions 5 and 6, with the file key known: the permissions narrowed to those that /Perms
    // also gives.
    void applyPermsCopy();

    int version_ = 0;
    int revision_ = 0;
    int keyBytes_ = 5;
    bool lengthMissing_ = false; // a /V 2 dictionary without /Length
    int32_t permissions_ = 0;
    bool encryptMetadata_ = true;
    Method stringMethod_ = Method::RC4;
    Method streamMethod_ = Method::RC4;
    std::string ownerHash_;      // /O
    std::string userHash_;       // /U
    std::string ownerEncrypted_; // /OE
    std::string userEncrypted_;  // /UE
    std::string permsCopy_;      // /Perms
    std::string firstId_;
    std::string fileKey_;
    bool owner_ = false;
};
