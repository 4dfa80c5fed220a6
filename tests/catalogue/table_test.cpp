// The three table forms: what is written is what is read back.

#include "catalogue/table.h"

#include <fitsio.h>
#include <gtest/gtest.h>

#include <cmath>

#include "support/test_app.h"

namespace orv::catalogue {
namespace {

Table sampleTable() {
    Table t;
    t.columns = {{"id", ColumnType::Integer, "", "row"},
                 {"flux", ColumnType::Real, "adu", "flux, sky subtracted"},
                 {"ra", ColumnType::Real, "deg", ""},
                 {"note", ColumnType::Text, "", "the user's \"note\""}};
    t.rows = {{"1", "1234.5", "150.12345678", "a, \"b\""},
              {"2", "", "", ""},
              {"3", "1.5E-05", "0.5", "星"}};
    t.meta = {{"picture", "PICTURE", "m42 \"x\".fits", std::nullopt, "the picture"},
              {"noise_sigma", "NOISESIG", "", 3.25, "noise"},
              {"long", "LONGTEXT", std::string(100, 'z'), std::nullopt, ""}};
    return t;
}

TEST(TableForms, CsvHasAHeaderAndLfLines) {
    EXPECT_EQ(csvBytes(sampleTable()),
              "id,flux,ra,note\n"
              "1,1234.5,150.12345678,\"a, \"\"b\"\"\"\n"
              "2,,,\"\"\n"
              "3,1.5E-05,0.5,\"星\"\n");
}

TEST(TableForms, EcsvDescribesColumnsAndMetadataBeforeTheCsv) {
    const std::string e = ecsvBytes(sampleTable());
    const std::string head =
        "# %ECSV 1.0\n# ---\n# delimiter: ','\n# datatype:\n"
        "# - {name: \"id\", datatype: int64, description: \"row\"}\n"
        "# - {name: \"flux\", unit: \"adu\", datatype: float64, description: \"flux, sky "
        "subtracted\"}\n"
        "# - {name: \"ra\", unit: \"deg\", datatype: float64}\n"
        "# - {name: \"note\", datatype: string, description: \"the user's \\\"note\\\"\"}\n"
        "# meta: !!omap\n"
        "# - {picture: \"m42 \\\"x\\\".fits\"}\n"
        "# - {noise_sigma: 3.25}\n";
    EXPECT_EQ(e.substr(0, head.size()), head);
    EXPECT_TRUE(e.ends_with("# schema: astropy-2.0\n" + csvBytes(sampleTable())));
}

TEST(TableForms, FitsTableHoldsTheValuesUnitsAndMetadata) {
    auto bytes = fitsBytes(sampleTable());
    ASSERT_TRUE(bytes) << bytes.error();
    EXPECT_EQ(bytes->size() % 2880, 0u);
    test::TempDir dir;
    const std::string path = dir.file("t.fits");
    test::writeFile(path, bytes.value());

    fitsfile* f = nullptr;
    int status = 0;
    ASSERT_EQ(fits_open_table(&f, path.c_str(), READONLY, &status), 0);
    long rows = 0;
    int columns = 0;
    fits_get_num_rows(f, &rows, &status);
    fits_get_num_cols(f, &columns, &status);
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(columns, 4);
    char text[FLEN_VALUE] = {};
    fits_read_key(f, TSTRING, "TUNIT2", text, nullptr, &status);
    EXPECT_STREQ(text, "adu");
    fits_read_key(f, TSTRING, "PICTURE", text, nullptr, &status);
    EXPECT_STREQ(text, "m42 \"x\".fits");
    double noise = 0;
    fits_read_key(f, TDOUBLE, "NOISESIG", &noise, nullptr, &status);
    EXPECT_EQ(noise, 3.25);
    char* longText = nullptr;
    fits_read_key_longstr(f, "LONGTEXT", &longText, nullptr, &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(std::string(longText), std::string(100, 'z'));
    fits_free_memory(longText, &status);

    long long ids[3] = {};
    long long nullId = -1;
    int anyNull = 0;
    char nulls[3] = {};
    fits_read_colnull(f, TLONGLONG, 1, 1, 1, 3, ids, nulls, &anyNull, &status);
    EXPECT_EQ(ids[0], 1);
    EXPECT_EQ(ids[2], 3);
    (void)nullId;
    double flux[3] = {};
    fits_read_col(f, TDOUBLE, 2, 1, 1, 3, nullptr, flux, &anyNull, &status);
    EXPECT_EQ(flux[0], 1234.5);
    EXPECT_TRUE(std::isnan(flux[1]));
    EXPECT_EQ(flux[2], 1.5e-05);
    double ra[3] = {};
    fits_read_col(f, TDOUBLE, 3, 1, 1, 3, nullptr, ra, &anyNull, &status);
    EXPECT_EQ(ra[0], 150.12345678);
    char note0[32] = {}, note1[32] = {}, note2[32] = {};
    char* notes[3] = {note0, note1, note2};
    fits_read_col(f, TSTRING, 4, 1, 1, 3, nullptr, notes, &anyNull, &status);
    EXPECT_STREQ(note0, "a, \"b\"");
    EXPECT_STREQ(note2, "星");
    fits_close_file(f, &status);
    EXPECT_EQ(status, 0);
}

TEST(TableForms, AnIntegerColumnWithoutANumberIsRefusedForFits) {
    Table t = sampleTable();
    t.rows[0][0] = "one";
    auto bytes = fitsBytes(t);
    ASSERT_FALSE(bytes);
    EXPECT_NE(bytes.error().find("id"), std::string::npos);
}

}  // namespace
}  // namespace orv::catalogue
