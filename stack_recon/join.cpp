#include "join.h"

#include <climits>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "memory.h"
#include "provenance.h"

namespace {

const char *const kCounts[] = {"clamped", "zingers", "flat_zingers", "dark_zingers"};
const char *const kCopied[] = {"options", "stack",  "stack_rows",  "kernel",           "method",
                               "center",  "flats", "darks", "value_range", "value_range_from"};

// A recorded whole number, or `otherwise` when absent.
long long IntegerOf(const Record &r, const char *name, long long otherwise) {
    const RecordValue *v = FindValue(r, name);
    return v != nullptr && v->kind == RecordValue::kInteger ? v->integer : otherwise;
}

// The checks of a recorded part beside the first: the same run, rows
// within the stack, counts that still fit once added to `sums`.
Status CheckRecordedPart(const VolumePart &first, const VolumePart &part, long long *sums) {
    std::string differ = RecordsDiffer(first.record, first.recorded, part.record, part.recorded);
    if (!differ.empty())
        return Failure(About(part.file, ("written with other options than " + first.file + " (" + differ + ").").c_str()));
    if (!part.recorded) return Success();
    long long stack_rows = IntegerOf(part.record, "stack_rows", -1);
    if (stack_rows < 1 || stack_rows > INT_MAX) return Failure(About(part.file, "not a volume."));
    if (part.first_row + static_cast<long long>(part.rows) > stack_rows)
        return Failure(About(part.file, ("rows beyond the stack's " + std::to_string(stack_rows) + ".").c_str()));
    for (std::size_t k = 0; k < std::size(kCounts); ++k) {
        long long count = IntegerOf(part.record, kCounts[k], 0);
        if (count < 0 || count > LLONG_MAX - sums[k]) return Failure(About(part.file, "counts do not fit."));
        sums[k] += count;
    }
    return Success();
}

// "R" or "R to S".
std::string RangeText(long long first, long long last) {
    return first == last ? std::to_string(first) : std::to_string(first) + " to " + std::to_string(last);
}

}  // namespace

std::string MissingRowsWarning(long long first_row, long long end_row, long long stack_rows) {
    std::vector<std::string> missing;
    bool one = true;  // a single row missing
    if (first_row > 0) {
        missing.push_back(RangeText(0, first_row - 1));
        one = first_row == 1;
    }
    if (stack_rows > end_row) {
        missing.push_back(RangeText(end_row, stack_rows - 1));
        one = missing.size() == 1 && stack_rows - end_row == 1;
    }
    if (missing.empty()) return "";
    std::string rows = missing[0] + (missing.size() > 1 ? " and " + missing[1] : "");
    return std::string("warning: ") + (one ? "row " : "rows ") + rows + " of the stack " + (one ? "is" : "are") +
           " in no part; the volume holds " + (end_row - first_row == 1 ? "row " : "rows ") +
           RangeText(first_row, end_row - 1) + ".";
}

Status JoinParts(const std::vector<const char *> &parts, const char *name, VolumeKind kind,
                 const NamePattern &pattern, Record record, Volume *volume, int *slices, int *size,
                 std::string *warning) {
    // Every part is checked before anything is written.
    std::vector<VolumePart> opened(parts.size());
    std::vector<double> centers;
    long long sums[std::size(kCounts)] = {};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        Status status = OpenVolumePart(parts[i], &opened[i]);
        if (!status.ok()) return status;
        const VolumePart &first = opened[0], &part = opened[i];
        status = CheckRecordedPart(first, part, sums);
        if (!status.ok()) return status;
        if (i > 0 && (part.size != first.size || part.theta != first.theta || part.pixel != first.pixel ||
                      part.type != first.type ||
                      part.first_row != opened[i - 1].first_row + opened[i - 1].rows || centers.size() > 0x7fffffffu - part.rows))
            return Failure(About(parts[i], "parts do not fit together."));
        centers.insert(centers.end(), part.centers.begin(), part.centers.end());
    }
    const VolumePart &first = opened[0], &last = opened.back();
    *slices = static_cast<int>(centers.size());
    // Rows of the stack before the first part, or after the last where the
    // record tells the stack's rows: a part forgotten, or a job array whose
    // tasks fell short of the stack.
    long long stack_rows = first.recorded ? IntegerOf(first.record, "stack_rows", -1) : -1;
    *warning = MissingRowsWarning(first.first_row, last.first_row + static_cast<long long>(last.rows), stack_rows);
    *size = first.size;
    VolumeStorage storage;
    storage.type = first.type;
    storage.as_stored = true;
    SetTexts(&record, "parts", std::vector<std::string>(parts.begin(), parts.end()));
    if (first.recorded) {
        for (const char *copied : kCopied)
            if (const RecordValue *v = FindValue(first.record, copied)) {
                // The part's run in place of the join's own (one key once).
                RecordEntry *entry = nullptr;
                for (RecordEntry &e : record)
                    if (e.name == copied) entry = &e;
                if (entry == nullptr) {
                    record.push_back(RecordEntry{copied, *v});
                    entry = &record.back();
                }
                entry->value = *v;
                entry->value.late = false;
            }
        for (std::size_t k = 0; k < std::size(kCounts); ++k)
            if (FindValue(first.record, kCounts[k]) != nullptr) SetInteger(&record, kCounts[k], sums[k]);
    }
    SetReals(&record, "centers", centers);
    SetInteger(&record, "first_row", first.first_row);
    SetInteger(&record, "rows", *slices);
    VolumeFacts facts{*slices, first.size, first.first_row, first.pixel, centers.data(), first.theta.data(),
                      static_cast<int>(first.theta.size())};
    Status status = BeginVolume(name, kind, pattern, facts, storage, std::move(record), InputFiles(parts), volume);
    if (!status.ok()) return status;
    std::size_t bytes = static_cast<std::size_t>(first.size) * static_cast<std::size_t>(first.size) * sizeof(double);
    auto *image = static_cast<double *>(AllocateBlock(bytes));
    if (image == nullptr) return Failure("memory allocation error.");
    int index = 0;
    for (const VolumePart &part : opened)
        for (int k = 0; status.ok() && k < part.rows; ++k) {
            status = ReadVolumePartSlice(part, k, image);
            if (status.ok()) status = WriteSlice(volume, index++, image);
        }
    ReleaseBlock(image, bytes);
    if (status.ok()) status = FinishVolume(volume);
    if (!status.ok()) CloseVolume(volume);
    return status;
}
