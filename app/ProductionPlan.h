#pragma once

#include "stamp/pass/PassResult.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CPdfStamp;
struct StampDefinition;

// The plan of a production (-plan): every document of a list read as the stamping reads it, and
// numbered as a sequential run of the list would number it, with nothing stamped. Its rows give
// each document's start number, ranges and, for a document that would fail, the cause; cut
// into slices, they are lists that -liststartcol runs in parallel with the same numbers.
class ProductionPlan {
  public:
    // What the plan finds for one document.
    struct Row {
        std::string input;
        // The number the document starts at (the counter as the run reaches the document).
        int32_t startNumber = 0;
        bool failed = false;
        // Pages, stamped pages and the first stamp's first and last numbers and texts.
        PassResult pass;
        // Why it would fail, why nothing of it is stamped, or the warnings of its reading.
        std::string cause;
    };

    // The numbers and texts of a document of pageCount pages whose first stamp starts at
    // startNumber, as a pass draws them: the pages any stamp is drawn on, the first stamp's
    // numbers and texts on its first and last page, and the number the next document starts
    // at (one after the highest number shown, counted from 0 as the counter is, or startNumber
    // when the first stamp is drawn on no page).
    struct Numbers {
        PassResult pass;
        int64_t nextNumber = 0;
    };
    static Numbers numberDocument(const StampDefinition& stamp,
                                  const std::vector<StampDefinition>& moreStamps,
                                  int32_t startNumber, uint32_t pageCount);

    explicit ProductionPlan(std::string fileName) : fileName_(std::move(fileName)) {}

    // Plans the document of one list line: args as the run of that line takes them. A
    // document that would fail is a row with its cause; a counter file that cannot be read, or
    // a -textfile run, throws CPdfException: it ends the plan.
    const Row& addDocument(const std::vector<std::string>& args);
    // Writes the plan file (replacing it only once it is whole) and, with -export, the number
    // the run would leave in the counter file. Throws CPdfException when either cannot be
    // written.
    void write() const;

    const std::vector<Row>& rows() const { return rows_; }

    // The column names, in order: the production log's where they mean the same.
    static std::vector<std::string> header();
    // The row's fields, in the order of the header.
    static std::vector<std::string> fields(const Row& row);

  private:
    // The number the job's document starts at; reads the counter file at the first document.
    int32_t startNumberOf(const CPdfStamp& job);
    void noteNextNumber(const CPdfStamp& job, int64_t next);

    std::string fileName_;
    std::vector<Row> rows_;
    // The counter file's number as the run would find it before the next document; read once.
    std::optional<int32_t> counter_;
    // The -export file and the number the run would write into it last, if it writes one.
    std::string exportFile_;
    std::optional<int64_t> exported_;
};
