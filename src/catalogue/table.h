#pragma once
// A table in memory and its three file forms for other tools:
// - CSV: a header line of the column names, then one line per row, LF line ends; text cells in
//   double quotes (a quote inside doubled), numbers bare, a missing value an empty field;
// - ECSV 1.0 (astropy's enhanced CSV): the same lines after a YAML header that gives every
//   column's type, unit and description and the table's metadata; missing values are masked;
// - FITS: an empty primary HDU and a binary table (CFITSIO, written in memory) with the units
//   in TUNITn, the descriptions as the TTYPEn comments and the metadata as header keywords;
//   missing values are NaN (real columns) or TNULLn (integer columns).
// Every number is stored as the value its CSV text reads as, so the three forms hold the same
// values.

#include <optional>
#include <string>
#include <vector>

#include "core/result.h"

namespace orv::catalogue {

enum class ColumnType { Integer, Real, Text };

struct TableColumn {
    std::string name;
    ColumnType type = ColumnType::Real;
    std::string unit;  // "" for none
    std::string description;
};

// One value of the table's metadata: a text or a number, under its ECSV name and its FITS
// keyword (at most 8 characters).
struct MetaValue {
    std::string key;
    std::string fitsKey;
    std::string text;
    std::optional<double> number;  // set: a number (text unused)
    std::string comment;
};

struct Table {
    std::vector<TableColumn> columns;
    // The cells' texts; "" is a missing value in an Integer or Real column.
    std::vector<std::vector<std::string>> rows;
    std::vector<MetaValue> meta;
};

std::string csvBytes(const Table& t);
std::string ecsvBytes(const Table& t);
// Fails with CFITSIO's reason (a cell that is no number in a numeric column included).
core::Result<std::string> fitsBytes(const Table& t);

// A text as a JSON string: in double quotes, with `"`, `\` and control characters escaped (also
// a YAML double-quoted scalar).
std::string jsonText(const std::string& text);

// A text cell as CSV writes it: in double quotes, a quote inside doubled, line breaks as
// blanks.
std::string csvText(const std::string& text);

}  // namespace orv::catalogue
