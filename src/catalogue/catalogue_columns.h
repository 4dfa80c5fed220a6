#pragma once
// A catalogue as a table of columns, for callers that hand it on as data rather than as text
// (the Python module): the columns of catalogueTable, in its order, with their types, units
// and descriptions, each with one value per record and the records whose cell is empty.
// Such callers take the column set and the units from here and nowhere else.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "catalogue/catalogue.h"

namespace orv::catalogue {

struct CatalogueColumn {
    std::string name;  // as the CSV's header names it
    ColumnType type = ColumnType::Real;
    std::string unit;         // "" for none
    std::string description;  // what it holds, one line
    // Numbers as the table writes them: each value is the double its text reads back as.
    // Texts as they are, unquoted.
    std::variant<std::vector<int64_t>, std::vector<double>, std::vector<std::string>> values;
    // 1 where the table leaves the cell empty (the value is then 0, or NaN for a real
    // column); empty when no cell is.
    std::vector<uint8_t> missing;
};

// The columns of the catalogue.
std::vector<CatalogueColumn> catalogueColumns(const Catalogue& c);

}  // namespace orv::catalogue
