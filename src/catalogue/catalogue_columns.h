#pragma once
// A catalogue as a table of columns, for callers that hand it on as data rather than as text
// (the Python module): the columns csvLines writes, in its order, each with its unit, a short
// description and one value per record. Such callers take the column set and the units from
// here and nowhere else.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "catalogue/catalogue.h"

namespace orv::catalogue {

struct CatalogueColumn {
    std::string name;         // as the CSV's header names it
    std::string unit;         // "pix", "pix2", "deg", or "" (a number, a code, a level, a text)
    std::string description;  // what it holds, one line
    // Numbers as the CSV writes them: each value is the double its CSV text reads back as
    // (NaN where the CSV leaves the cell empty). Texts as they are, unquoted.
    std::variant<std::vector<int64_t>, std::vector<double>, std::vector<std::string>> values;
};

// The columns of the catalogue.
std::vector<CatalogueColumn> catalogueColumns(const Catalogue& c);

}  // namespace orv::catalogue
