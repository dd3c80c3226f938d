// What a volume records of the run that wrote it: named values (texts,
// whole numbers, reals, lists of texts or reals), written in a TIFF
// volume's description as one JSON object and on an HDF5 volume's
// /exchange/data as one attribute each (texts as UTF-8 strings of variable
// length, whole numbers as 64-bit integers, reals as doubles, lists as
// one-dimensional attributes), and there also whole, as the JSON text, in
// the attribute "record".
//
// Some values are known only when the last slice is made (the zinger and
// clamp counts, the percentiles): they are marked late. A TIFF reserves
// room for the record at its widest (every late number at its widest
// text) and writes it, padded with spaces (JSON allows blanks after the
// object), when the volume is finished.
#pragma once

#include <string>
#include <vector>

#include <hdf5.h>

#include "status.h"

struct RecordValue {
    enum Kind { kText, kInteger, kReal, kTexts, kReals } kind = kText;
    std::string text;
    long long integer = 0;
    double real = 0;
    std::vector<std::string> texts;
    std::vector<double> reals;
    bool late = false;  // known only at the end
};

struct RecordEntry {
    std::string name;
    RecordValue value;
};

using Record = std::vector<RecordEntry>;

// Every record starts with this member, so that a reader tells the
// toolkit's volumes from other files by the description's first bytes.
inline constexpr const char *kRecordStart = "{\"program\":\"stack_recon\"";

// Appends or replaces the named value.
void SetText(Record *r, const char *name, const std::string &text);
void SetInteger(Record *r, const char *name, long long value, bool late = false);
void SetReal(Record *r, const char *name, double value, bool late = false);
void SetTexts(Record *r, const char *name, const std::vector<std::string> &texts);
void SetReals(Record *r, const char *name, const std::vector<double> &values, bool late = false);
const RecordValue *FindValue(const Record &r, const char *name);

// A string as a JSON string, quotes included: the quote, the backslash and
// control characters escaped; UTF-8 sequences passed as they are (file
// names stay readable), and any other byte from 0x80 on (a name in another
// encoding) escaped as the character of its value, so that the text is
// always valid JSON in UTF-8.
std::string JsonString(const std::string &text);

// The record as one JSON object (the first member named "program").
std::string RecordJson(const Record &r);

// The length of RecordJson with every late number at its widest text: the
// room a TIFF reserves.
std::size_t RecordJsonRoom(const Record &r);

// Writes the record's values, and its JSON as "record", as attributes of
// an HDF5 object. False when one cannot be written.
bool WriteRecordAttributes(hid_t object, const Record &r);

// Reads what WriteRecordAttributes wrote back from its "record"
// attribute's members: every text, whole number, real and list. *present
// is false for a volume written before volumes recorded their runs (no
// "record"): the record is then empty. False when the attribute exists
// but cannot be read or is not a JSON object of this form.
bool ReadRecordAttributes(hid_t object, Record *r, bool *present);
