#include "stamp/pass/SignatureCheck.h"

#include "pdf/CPdfArray.h"
#include "pdf/CPdfDictionary.h"
#include "pdf/CPdfException.h"
#include "pdf/CPdfXRef.h"

#include <optional>
#include <string>
#include <unordered_set>

namespace {

// A form's field tree is followed this deep and this far: deeper or larger trees are hostile.
constexpr int kMaxFieldDepth = 32;
constexpr size_t kMaxFields = 100000;

// What the look at the form found.
struct SignatureFinding {
    bool signedDocument = false;
    // The signature object whose certification allows no changes (/DocMDP with /P 1), if any.
    std::optional<int32_t> lockedBy;
};

class SignatureScan {
  public:
    explicit SignatureScan(CPdfXRef* xref) : xref_(xref) {}

    // A signature value: a dictionary with a /ByteRange, whose /Reference may hold a
    // certification (/TransformMethod /DocMDP) and its permission (/P, 2 when absent).
    void signatureValue(const CPdfElement& value, int32_t objectNumber) {
        CPdfElement dict;
        value.resolve(xref_, dict);
        if (!dict.is(ElementKind::Dictionary)) {
            return;
        }
        const CPdfDictionary& signature = *dict.getDictionary();
        if (signature.find("ByteRange") != nullptr) {
            finding.signedDocument = true;
        }
        CPdfElement references;
        signature.getEntry("Reference", references);
        if (!references.is(ElementKind::Array)) {
            return;
        }
        for (size_t k = 0; k < references.getArray()->getCount() && k < 64; ++k) {
            CPdfElement item;
            references.getArray()->getItem(k).resolve(xref_, item);
            if (!item.is(ElementKind::Dictionary)) {
                continue;
            }
            CPdfElement method;
            item.getDictionary()->getEntry("TransformMethod", method);
            if (!method.is(ElementKind::Name) || method.getText() != "DocMDP") {
                continue;
            }
            CPdfElement params;
            item.getDictionary()->getEntry("TransformParams", params);
            CPdfElement permission;
            if (params.is(ElementKind::Dictionary)) {
                params.getDictionary()->getEntry("P", permission);
            }
            if (permission.is(ElementKind::Integer) && permission.getInteger64() == 1) {
                finding.lockedBy = objectNumber;
            }
        }
    }

    // A field and its kids: a signature field (/FT /Sig, inherited) with a value is looked at.
    void field(const CPdfElement& entry, bool inheritedSignature, int depth) {
        if (depth > kMaxFieldDepth || ++visited_ > kMaxFields) {
            return;
        }
        if (entry.is(ElementKind::Reference) && !seen_.insert(entry.getRefNumber()).second) {
            return; // a field met before: a loop, or one field named twice
        }
        CPdfElement node;
        entry.resolve(xref_, node);
        if (!node.is(ElementKind::Dictionary)) {
            return;
        }
        const CPdfDictionary& dict = *node.getDictionary();
        CPdfElement type;
        dict.getEntry("FT", type);
        const bool isSignature =
            type.is(ElementKind::Name) ? type.getText() == "Sig" : inheritedSignature;
        if (const CPdfElement* value = dict.find("V"); isSignature && value != nullptr) {
            signatureValue(*value, value->is(ElementKind::Reference) ? value->getRefNumber() : 0);
        }
        CPdfElement kids;
        dict.getEntry("Kids", kids);
        if (kids.is(ElementKind::Array)) {
            for (size_t k = 0; k < kids.getArray()->getCount(); ++k) {
                field(kids.getArray()->getItem(k), isSignature, depth + 1);
            }
        }
    }

    SignatureFinding finding;

  private:
    CPdfXRef* xref_;
    std::unordered_set<int32_t> seen_;
    size_t visited_ = 0;
};

} // namespace

bool checkSignatures(CPdfXRef& xref, int32_t rootObject) {
    SignatureScan scan(&xref);
    try {
        CPdfElement catalog;
        xref.fetchObject(rootObject, xref.root().generation, catalog);
        if (!catalog.is(ElementKind::Dictionary)) {
            return false;
        }
        const CPdfDictionary& root = *catalog.getDictionary();
        CPdfElement form;
        root.getEntry("AcroForm", form);
        if (form.is(ElementKind::Dictionary)) {
            // Bit 1 of /SigFlags: the document holds at least one signature.
            CPdfElement flags;
            form.getDictionary()->getEntry("SigFlags", flags);
            if (flags.is(ElementKind::Integer) && (flags.getInteger64() & 1) != 0) {
                scan.finding.signedDocument = true;
            }
            CPdfElement fields;
            form.getDictionary()->getEntry("Fields", fields);
            if (fields.is(ElementKind::Array)) {
                for (size_t k = 0; k < fields.getArray()->getCount(); ++k) {
                    scan.field(fields.getArray()->getItem(k), false, 0);
                }
            }
        }
        // The certification signature, named in the catalog's permissions.
        CPdfElement perms;
        root.getEntry("Perms", perms);
        if (perms.is(ElementKind::Dictionary)) {
            if (const CPdfElement* docMdp = perms.getDictionary()->find("DocMDP")) {
                scan.signatureValue(
                    *docMdp, docMdp->is(ElementKind::Reference) ? docMdp->getRefNumber() : 0);
            }
        }
    } catch (const CPdfException&) {
        // A form that cannot be read is left to the pass, which reads only the page tree.
    }
    if (scan.finding.lockedBy) {
        std::string where = *scan.finding.lockedBy > 0
                                ? " (object " + std::to_string(*scan.finding.lockedBy) + ")"
                                : std::string();
        throw CPdfException("PDF file is certified against changes",
                            "its certification signature" + where +
                                " allows no changes (/DocMDP /P 1)");
    }
    return scan.finding.signedDocument;
}
