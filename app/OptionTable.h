#pragma once

#include "app/ListLine.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class CPdfStamp;

// The options after "-i…" and "-o…"/"-f…", each written once: its word, its form, what it sets
// in the job and, for the few read before the job exists, in the pre-scan. The parser, the
// pre-scan, the unknown-option warning and the list runner read this table; the tests hold the
// usage text, the manual page, the README and the bash completion to it.
class OptionTable {
  public:
    enum class Form {
        Exact,       // the word alone: "-seq"
        Decimal,     // the word and a number: "-s2"
        Hex,         // the word and a hexadecimal number: "-colorFF0000"
        DecimalPair, // the word and two numbers: "-pos20,10"
        Value,       // the word, and the next argument as its value: "-prefix" "Page "
    };
    // What a value option's value is, for the completion: a file name, or free text.
    enum class ValueKind { None, File, Text };

    // What the matching of one argument found.
    struct Match {
        int32_t first = 0;
        int32_t second = 0;
        uint32_t hex = 0;
        const std::string* value = nullptr;
    };

    // The settings read before the options are parsed: -quiet decides the banner, the list
    // settings the reading of the list file, and -log the run's production log.
    struct PreScan {
        bool quiet = false;
        ListOptions list;
        std::string logFile;
    };

    struct Row {
        const char* word;
        Form form;
        ValueKind value;
        // What the option sets in the job; nullptr for an option accepted without a setting
        // there (its setting is the pre-scan's, or it has none).
        void (*apply)(CPdfStamp& job, const Match& match);
        // What the option sets in the pre-scan; nullptr for most.
        void (*preScan)(PreScan& scan, const std::string& value);
    };

    // Every row, in the order the parser tries them: the first that matches applies.
    static std::span<const Row> rows();
    // The row that takes argument as its option (a value option's word, or an option with its
    // number: "-s2", "-pos10,20"), with the numbers read into match; nullptr when none does.
    static const Row* find(std::string_view argument, Match& match);
    // Whether the parser reads the argument after this one as its value, whatever it holds.
    static bool isValueOption(std::string_view argument);
    // Whether the parser takes this argument as one of its options; anything else it passes
    // over.
    static bool isKnownOption(std::string_view argument);
    // Whether argument is the bare word of an option that takes its value attached ("-size",
    // "-pos", "-color"): given so, its value was most likely given as the next argument.
    static bool takesAttachedValue(std::string_view argument);
    // The refusal of args[index], a word that takes its value attached, given without it:
    // "-size takes its value attached: -size14" when a value follows it, else "-size needs its
    // value attached: -size<n>" (what names the value, placeholder its form).
    static std::string detachedValueRefusal(const std::vector<std::string>& args, size_t index,
                                            std::string_view what, std::string_view placeholder);
    // Whether an argument after an option word reads as its value rather than as the next
    // option: "14", "-1,-1", "-45", "-".
    static bool looksLikeValue(std::string_view next);
    // The placeholder of an option's attached value ("<n>", "<n>,<n>", "<hex>").
    static std::string_view placeholderOf(std::string_view word);
    // The word of every option ("-s", "-prefix" …), in the order the parser tries them.
    static std::vector<std::string_view> words();
    // The pre-scan's settings from the whole command line. Every argument is scanned, values
    // included; an option whose value is missing leaves its setting empty (the parser refuses
    // it).
    static PreScan preScan(const std::vector<std::string>& args);
};
