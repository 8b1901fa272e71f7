#include "XmlPrescan.h"
#include "XmlTestHelpers.h"

#include <gtest/gtest.h>

#include <string>

namespace tervane {
namespace {

std::string Attributes(std::size_t count)
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += " a" + std::to_string(i) + "='" + std::to_string(i) + "'";
    return text;
}

struct PrescanCase {
    const char* name;
    std::string text;
    bool heavy;
};

std::ostream& operator<<(std::ostream& os, const PrescanCase& c) { return os << c.name; }

class AttributePrescanTest : public ::testing::TestWithParam<PrescanCase> {};

TEST_P(AttributePrescanTest, FindsOnlyAnElementOverTheLimit)
{
    EXPECT_EQ(HasAttributeHeavyElement(GetParam().text), GetParam().heavy);
}

const std::size_t kLimit = kMaxXmlAttributesPerElement;

INSTANTIATE_TEST_SUITE_P(
    Texts, AttributePrescanTest,
    ::testing::Values(
        PrescanCase{"at_the_limit", "<r><e" + Attributes(kLimit) + "/></r>", false},
        PrescanCase{"one_over_the_limit", "<r><e" + Attributes(kLimit + 1) + "/></r>", true},
        PrescanCase{"many_elements_each_within", "<r>" + [] { std::string many; for (int i = 0; i < 100; ++i) many += "<e" + Attributes(kLimit) + "/>"; return many; }() + "</r>", false},
        PrescanCase{"equals_signs_in_quoted_values", "<r a='" + std::string(100, '=') + "' b=\"==>==\"/>", false},
        PrescanCase{"equals_signs_in_text", "<r>" + std::string(100, '=') + "</r>", false},
        PrescanCase{"comment", "<r><!-- <e" + Attributes(kLimit + 1) + "/> --></r>", false},
        PrescanCase{"cdata", "<r><![CDATA[<e" + Attributes(kLimit + 1) + "/>]]></r>", false},
        PrescanCase{"processing_instruction", "<?xml version='1.0'" + Attributes(kLimit + 1) + "?><r/>", false},
        PrescanCase{"unterminated_tag_still_counted", "<r" + Attributes(kLimit + 1), true},
        PrescanCase{"unterminated_quote", "<r a='" + Attributes(kLimit + 1), false},
        PrescanCase{"empty", "", false}),
    test::CaseName());

} // namespace
} // namespace tervane
