#include "volume_record.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "h5_id.h"

namespace {

RecordValue ValueOf(RecordValue::Kind kind) {
    RecordValue v;
    v.kind = kind;
    return v;
}

RecordValue *Slot(Record *r, const char *name, RecordValue::Kind kind) {
    for (RecordEntry &e : *r)
        if (e.name == name) {
            e.value = ValueOf(kind);
            return &e.value;
        }
    r->push_back(RecordEntry{name, ValueOf(kind)});
    return &r->back().value;
}

std::string RealText(double v) {
    if (!std::isfinite(v)) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

// The widest texts a late number can take.
constexpr const char *kWidestInteger = "-9223372036854775808";
constexpr const char *kWidestReal = "-2.2250738585072014e-308";

std::string ValueJson(const RecordValue &v, bool widest) {
    switch (v.kind) {
        case RecordValue::kText: return JsonString(v.text);
        case RecordValue::kInteger: return widest && v.late ? kWidestInteger : std::to_string(v.integer);
        case RecordValue::kReal: return widest && v.late ? kWidestReal : RealText(v.real);
        case RecordValue::kTexts: {
            std::string out = "[";
            for (std::size_t i = 0; i < v.texts.size(); ++i) {
                if (i > 0) out += ',';
                out += JsonString(v.texts[i]);
            }
            return out + "]";
        }
        case RecordValue::kReals: {
            std::string out = "[";
            for (std::size_t i = 0; i < v.reals.size(); ++i) {
                if (i > 0) out += ',';
                out += widest && v.late ? std::string(kWidestReal) : RealText(v.reals[i]);
            }
            return out + "]";
        }
    }
    return "null";
}

std::string Json(const Record &r, bool widest) {
    std::string out = kRecordStart;
    for (const RecordEntry &e : r) {
        if (e.name == "program") continue;
        out += ',';
        out += JsonString(e.name);
        out += ':';
        out += ValueJson(e.value, widest);
    }
    return out + "}";
}

hid_t TextType() {
    hid_t type = H5Tcopy(H5T_C_S1);
    if (type >= 0 && (H5Tset_size(type, H5T_VARIABLE) < 0 || H5Tset_cset(type, H5T_CSET_UTF8) < 0)) {
        H5Tclose(type);
        return -1;
    }
    return type;
}

bool WriteOne(hid_t object, const char *name, hid_t file_type, hid_t memory_type, hsize_t count, bool list,
              const void *data) {
    if (H5Aexists(object, name) > 0 && H5Adelete(object, name) < 0) return false;
    H5Id space(list ? H5Screate_simple(1, &count, nullptr) : H5Screate(H5S_SCALAR));
    H5Id attribute(space.id >= 0 ? H5Acreate2(object, name, file_type, space.id, H5P_DEFAULT, H5P_DEFAULT) : -1);
    return attribute.id >= 0 && (count == 0 || H5Awrite(attribute.id, memory_type, data) >= 0);
}

bool WriteValue(hid_t object, const char *name, const RecordValue &v) {
    switch (v.kind) {
        case RecordValue::kText: {
            H5Id type(TextType());
            const char *text = v.text.c_str();
            return type.id >= 0 && WriteOne(object, name, type.id, type.id, 1, false, &text);
        }
        case RecordValue::kInteger:
            return WriteOne(object, name, H5T_STD_I64LE, H5T_NATIVE_LLONG, 1, false, &v.integer);
        case RecordValue::kReal: return WriteOne(object, name, H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, 1, false, &v.real);
        case RecordValue::kTexts: {
            H5Id type(TextType());
            std::vector<const char *> texts;
            for (const std::string &t : v.texts) texts.push_back(t.c_str());
            return type.id >= 0 && WriteOne(object, name, type.id, type.id, texts.size(), true, texts.data());
        }
        case RecordValue::kReals:
            return WriteOne(object, name, H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, v.reals.size(), true, v.reals.data());
    }
    return false;
}

// Reads one attribute of the kinds WriteValue writes.
bool ReadValue(hid_t attribute, RecordValue *v) {
    H5Id type(H5Aget_type(attribute));
    H5Id space(H5Aget_space(attribute));
    if (type.id < 0 || space.id < 0) return false;
    int dims = H5Sget_simple_extent_ndims(space.id);
    hssize_t points = H5Sget_simple_extent_npoints(space.id);
    if (dims < 0 || dims > 1 || points < 0 || points > (1 << 28)) return false;
    bool list = dims == 1;
    auto count = static_cast<std::size_t>(points);
    switch (H5Tget_class(type.id)) {
        case H5T_STRING: {
            if (H5Tis_variable_str(type.id) <= 0) return false;
            // The text in the file's character set (ASCII or UTF-8), which
            // HDF5 does not convert.
            H5Id memory(TextType());
            if (memory.id < 0 || H5Tset_cset(memory.id, H5Tget_cset(type.id)) < 0) return false;
            std::vector<char *> texts(count, nullptr);
            if (memory.id < 0 || (count > 0 && H5Aread(attribute, memory.id, texts.data()) < 0)) return false;
            v->kind = list ? RecordValue::kTexts : RecordValue::kText;
            for (char *t : texts) {
                std::string text = t != nullptr ? t : "";
                if (list)
                    v->texts.push_back(text);
                else
                    v->text = text;
            }
            if (count > 0) H5Dvlen_reclaim(memory.id, space.id, H5P_DEFAULT, texts.data());
            return true;
        }
        case H5T_INTEGER:
            if (list || count != 1) return false;
            v->kind = RecordValue::kInteger;
            return H5Aread(attribute, H5T_NATIVE_LLONG, &v->integer) >= 0;
        case H5T_FLOAT:
            if (!list) {
                v->kind = RecordValue::kReal;
                return count == 1 && H5Aread(attribute, H5T_NATIVE_DOUBLE, &v->real) >= 0;
            }
            v->kind = RecordValue::kReals;
            v->reals.assign(count, 0);
            return count == 0 || H5Aread(attribute, H5T_NATIVE_DOUBLE, v->reals.data()) >= 0;
        default: return false;
    }
}

}  // namespace

void SetText(Record *r, const char *name, const std::string &text) { Slot(r, name, RecordValue::kText)->text = text; }

void SetInteger(Record *r, const char *name, long long value, bool late) {
    RecordValue *v = Slot(r, name, RecordValue::kInteger);
    v->integer = value;
    v->late = late;
}

void SetReal(Record *r, const char *name, double value, bool late) {
    RecordValue *v = Slot(r, name, RecordValue::kReal);
    v->real = value;
    v->late = late;
}

void SetTexts(Record *r, const char *name, const std::vector<std::string> &texts) {
    Slot(r, name, RecordValue::kTexts)->texts = texts;
}

void SetReals(Record *r, const char *name, const std::vector<double> &values, bool late) {
    RecordValue *v = Slot(r, name, RecordValue::kReals);
    v->reals = values;
    v->late = late;
}

const RecordValue *FindValue(const Record &r, const char *name) {
    for (const RecordEntry &e : r)
        if (e.name == name) return &e.value;
    return nullptr;
}

namespace {

// The length of the UTF-8 sequence at `at` (1 to 4), or 0 when the bytes
// there are not one (a stray continuation byte, a sequence cut short,
// overlong or beyond U+10FFFF, a surrogate).
std::size_t Utf8Length(const std::string &text, std::size_t at) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char c = byte(at);
    std::size_t n = c >= 0xf0 && c <= 0xf4 ? 4 : c >= 0xe0 ? 3 : c >= 0xc2 && c <= 0xdf ? 2 : 0;
    if (n == 0 || at + n > text.size()) return 0;
    for (std::size_t i = 1; i < n; ++i)
        if ((byte(at + i) & 0xc0) != 0x80) return 0;
    unsigned char d = byte(at + 1);
    if ((c == 0xe0 && d < 0xa0) || (c == 0xed && d >= 0xa0) || (c == 0xf0 && d < 0x90) || (c == 0xf4 && d >= 0x90))
        return 0;
    return n;
}

}  // namespace

std::string JsonString(const std::string &text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t n = c < 0x80 ? 1 : Utf8Length(text, i);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7f || n == 0) {
            // A control character, or a byte that is no part of UTF-8 (a
            // name in another encoding): the character of its value.
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", c);
            out += code;
            n = 1;
        } else {
            out.append(text, i, n);
        }
        i += n;
    }
    return out + "\"";
}

std::string RecordJson(const Record &r) { return Json(r, false); }

std::size_t RecordJsonRoom(const Record &r) { return Json(r, true).size(); }

bool WriteRecordAttributes(hid_t object, const Record &r) {
    for (const RecordEntry &e : r)
        if (!WriteValue(object, e.name.c_str(), e.value)) return false;
    RecordValue whole = ValueOf(RecordValue::kText);
    whole.text = RecordJson(r);
    return WriteValue(object, "record", whole);
}

bool ReadRecordAttributes(hid_t object, Record *r, bool *present) {
    r->clear();
    *present = H5Aexists(object, "record") > 0;
    if (!*present) return true;
    H5O_info_t info;
    if (H5Oget_info(object, &info) < 0) return false;
    for (hsize_t i = 0; i < info.num_attrs; ++i) {
        H5Id attribute(H5Aopen_by_idx(object, ".", H5_INDEX_NAME, H5_ITER_INC, i, H5P_DEFAULT, H5P_DEFAULT));
        if (attribute.id < 0) return false;
        char name[256];
        ssize_t length = H5Aget_name(attribute.id, sizeof name, name);
        if (length < 0 || length >= static_cast<ssize_t>(sizeof name)) return false;
        RecordEntry e{name, ValueOf(RecordValue::kText)};
        if (!ReadValue(attribute.id, &e.value)) return false;
        r->push_back(e);
    }
    return true;
}
