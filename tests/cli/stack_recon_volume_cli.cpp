// stack_recon's volumes as files: integer samples (-T, -V, or the
// percentiles of the whole volume) equal to the float volume scaled and
// rounded; the record of the run as one JSON object in a TIFF's
// description and as attributes of an HDF5 volume, read back by Python's
// own JSON parser; and -j refusing parts that are not one run's.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <hdf5.h>
#include <tiffio.h>
#include <unistd.h>

#include "cli/ellipse_scan.h"
#include "cli/run.h"
#include "volume_record.h"
#include "volume_tiff.h"

namespace {

RunResult StackRecon(const Scratch &scratch, const std::string &args) {
    return scratch.Run("\"$BIN/stack_recon\" " + args);
}

// 64 detectors, 4 rows, 90 views: a second's work for every run here.
void WriteSmallScan(const Scratch &scratch) {
    ScanShape shape;
    shape.columns = 64;
    shape.rows = 4;
    shape.views = 90;
    shape.axis_offset = 1.3;
    Scan scan = MakeScan(shape);
    ASSERT_TRUE(WriteScanTiff(scan, scratch.dir));
}

// Every page of a TIFF as values (8 or 16-bit unsigned, or 32-bit float
// samples), and the first page's description.
std::vector<double> TiffValues(const std::string &path, std::string *description = nullptr) {
    std::vector<double> values;
    TIFF *tif = TIFFOpen(path.c_str(), "r");
    if (tif == nullptr) return values;
    char *text = nullptr;
    if (description != nullptr)
        *description = TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &text) && text != nullptr ? text : "";
    do {
        std::uint32_t width = 0, length = 0;
        std::uint16_t bits = 0;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &length);
        TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
        std::vector<unsigned char> line(static_cast<std::size_t>(TIFFScanlineSize(tif)));
        for (std::uint32_t r = 0; r < length; ++r) {
            TIFFReadScanline(tif, line.data(), r);
            for (std::uint32_t j = 0; j < width; ++j) {
                if (bits == 8) values.push_back(line[j]);
                if (bits == 16) values.push_back(line[2 * j] | line[2 * j + 1] << 8);
                if (bits == 32) values.push_back(reinterpret_cast<const float *>(line.data())[j]);
            }
        }
    } while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    return values;
}

// /exchange/data of an HDF5 volume as values.
std::vector<double> H5Data(const std::string &path) { return H5Values(path, "/exchange/data"); }

// A text attribute of /exchange/data ("" when there is none).
std::string H5Text(const std::string &path, const char *name) {
    std::string text;
    hid_t file = H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
    hid_t set = H5Dopen2(file, "/exchange/data", H5P_DEFAULT);
    if (H5Aexists(set, name) > 0) {
        hid_t attribute = H5Aopen(set, name, H5P_DEFAULT);
        hid_t type = H5Tcopy(H5T_C_S1);
        H5Tset_size(type, H5T_VARIABLE);
        H5Tset_cset(type, H5T_CSET_UTF8);
        char *value = nullptr;
        if (H5Aread(attribute, type, &value) >= 0 && value != nullptr) text = value;
        H5free_memory(value);
        H5Tclose(type);
        H5Aclose(attribute);
    }
    H5Dclose(set);
    H5Fclose(file);
    return text;
}

// Changes an attribute of /exchange/data of a part: a whole number, a
// text, or none (deleted).
enum class Change { kInteger, kText, kDelete };
void ChangeAttribute(const std::string &path, const char *name, Change change, long long number = 0,
                     const char *text = "") {
    hid_t file = H5Fopen(path.c_str(), H5F_ACC_RDWR, H5P_DEFAULT);
    hid_t set = H5Dopen2(file, "/exchange/data", H5P_DEFAULT);
    if (H5Aexists(set, name) > 0) H5Adelete(set, name);
    if (change != Change::kDelete) {
        hid_t space = H5Screate(H5S_SCALAR);
        hid_t type = H5Tcopy(change == Change::kInteger ? H5T_STD_I64LE : H5T_C_S1);
        if (change == Change::kText) H5Tset_size(type, H5T_VARIABLE);
        hid_t attribute = H5Acreate2(set, name, type, space, H5P_DEFAULT, H5P_DEFAULT);
        if (change == Change::kInteger)
            H5Awrite(attribute, H5T_NATIVE_LLONG, &number);
        else
            H5Awrite(attribute, type, &text);
        H5Aclose(attribute);
        H5Tclose(type);
        H5Sclose(space);
    }
    H5Dclose(set);
    H5Fclose(file);
}

// The two numbers after "value_range":[ in a record.
std::vector<double> RecordedRange(const std::string &record) {
    std::size_t at = record.find("\"value_range\":[");
    if (at == std::string::npos) return {};
    char *end = nullptr;
    double lo = std::strtod(record.c_str() + at + 15, &end);
    double hi = std::strtod(end + 1, nullptr);
    return {lo, hi};
}

// The map of a float onto the integers, as the manual states it.
double Scaled(double v, double lo, double hi, double max) {
    double q = (v - lo) / (hi - lo) * max;
    return q < 0 ? 0 : q > max ? max : std::floor(q + 0.5);
}

// Runs Python's JSON parser on a record written to a file; returns what
// the script prints, or "no python" when there is no Python.
std::string PythonOnRecord(const Scratch &scratch, const std::string &record, const std::string &script) {
    if (access("/usr/bin/python3", X_OK) != 0) return "no python";
    scratch.Write("record.json", record);
    scratch.Write("check.py", "import json, shlex, sys\nr = json.load(open('record.json', encoding='utf-8'))\n" + script);
    return scratch.Run("/usr/bin/python3 check.py").out;
}

std::string Listing(const Scratch &scratch) { return scratch.Run("ls -A | grep -v '^\\.std'").out; }

// Each integer volume equals the float volume's samples mapped by its
// range: -V's, or the 0.1 and 99.9 percentiles (nearest rank) of the
// whole float volume, computed here by sorting. The percentiles are
// printed and recorded, and neither bands nor threads change them.
TEST(StackReconVolumeCli, IntegerVolumesAreTheFloatVolumeScaledAndRounded) {
    struct Case {
        const char *options, *volume;
        double max;
        double lo, hi;  // -V's; lo == hi: the percentiles
    };
    const Case cases[] = {
        {"-T uint16", "p16.tif", 65535, 0, 0},
        {"-T uint8", "p8.h5", 255, 0, 0},
        {"-T uint8", "p8_%d.tif", 255, 0, 0},
        {"-T uint8 -V -0.001,0.02", "g8.tif", 255, -0.001, 0.02},
        {"-T uint8 -V -0.001,0.02", "g8_%d.tif", 255, -0.001, 0.02},
        {"-T uint16 -V 0,0.01", "g16.h5", 65535, 0, 0.01},
    };
    Scratch scratch;
    WriteSmallScan(scratch);
    const std::string base = "-c 32.75 -f flat.tif -d dark.tif ";
    RunResult r = StackRecon(scratch, base + "scan.tif f.tif");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<double> floats = TiffValues(scratch.Path("f.tif"));
    ASSERT_EQ(floats.size(), 4u * 64 * 64);
    std::vector<double> sorted = floats;
    std::sort(sorted.begin(), sorted.end());
    std::size_t n = sorted.size();
    double low = sorted[(n + 999) / 1000 - 1], high = sorted[n - n / 1000 - 1];
    ASSERT_LT(low, high);
    std::string before = Listing(scratch);
    for (const Case &c : cases) {
        std::string volume = c.volume;
        r = StackRecon(scratch, base + c.options + " scan.tif " + volume);
        ASSERT_EQ(r.status, 0) << c.options << ": " << r.err;
        bool percentiles = c.lo == c.hi;
        double lo = percentiles ? low : c.lo, hi = percentiles ? high : c.hi;
        char line[160] = "";
        if (percentiles)
            std::snprintf(line, sizeof line, "values %.9g to %.9g (0.1 and 99.9 percentiles) written as 0 to %.0f.\n",
                          low, high, c.max);
        EXPECT_EQ(r.err, "4 flats, 2 darks.\n" + std::string(line) + volume + ": 4 slices of 64 x 64.\n") << volume;
        std::vector<double> values;
        std::string record;
        if (volume.find(".h5") != std::string::npos) {
            values = H5Data(scratch.Path(volume));
            record = H5Text(scratch.Path(volume), "record");
        } else if (volume.find('%') != std::string::npos) {
            for (int row = 0; row < 4; ++row) {
                char name[32];
                std::snprintf(name, sizeof name, c.volume, row);
                std::vector<double> page = TiffValues(scratch.Path(name), &record);
                values.insert(values.end(), page.begin(), page.end());
            }
        } else {
            values = TiffValues(scratch.Path(volume), &record);
        }
        EXPECT_EQ(RecordedRange(record), (std::vector<double>{lo, hi})) << volume;
        ASSERT_EQ(values.size(), floats.size()) << volume;
        int wrong = 0;
        for (std::size_t i = 0; i < values.size(); ++i) wrong += values[i] != Scaled(floats[i], lo, hi, c.max);
        EXPECT_EQ(wrong, 0) << volume;
        // The percentiles use the whole range, clamping a thousandth at each end.
        if (percentiles) {
            EXPECT_EQ(*std::min_element(values.begin(), values.end()), 0) << volume;
            EXPECT_EQ(*std::max_element(values.begin(), values.end()), c.max) << volume;
        }
    }
    // One thread, bands of two rows (the percentiles' counts take 1.5 MiB):
    // the same percentiles.
    r = scratch.Run("OMP_NUM_THREADS=1 \"$BIN/stack_recon\" -m 1.7 " + base + "-T uint16 scan.tif banded.tif");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(TiffValues(scratch.Path("banded.tif")), TiffValues(scratch.Path("p16.tif")));
    // The held slices left nothing behind.
    EXPECT_EQ(Listing(scratch).find(".stack_recon_slices"), std::string::npos);
    // The toolkit's readers take integer volumes' slices.
    for (const char *slice : {"p16.tif:3", "p8.h5:3", "p8_3.tif"}) {
        r = scratch.Run(std::string("\"$BIN/sino_stat\" ") + slice);
        EXPECT_EQ(r.status, 0) << slice << ": " << r.err;
        EXPECT_EQ(r.out.rfind("size 64x64 count 4096 min 0 max ", 0), 0u) << slice << ": " << r.out;
    }
}

// A float TIFF of pages as volumes were written before they recorded their
// runs: the ImageJ description in a classic TIFF, none in a BigTIFF.
void WriteOldTiff(const std::string &path, bool big) {
    TIFF *tif = TIFFOpen(path.c_str(), big ? "w8" : "w");
    ASSERT_NE(tif, nullptr);
    std::vector<float> page(16 * 16, 1.5f);
    for (int k = 0; k < 2; ++k) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 16);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 16);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 32);
        TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
        if (k == 0 && !big) TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, "ImageJ=1.11a\nimages=2\nslices=2\nloop=false\n");
        for (int r = 0; r < 16; ++r) TIFFWriteScanline(tif, page.data() + 16 * r, r, 0);
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
}

// Volumes of every form stay the toolkit's: those written before volumes
// recorded their runs and integer ones are replaced by a new run, and
// parts without a record join as they did.
TEST(StackReconVolumeCli, OlderAndIntegerVolumesStayRecognised) {
    Scratch scratch;
    WriteSmallScan(scratch);
    WriteOldTiff(scratch.Path("old.tif"), false);
    WriteOldTiff(scratch.Path("old_big.tif"), true);
    const std::string base = "-c 32.75 -f flat.tif -d dark.tif ";
    for (const char *part : {"-r 0,2 scan.tif old_0.h5", "-r 2,2 scan.tif old_1.h5", "-T uint8 scan.tif int.tif",
                             "-T uint16 scan.tif int.h5", "-T uint8 -V 0,1 scan.tif int_%d.tif"})
        ASSERT_EQ(StackRecon(scratch, base + part).status, 0) << part;
    ChangeAttribute(scratch.Path("old_0.h5"), "record", Change::kDelete);
    ChangeAttribute(scratch.Path("old_1.h5"), "record", Change::kDelete);
    RunResult r = StackRecon(scratch, "-j old_0.h5 old_1.h5 old_joined.h5");
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char *volume : {"old.tif", "old_big.tif", "old_0.h5", "int.tif", "int.h5", "int_%d.tif"}) {
        r = StackRecon(scratch, base + "scan.tif " + volume);
        EXPECT_EQ(r.status, 0) << volume << ": " << r.err;
    }
}

// The record of a TIFF volume with a name of quotes, a backslash and a
// blank, and of an HDF5 volume with zingers counted: Python's JSON parser
// reads them, the command quoted for a shell gives the arguments back,
// and the centers, kernel, counts and type are there.
TEST(StackReconVolumeCli, TheRecordIsOneJsonObjectThatHoldsTheRun) {
    Scratch scratch;
    WriteSmallScan(scratch);
    const std::string odd = "we\"ird\\ 'x.tif";
    RunResult r = StackRecon(scratch, "-c 32.75 -k shepp -f flat.tif -d dark.tif scan.tif 'we\"ird\\ '\\''x.tif'");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string record;
    TiffValues(scratch.Path(odd), &record);
    ASSERT_EQ(record.compare(0, 24, "{\"program\":\"stack_recon\""), 0) << record;
    const std::string script =
        "print(shlex.split(r['command']) == r['arguments'], r['arguments'][-1], r['centers'], r['kernel'],\n"
        "      r['method'], r['type'], r['flats'], r['darks'], r['options'], r['stack'], r.get('zingers'),\n"
        "      r['clamped'], r['version'] != '')\n";
    std::string out = PythonOnRecord(scratch, record, script);
    if (out == "no python") GTEST_SKIP() << "no /usr/bin/python3";
    EXPECT_EQ(out,
              "True " + odd +
                  " [32.75, 32.75, 32.75, 32.75] shepp fbp float32 4 2 ['-f flat.tif', '-d dark.tif', '-c 32.75', "
                  "'-k shepp'] ['scan.tif'] None 0 True\n");
    // Names in UTF-8 stay as they are; a byte of another encoding (Latin-1
    // 0xe9) is written as the character of its value.
    r = StackRecon(scratch, "-r 0,1 -c 32.75 scan.tif \"$(printf 'na\\303\\257ve_caf\\351.tif')\"");
    ASSERT_EQ(r.status, 0) << r.err;
    TiffValues(scratch.Path("na\xc3\xafve_caf\xe9.tif"), &record);
    EXPECT_NE(record.find("na\xc3\xafve_caf\\u00e9.tif"), std::string::npos) << record;
    out = PythonOnRecord(scratch, record, "print(r['arguments'][-1] == 'na\\u00efve_caf\\u00e9.tif')\n");
    EXPECT_EQ(out, "True\n");
    // HDF5: every value an attribute of /exchange/data, the whole record one more.
    r = StackRecon(scratch, "-c 32.75 -z 3 -T uint8 -V 0,0.02 -f flat.tif -d dark.tif scan.tif z.h5");
    ASSERT_EQ(r.status, 0) << r.err;
    record = H5Text(scratch.Path("z.h5"), "record");
    out = PythonOnRecord(scratch, record,
                         "print(r['type'], r['value_range'], r['value_range_from'], r['centers'][0], r['stack_rows'],\n"
                         "      r['first_row'], r['rows'])\n"
                         "print(r['zingers'], 'zingers replaced.')\n"
                         "print(r['flat_zingers'], 'zingers removed from the flats.')\n"
                         "print(r['dark_zingers'], 'zingers removed from the darks.')\n");
    // The counts recorded are those printed at the end.
    EXPECT_EQ(out, "uint8 [0, 0.02] -V 32.75 4 0 4\n" + r.err.substr(0, r.err.find("4 flats")));
    EXPECT_EQ(H5Text(scratch.Path("z.h5"), "kernel"), "chesler");
    EXPECT_NE(H5Text(scratch.Path("z.h5"), "command").find("-z 3 -T uint8 -V 0,0.02"), std::string::npos);
    EXPECT_NE(H5Text(scratch.Path("z.h5"), "version"), "");
    // The steps' settings as used, defaults included: sirt's 100 iterations
    // over one subset, the rings' window.
    r = StackRecon(scratch, "-r 0,1 -c 32.75 -R sort -M sirt -i 2 -o 1,-2 scan.tif it.tif");
    ASSERT_EQ(r.status, 0) << r.err;
    TiffValues(scratch.Path("it.tif"), &record);
    out = PythonOnRecord(scratch, record,
                         "print(r['method'], r['iterations'], r['subsets'], r['nonnegative'], r['rings'],\n"
                         "      r['rings_size'], r['offset'], r['size'], r.get('lambda'))\n");
    EXPECT_EQ(out, "sirt 2 1 no sort 5 [1, -2] 64 None\n");
    r = StackRecon(scratch, "-r 0,1 -c 32.75 -M tv -i 2 -n scan.tif tv.tif");
    ASSERT_EQ(r.status, 0) << r.err;
    TiffValues(scratch.Path("tv.tif"), &record);
    out = PythonOnRecord(scratch, record,
                         "print(r['iterations'], r['nonnegative'], r['lambda'], r['tolerance'], r.get('rings'))\n");
    EXPECT_EQ(out, "2 yes 0.3 0.0003 None\n");
    // A long command line (4200 words: more texts than an HDF5 object
    // header holds) is recorded whole.
    std::string many;
    for (int i = 0; i < 2100; ++i) many += "-f flat.tif ";
    r = StackRecon(scratch, "-r 0,1 -c 32.75 " + many + "scan.tif many.h5");
    ASSERT_EQ(r.status, 0) << r.err.substr(0, 200);
    out = PythonOnRecord(scratch, H5Text(scratch.Path("many.h5"), "record"),
                         "print(len(r['arguments']), r['flats'], shlex.split(r['command']) == r['arguments'])\n");
    EXPECT_EQ(out, "4207 8400 True\n");
    // h5py, where it is installed, reads the attributes as Python values.
    if (scratch.Run("/usr/bin/python3 -c 'import h5py'").status == 0) {
        scratch.Write("attrs.py",
                      "import h5py\n"
                      "a = h5py.File('z.h5', 'r')['/exchange/data'].attrs\n"
                      "print(a['type'], list(a['centers']), int(a['zingers']) >= 0, a['kernel'], list(a['value_range']),\n"
                      "      a['command'].split()[-1], list(a['options'])[:2])\n");
        out = scratch.Run("/usr/bin/python3 attrs.py").out;
        EXPECT_EQ(out, "uint8 [32.75, 32.75, 32.75, 32.75] True chesler [0.0, 0.02] z.h5 ['-f flat.tif', '-d dark.tif']\n");
    }
}

// Refusals, each with its one line, exit status 1 and nothing left: bad
// -T and -V values, integers in the sinogram layout, and parts that are
// not one run's.
TEST(StackReconVolumeCli, EveryRefusalHasItsLine) {
    struct Failure {
        const char *args, *message;
    };
    const Failure cases[] = {
        {"-T int8 scan.tif v.tif", "bad sample type: int8."},
        {"-T uint8 -V 1 scan.tif v.tif", "bad value range: 1."},
        {"-T uint8 -V 2,1 scan.tif v.tif", "bad value range: 2,1."},
        {"-T uint8 -V 1,1 scan.tif v.tif", "bad value range: 1,1."},
        {"-T uint8 -V 0,nan scan.tif v.tif", "bad value range: 0,nan."},
        {"-T uint16 -V 0,1x scan.tif v.tif", "bad value range: 0,1x."},
        {"-V 0,1 scan.tif v.tif", "-V needs -T uint8 or uint16."},
        {"-T float32 -V 0,1 scan.tif v.tif", "-V needs -T uint8 or uint16."},
        {"-T uint8 scan.tif s_%d.img",
         "integer samples need a .tif, .tiff or .h5 volume (a pattern's images in the sinogram layout hold doubles)."},
        {"-j -T uint8 part_0.h5 v.tif", "-j takes no other option."},
        {"-j -V 0,1 part_0.h5 v.tif", "-j takes no other option."},
        {"-j part_0.h5 k.h5 v.tif", "k.h5: written with other options than part_0.h5 (-k)."},
        {"-j part_0.h5 m.h5 v.tif", "m.h5: written with other options than part_0.h5 (-M)."},
        {"-j part_0.h5 c.h5 v.tif", "c.h5: written with other options than part_0.h5 (-c)."},
        {"-j part_0.h5 t.h5 v.tif", "t.h5: written with other options than part_0.h5 (-T)."},
        {"-j part_0.h5 z.h5 v.tif", "z.h5: written with other options than part_0.h5 (-z)."},
        {"-j part_0.h5 other.h5 v.tif", "other.h5: written with other options than part_0.h5 (the stack)."},
        {"-j part_0.h5 version.h5 v.tif", "version.h5: written with other options than part_0.h5 (the version)."},
        {"-j part_0.h5 old.h5 v.tif", "old.h5: written with other options than part_0.h5 (the record)."},
        {"-j pv_0.h5 pv_1.h5 v.tif", "pv_1.h5: written with other options than pv_0.h5 (the value range)."},
        {"-j beyond_0.h5 beyond_1.h5 v.tif", "beyond_1.h5: rows beyond the stack's 3."},
        {"-j rows.h5 part_1.h5 v.tif", "rows.h5: not a volume."},
        {"-j huge_0.h5 huge_1.h5 v.tif", "huge_1.h5: counts do not fit."},
        {"-j part_0.h5 negative.h5 v.tif", "negative.h5: counts do not fit."},
    };
    Scratch scratch;
    WriteSmallScan(scratch);
    const std::string base = "-f flat.tif -d dark.tif scan.tif ";
    struct Part {
        const char *options, *name;
    };
    const Part parts[] = {
        {"-c 32.75 -r 0,2", "part_0.h5"},  {"-c 32.75 -r 2,2", "part_1.h5"},
        {"-c 32.75 -k shepp -r 2,2", "k.h5"}, {"-c 32.75 -M fourier -r 2,2", "m.h5"},
        {"-c 33 -r 2,2", "c.h5"},          {"-c 32.75 -T uint8 -V 0,0.02 -r 2,2", "t.h5"},
        {"-c 32.75 -z 3 -r 2,2", "z.h5"},  {"-c 32.75 -T uint8 -r 0,2", "pv_0.h5"},
        {"-c 32.75 -T uint8 -r 2,2", "pv_1.h5"}, {"-c 32.75 -z 3 -r 0,2", "huge_0.h5"},
        {"-c 32.75 -z 3 -r 2,2", "huge_1.h5"},
    };
    for (const Part &p : parts) {
        RunResult r = StackRecon(scratch, std::string(p.options) + " " + base + p.name);
        ASSERT_EQ(r.status, 0) << p.name << ": " << r.err;
    }
    ASSERT_EQ(scratch.Run("cp scan.tif other.tif").status, 0);
    ASSERT_EQ(StackRecon(scratch, "-c 32.75 -r 2,2 -f flat.tif -d dark.tif other.tif other.h5").status, 0);
    // Parts changed after the run: another version, no record (a part
    // written before volumes recorded their runs), a stack of 3 rows, a
    // stack of no rows, counts that overflow together or are negative.
    for (const char *copy : {"version", "old", "beyond_1", "negative"})
        ASSERT_EQ(scratch.Run(std::string("cp part_1.h5 ") + copy + ".h5").status, 0);
    ASSERT_EQ(scratch.Run("cp part_0.h5 beyond_0.h5 && cp part_0.h5 rows.h5").status, 0);
    ChangeAttribute(scratch.Path("version.h5"), "version", Change::kText, 0, "0.0.1");
    ChangeAttribute(scratch.Path("old.h5"), "record", Change::kDelete);
    ChangeAttribute(scratch.Path("beyond_0.h5"), "stack_rows", Change::kInteger, 3);
    ChangeAttribute(scratch.Path("beyond_1.h5"), "stack_rows", Change::kInteger, 3);
    ChangeAttribute(scratch.Path("rows.h5"), "stack_rows", Change::kInteger, 0);
    ChangeAttribute(scratch.Path("negative.h5"), "clamped", Change::kInteger, -1);
    ChangeAttribute(scratch.Path("huge_0.h5"), "zingers", Change::kInteger, LLONG_MAX / 2 + 1);
    ChangeAttribute(scratch.Path("huge_1.h5"), "zingers", Change::kInteger, LLONG_MAX / 2 + 1);
    // The parts of one run join, and the volume names them.
    RunResult r = StackRecon(scratch, "-j part_0.h5 part_1.h5 joined.tif");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string record;
    TiffValues(scratch.Path("joined.tif"), &record);
    EXPECT_NE(record.find("\"parts\":[\"part_0.h5\",\"part_1.h5\"]"), std::string::npos) << record;
    // Each key once: the first part's options and stack stand in for the join's.
    for (const char *key : {"\"options\":", "\"stack\":", "\"centers\":", "\"rows\":"})
        EXPECT_EQ(record.find(key), record.rfind(key)) << key << " " << record;
    std::string before = Listing(scratch);
    for (const Failure &c : cases) {
        r = StackRecon(scratch, c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_EQ(r.err, std::string(c.message) + "\n") << c.args;
        EXPECT_EQ(Listing(scratch), before) << c.args;
    }
}

// The TIFF writer's texts: the record on page 0, written last into the
// room kept for it, and a page's own text on later pages, short ones in
// the directory entry itself. libtiff reads every one back.
// Parts that leave rows of the stack out at its ends join (-r over only
// some rows may be meant), with a warning that names the rows: those
// after the last part are known from the record of the stack's rows, so
// a part without a record names only those before the first.
TEST(StackReconVolumeCli, AJoinThatLeavesRowsOutNamesThem) {
    Scratch scratch;
    WriteSmallScan(scratch);
    for (const char *part : {"-r 0,1 p0.h5", "-r 1,2 p1.h5", "-r 3,1 p3.h5"}) {
        std::string range(part, 6);
        ASSERT_EQ(StackRecon(scratch, range + " -c 32.75 -f flat.tif -d dark.tif scan.tif " + (part + 7)).status, 0)
            << part;
    }
    ASSERT_EQ(scratch.Run("cp p1.h5 old_1.h5").status, 0);
    ChangeAttribute(scratch.Path("old_1.h5"), "record", Change::kDelete);
    const struct {
        const char *args, *err;
    } cases[] = {
        {"-j p0.h5 p1.h5 p3.h5 v.tif", "v.tif: 4 slices of 64 x 64.\n"},
        {"-j p0.h5 p1.h5 v.tif",
         "warning: row 3 of the stack is in no part; the volume holds rows 0 to 2.\nv.tif: 3 slices of 64 x 64.\n"},
        {"-j p1.h5 p3.h5 v.h5",
         "warning: row 0 of the stack is in no part; the volume holds rows 1 to 3.\nv.h5: 3 slices of 64 x 64.\n"},
        {"-j p1.h5 v.tif",
         "warning: rows 0 and 3 of the stack are in no part; the volume holds rows 1 to 2.\nv.tif: 2 slices of 64 x "
         "64.\n"},
        {"-j old_1.h5 v.tif",
         "warning: row 0 of the stack is in no part; the volume holds rows 1 to 2.\nv.tif: 2 slices of 64 x 64.\n"},
    };
    for (const auto &c : cases) {
        RunResult r = StackRecon(scratch, c.args);
        EXPECT_EQ(r.status, 0) << c.args;
        EXPECT_EQ(r.err, c.err) << c.args;
    }
}

TEST(StackReconVolumeCli, PagesCarryTheRecordAndTheirOwnTexts) {
    Scratch scratch;
    Record record;
    SetText(&record, "program", "stack_recon");
    SetInteger(&record, "zingers", 0, true);
    VolumeTiffLayout layout;
    layout.pages = 4;
    layout.size = 3;
    layout.type = SampleType::kUint8;
    layout.record_room = RecordJsonRoom(record);
    layout.page_texts = {"", "c=1", "", "center 30.25, the fourth page"};
    std::string path = scratch.Path("texts.tif");
    VolumeTiff tiff;
    ASSERT_TRUE(BeginVolumeTiffLayout(path.c_str(), layout, &tiff).ok());
    for (int k = 0; k < 4; ++k) {
        std::vector<unsigned char> samples(9, static_cast<unsigned char>(10 * k));
        ASSERT_TRUE(WriteVolumeTiffSamples(&tiff, samples.data()).ok());
    }
    SetInteger(&record, "zingers", 1234567, true);
    ASSERT_TRUE(WriteVolumeTiffTail(&tiff, RecordJson(record)).ok());
    ASSERT_TRUE(FinishVolumeTiff(&tiff).ok());
    TIFF *tif = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(tif, nullptr);
    std::vector<std::string> texts;
    std::vector<int> firsts;
    do {
        char *text = nullptr;
        texts.push_back(TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &text) && text != nullptr ? text : "(none)");
        std::vector<unsigned char> line(3);
        TIFFReadScanline(tif, line.data(), 0);
        firsts.push_back(line[0]);
    } while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    std::string widest(layout.record_room - RecordJson(record).size(), ' ');
    EXPECT_EQ(texts, (std::vector<std::string>{"{\"program\":\"stack_recon\",\"zingers\":1234567}" + widest, "c=1",
                                               "(none)", "center 30.25, the fourth page"}));
    EXPECT_EQ(firsts, (std::vector<int>{0, 10, 20, 30}));
    EXPECT_TRUE(IsVolumeTiff(path.c_str()));
    // Without a record (the Python module's volumes), page 0's text
    // follows the ImageJ description.
    std::string plain = scratch.Path("plain.tif");
    VolumeTiff old;
    old.page_texts = {"center=1\n", "center=2\n"};
    ASSERT_TRUE(BeginVolumeTiff(plain.c_str(), 2, 3, 0, &old).ok());
    std::vector<double> image(9, 0.5);
    ASSERT_TRUE(WriteVolumeTiffSlice(&old, image.data()).ok());
    ASSERT_TRUE(WriteVolumeTiffSlice(&old, image.data()).ok());
    ASSERT_TRUE(FinishVolumeTiff(&old).ok());
    tif = TIFFOpen(plain.c_str(), "r");
    ASSERT_NE(tif, nullptr);
    texts.clear();
    do {
        char *text = nullptr;
        texts.push_back(TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &text) && text != nullptr ? text : "(none)");
    } while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    EXPECT_EQ(texts, (std::vector<std::string>{"ImageJ=1.11a\nimages=2\nslices=2\nloop=false\ncenter=1\n", "center=2\n"}));
    EXPECT_TRUE(IsVolumeTiff(plain.c_str()));
}

}  // namespace
