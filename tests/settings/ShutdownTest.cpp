#include "RciDocuments.h"

#include <gtest/gtest.h>

namespace tervane {
namespace {

// Its own program: after xmlCleanupParser nothing else may use libxml2.
TEST(ShutdownXml, FreesTheDocumentsThenCleansUp)
{
    InitXmlLibrary();
    RciDocuments documents;
    documents.ParseSettings("<r><query_setting><a/></query_setting></r>");
    documents.ParseState("<r><query_state><a/></query_state></r>");
    documents.ParseRadioSettings("<r><do_command><query_setting><a/></query_setting></do_command></r>");
    ShutdownXml(documents);
    EXPECT_EQ(documents.SettingsDocument(), nullptr);
    EXPECT_EQ(documents.StateDocument(), nullptr);
    EXPECT_EQ(documents.RadioSettingsDocument(), nullptr);
    EXPECT_EQ(documents.SettingsRoot(), nullptr);
}

} // namespace
} // namespace tervane
