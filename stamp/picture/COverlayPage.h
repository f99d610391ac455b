#pragma once

#include "stamp/write/ReferenceScan.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// A page of another PDF file made one form XObject: the page's content (its one stream as it
// is, or its streams decoded and joined) with the page's resources, and every object of that
// file the form needs, each to be written once with its references renumbered. The form's
// /Matrix maps the page's box, turned as the page is shown, onto the unit square, so that it is
// drawn as an image is.
class COverlayPage {
  public:
    // Reads page pageNumber (from 1) of the file with the program's reader (repair and
    // decryption included; a file that needs a password is refused). Throws CPdfException
    // ("Overlay file error") with the cause: a file that cannot be read, a page it lacks, a page
    // that needs more than the limits allow.
    static COverlayPage read(const std::string& path, int32_t pageNumber);

    // The page's size in points as it is shown (its crop box, else its media box, turned).
    float width() const { return width_; }
    float height() const { return height_; }
    // The objects to write, the form first; written one after another from number first on,
    // each one's text without its number (" 0 obj ...endobj\n").
    size_t objectCount() const { return objects_.size(); }
    std::string formattedObject(size_t index, int64_t first) const;

  private:
    // One object in the other file's numbering: its body (a stream's dictionary, without its
    // /Length), the references in it, and a stream's data, decrypted where that file is
    // protected and still encoded by its filters.
    struct Object {
        std::string text;
        std::vector<ReferenceSpan> references;
        bool stream = false;
        std::string data;
    };
    class Reader;

    float width_ = 0.0f;
    float height_ = 0.0f;
    std::vector<Object> objects_;
    // The other file's object numbers that are copied, by their index in objects_; a
    // reference to any other number is written as null.
    std::unordered_map<int64_t, size_t> indexOf_;
};
