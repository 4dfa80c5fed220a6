#include "catalogue/table.h"

#include <fitsio.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string_view>
#include <utility>

#include "core/numeric.h"
#include "core/parallel.h"
#include "formats/cfitsio_library.h"

namespace orv::catalogue {

namespace {

std::string yamlValue(const MetaValue& m) {
    if (m.number) return core::generalForm(*m.number, 15);
    return jsonText(m.text);
}

const char* ecsvType(ColumnType t) {
    switch (t) {
        case ColumnType::Integer:
            return "int64";
        case ColumnType::Real:
            return "float64";
        case ColumnType::Text:
            break;
    }
    return "string";
}

// csvText(text) added to `out`.
void appendCsvText(std::string& out, std::string_view text) {
    out += '"';
    for (char ch : text) {
        if (ch == '"') out += '"';
        out += ch == '\r' || ch == '\n' ? ' ' : ch;
    }
    out += '"';
}

// The lines of rows begin..end-1.
std::string rowLines(const Table& t, int64_t begin, int64_t end) {
    std::string out;
    for (int64_t r = begin; r < end; ++r) {
        const auto& row = t.rows[static_cast<size_t>(r)];
        for (size_t c = 0; c < t.columns.size(); ++c) {
            if (c) out += ',';
            const std::string_view cell = c < row.size() ? std::string_view(row[c]) : "";
            if (t.columns[c].type == ColumnType::Text)
                appendCsvText(out, cell);
            else
                out += cell;
        }
        out += '\n';
    }
    return out;
}

// `out` followed by the header line and the rows' lines.
std::string bodyLines(const Table& t, std::string out = {}) {
    for (size_t c = 0; c < t.columns.size(); ++c) out += (c ? "," : "") + t.columns[c].name;
    out += '\n';
    // Runs of rows are written on every core and joined in order.
    const int64_t n = static_cast<int64_t>(t.rows.size());
    std::vector<std::string> parts(
        static_cast<size_t>(n < core::kManyLines ? 1 : core::pictureWorkers(0)));
    core::forEachPart(static_cast<int>(parts.size()), n, [&](int k, int64_t begin, int64_t end) {
        parts[static_cast<size_t>(k)] = rowLines(t, begin, end);
    });
    size_t bytes = out.size();
    for (const std::string& p : parts) bytes += p.size();
    out.reserve(bytes);
    for (const std::string& p : parts) out += p;
    return out;
}

// ------------------------------------------------------------------------------------------
// FITS

constexpr long long kIntegerNull = std::numeric_limits<long long>::min();

struct MemoryBuffer {
    void* data = nullptr;
    size_t size = 0;
    ~MemoryBuffer() { std::free(data); }
};

std::string fitsError(int status) {
    char text[FLEN_STATUS] = {};
    fits_get_errstatus(status, text);
    fits_clear_errmsg();
    return "FITS の表を作れません: " +
           (status == formats::kCfitsioMissing ? formats::cfitsioMissingMessage() : text);
}

// Whole or real numbers of a numeric column; false when a cell is no number.
bool numbers(const Table& t, size_t c, std::vector<double>& reals, std::vector<long long>& ints) {
    for (const auto& row : t.rows) {
        const std::string_view cell = c < row.size() ? std::string_view(row[c]) : "";
        if (cell.empty()) {
            reals.push_back(std::numeric_limits<double>::quiet_NaN());
            ints.push_back(kIntegerNull);
            continue;
        }
        const auto v = core::parseNumber(cell);
        if (!v) return false;
        reals.push_back(*v);
        ints.push_back(static_cast<long long>(std::llround(*v)));
    }
    return true;
}

void writeMeta(fitsfile* f, const MetaValue& m, int& status) {
    char* comment = const_cast<char*>(m.comment.c_str());
    if (m.number) {
        double v = *m.number;
        fits_write_key(f, TDOUBLE, m.fitsKey.c_str(), &v, comment, &status);
    } else if (m.text.size() <= 68) {
        fits_write_key(f, TSTRING, m.fitsKey.c_str(), const_cast<char*>(m.text.c_str()), comment,
                       &status);
    } else {
        fits_write_key_longstr(f, m.fitsKey.c_str(), m.text.c_str(), comment, &status);
    }
}

}  // namespace

std::string jsonText(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string csvText(const std::string& text) {
    std::string out;
    appendCsvText(out, text);
    return out;
}

std::string csvBytes(const Table& t) {
    return bodyLines(t);
}

std::string ecsvBytes(const Table& t) {
    std::string out = "# %ECSV 1.0\n# ---\n# delimiter: ','\n# datatype:\n";
    for (const TableColumn& c : t.columns) {
        out += "# - {name: " + jsonText(c.name);
        if (!c.unit.empty()) out += ", unit: " + jsonText(c.unit);
        out += std::string(", datatype: ") + ecsvType(c.type);
        if (!c.description.empty()) out += ", description: " + jsonText(c.description);
        out += "}\n";
    }
    if (!t.meta.empty()) {
        out += "# meta: !!omap\n";
        for (const MetaValue& m : t.meta) out += "# - {" + m.key + ": " + yamlValue(m) + "}\n";
    }
    out += "# schema: astropy-2.0\n";
    return bodyLines(t, std::move(out));
}

core::Result<std::string> fitsBytes(const Table& t) {
    MemoryBuffer buffer;
    fitsfile* f = nullptr;
    int status = 0;
    if (fits_create_memfile(&f, &buffer.data, &buffer.size, 2880 * 16, std::realloc, &status) != 0)
        return core::Error{fitsError(status)};
    std::unique_ptr<fitsfile, void (*)(fitsfile*)> file(f, [](fitsfile* p) {
        int s = 0;
        fits_close_file(p, &s);
    });
    fits_create_img(f, BYTE_IMG, 0, nullptr, &status);

    const size_t n = t.columns.size();
    std::vector<std::string> names, forms, units;
    for (size_t c = 0; c < n; ++c) {
        const TableColumn& col = t.columns[c];
        names.push_back(col.name);
        units.push_back(col.unit);
        if (col.type == ColumnType::Integer) {
            forms.push_back("K");
        } else if (col.type == ColumnType::Real) {
            forms.push_back("D");
        } else {
            size_t width = 1;
            for (const auto& row : t.rows)
                if (c < row.size()) width = std::max(width, row[c].size());
            forms.push_back(std::to_string(width) + "A");
        }
    }
    std::vector<char*> ttype, tform, tunit;
    for (size_t c = 0; c < n; ++c) {
        ttype.push_back(names[c].data());
        tform.push_back(forms[c].data());
        tunit.push_back(units[c].data());
    }
    const long long rows = static_cast<long long>(t.rows.size());
    fits_create_tbl(f, BINARY_TBL, rows, static_cast<int>(n), ttype.data(), tform.data(),
                    tunit.data(), "CATALOGUE", &status);
    for (size_t c = 0; c < n && status == 0; ++c) {
        const std::string k = std::to_string(c + 1);
        if (!t.columns[c].description.empty())
            fits_modify_comment(f, ("TTYPE" + k).c_str(),
                                t.columns[c].description.substr(0, 47).c_str(), &status);
        if (t.columns[c].type == ColumnType::Integer) {
            long long null = kIntegerNull;
            fits_write_key(f, TLONGLONG, ("TNULL" + k).c_str(), &null, "no value", &status);
        }
    }
    if (status == 0) fits_set_hdustruc(f, &status);
    for (const MetaValue& m : t.meta)
        if (status == 0) writeMeta(f, m, status);

    for (size_t c = 0; c < n && status == 0 && rows > 0; ++c) {
        const int col = static_cast<int>(c + 1);
        if (t.columns[c].type == ColumnType::Text) {
            std::vector<std::string> cells;
            for (const auto& row : t.rows) cells.push_back(c < row.size() ? row[c] : "");
            std::vector<char*> texts;
            for (auto& s : cells) texts.push_back(s.data());
            fits_write_col(f, TSTRING, col, 1, 1, rows, texts.data(), &status);
            continue;
        }
        std::vector<double> reals;
        std::vector<long long> ints;
        if (!numbers(t, c, reals, ints))
            return core::Error{"FITS の表を作れません: 列 " + t.columns[c].name +
                               " に数値でない値があります"};
        if (t.columns[c].type == ColumnType::Real) {
            fits_write_col(f, TDOUBLE, col, 1, 1, rows, reals.data(), &status);
        } else {
            long long null = kIntegerNull;
            fits_write_colnull(f, TLONGLONG, col, 1, 1, rows, ints.data(), &null, &status);
        }
    }
    long long headStart = 0, dataStart = 0, dataEnd = 0;
    if (status == 0) fits_flush_file(f, &status);
    if (status == 0) fits_get_hduaddrll(f, &headStart, &dataStart, &dataEnd, &status);
    if (status != 0) return core::Error{fitsError(status)};
    file.reset();  // closes the file; the buffer holds it
    const size_t bytes = static_cast<size_t>((dataEnd + 2879) / 2880 * 2880);
    if (bytes > buffer.size) return core::Error{"FITS の表を作れません: 大きさが合いません"};
    return std::string(static_cast<const char*>(buffer.data), bytes);
}

}  // namespace orv::catalogue
