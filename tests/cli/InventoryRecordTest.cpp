// The inventory line a spreadsheet reads: one gateway per line, no field read as a formula.
#include "InventoryRecord.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace tervane {
namespace {

struct FieldCase {
    const char* name;
    std::string value;
    std::string field; // as the line holds it
};

std::ostream& operator<<(std::ostream& os, const FieldCase& c)
{
    return os << c.name;
}

class InventoryField : public ::testing::TestWithParam<FieldCase> { };

TEST_P(InventoryField, IsWrittenSoThatTheLineStaysOneRecord)
{
    InventoryRecord record;
    record.time = "2024-05-01T10:00:00Z";
    record.product = GetParam().value;
    EXPECT_EQ(InventoryLine(record), "2024-05-01T10:00:00Z,,,,,,," + GetParam().field + ",,,,,false,,0,\r\n");
}

INSTANTIATE_TEST_SUITE_P(Fields, InventoryField,
    ::testing::Values(FieldCase {"plain", "Q7", "Q7"}, FieldCase {"comma", "Q7,R", "\"Q7,R\""},
        FieldCase {"quote", "Q7 \"R\"", "\"Q7 \"\"R\"\"\""}, FieldCase {"lineEndEndsTheField", "Q7\r\nR", "Q7"},
        FieldCase {"lone0x85", "Q7\x85R", "Q7?R"}, FieldCase {"escapeAndDelete", "Q7\x1b[2J\x7f", "Q7?[2J?"},
        FieldCase {"formula", "=HYPERLINK(1)", "'=HYPERLINK(1)"}, FieldCase {"formulaWithComma", "+1,2", "\"'+1,2\""},
        FieldCase {"utf8Kept", "caf\xc3\xa9", "caf\xc3\xa9"}),
    [](const auto& row) { return std::string(row.param.name); });

// Every line has all sixteen columns, whichever fields are empty, so that no value lands
// under another heading.
TEST(InventoryLine, EmptyFieldsKeepTheirColumns)
{
    InventoryRecord record;
    EXPECT_EQ(InventoryLine(record), ",,,,,,,,,,,,false,,0,\r\n");
    record.imei = "356938035643809";
    EXPECT_EQ(InventoryLine(record), ",,,,356938035643809,,,,,,,,false,,0,\r\n");
    record.result = "failed";
    record.changes = 2;
    record.error = "mobile_simple/apn: the device did not keep 'x', it holds 'y'";
    EXPECT_EQ(InventoryLine(record),
        ",,,,356938035643809,,,,,,,,false,failed,2,\"mobile_simple/apn: the device did not keep 'x', it holds "
        "'y'\"\r\n");
}

// An endless device's answer does not become a 100 KB field: each identity is its first
// line, bounded.
TEST(InventoryLine, IdentityFieldsAreBounded)
{
    InventoryRecord record;
    const std::string endless(100000, '7');
    for (std::string* field : {&record.imei, &record.iccid, &record.imsi, &record.product, &record.firmwareBefore,
             &record.firmwareAfter, &record.radioFirmware})
        *field = endless + "\r\nOK";
    const std::string bounded = std::string(64, '7') + "\xE2\x80\xA6";
    EXPECT_EQ(InventoryLine(record),
        ",,,," + bounded + "," + bounded + "," + bounded + "," + bounded + "," + bounded + "," + bounded + "," +
            bounded + ",,false,,0,\r\n");
}

} // namespace
} // namespace tervane
