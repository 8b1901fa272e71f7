// Values per gateway: the CSV table of them and ${NAME} in a profile's values.

#include "ProfileVariables.h"
#include "ProfileReader.h"

#include <gtest/gtest.h>

namespace tervane::test {
namespace {

struct TableCase {
    const char* name;
    std::string text;
    std::string problem; // empty: read well
};

std::ostream& operator<<(std::ostream& os, const TableCase& c)
{
    return os << c.name;
}

class VariableTableText : public ::testing::TestWithParam<TableCase> { };

TEST_P(VariableTableText, IsReadOrRefusedWithItsLine)
{
    const VariableTableRead read = ReadVariableTableText(GetParam().text, "vars.csv");
    if (GetParam().problem.empty()) {
        EXPECT_TRUE(read.Good()) << (read.problems.empty() ? "" : read.problems.front());
    } else {
        ASSERT_FALSE(read.Good());
        EXPECT_EQ(read.problems.front(), GetParam().problem);
    }
}

INSTANTIATE_TEST_SUITE_P(Tables, VariableTableText,
    ::testing::Values(TableCase {"plain", "imei,site\n356938035643809,Hall 7\n", ""},
        TableCase {"crlfAndBom", "\xEF\xBB\xBFserial,site\r\nQ7-0001,a\r\n\r\n", ""},
        TableCase {"quotedCommaQuoteAndLineEnd", "iccid,site\n8901,\"Hall 7, \"\"north\"\"\nroof\"\n", ""},
        TableCase {"otherKey", "name,site\nx,y\n",
            "vars.csv:1: the first column is 'name'; it must be imei, iccid or serial"},
        TableCase {"badName", "imei,site name\n1,x\n", "vars.csv:1: 'site name' cannot be a variable's name"},
        TableCase {"nameTwice", "imei,a,a\n1,x,y\n", "vars.csv:1: a is given twice"},
        TableCase {"shortRow", "imei,a,b\n1,x\n", "vars.csv:2: has 2 fields; the header has 3"},
        TableCase {"gatewayTwice", "imei,a\n1,x\n1,y\n", "vars.csv:3: imei 1 is given twice"},
        TableCase {"openQuote", "imei,a\n1,\"x\n", "vars.csv:3: a quote is not closed"},
        TableCase {"textAfterQuote", "imei,a\n1,\"x\"y\n", "vars.csv:2: text after a closing quote"},
        TableCase {"empty", "", "vars.csv: the table has no header (imei, iccid or serial, then the names)"},
        TableCase {"tooLarge", "imei,a\n" + std::string(1 << 20, 'x'), "vars.csv: the table is larger than 1 MiB"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(VariableTable, QuotedFieldsKeepTheirText)
{
    const VariableTableRead read = ReadVariableTableText("iccid,site\n8901,\"Hall 7, \"\"north\"\"\"\n", "v.csv");
    ASSERT_TRUE(read.Good());
    ProfileVariables variables;
    std::string problem;
    ASSERT_TRUE(AddTableRow(read.table, {{"iccid", "8901"}}, variables, problem));
    EXPECT_EQ(variables["site"], "Hall 7, \"north\"");
    EXPECT_FALSE(AddTableRow(read.table, {{"iccid", "8902"}}, variables, problem));
    EXPECT_EQ(problem, "v.csv has no row for this gateway (iccid 8902)");
}

struct SubstitutionCase {
    const char* name;
    std::string value;
    std::string result;  // the value after substitution
    std::string problem; // empty: none
};

std::ostream& operator<<(std::ostream& os, const SubstitutionCase& c)
{
    return os << c.name;
}

class Substitution : public ::testing::TestWithParam<SubstitutionCase> { };

TEST_P(Substitution, IsTextOnly)
{
    ProfileRead read = ReadProfileText("settings:\n  system/location: '" + GetParam().value + "'\n", "p.yaml");
    ASSERT_TRUE(read.Good()) << read.problems.front();
    const ProfileVariables variables {{"imei", "356938035643809"}, {"site", "${imei}"}, {"cmd", "$(reboot)"}};
    const std::vector<std::string> problems = SubstituteVariables(read.profile, variables);
    if (GetParam().problem.empty()) {
        EXPECT_TRUE(problems.empty()) << problems.front();
        EXPECT_EQ(read.profile.settings.front().value, GetParam().result);
    } else {
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_EQ(problems.front(), GetParam().problem);
    }
}

INSTANTIATE_TEST_SUITE_P(Values, Substitution,
    ::testing::Values(SubstitutionCase {"one", "gw-${imei}", "gw-356938035643809", ""},
        SubstitutionCase {"twice", "${imei}${imei}", "356938035643809356938035643809", ""},
        SubstitutionCase {"noRecursion", "${site}", "${imei}", ""},
        SubstitutionCase {"noShell", "${cmd} $HOME `id`", "$(reboot) $HOME `id`", ""},
        SubstitutionCase {"notAName", "${ imei} ${} ${1x} ${imei", "${ imei} ${} ${1x} ${imei", ""},
        SubstitutionCase {"unset", "${site}-${port}", "", "p.yaml:2: settings.system/location: ${port} has no value"}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace tervane::test
