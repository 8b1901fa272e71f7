#pragma once

#include "Profile.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tervane {

// Values for one gateway, by name: `${NAME}` in a profile value stands for them.
using ProfileVariables = std::map<std::string, std::string>;

// Whether `name` can be a variable's name: a letter or "_", then letters, digits and "_".
bool IsVariableName(std::string_view name);

// A table of values per gateway, read from a CSV file: a header line whose first column is
// imei, iccid or serial (which gateway a row is for) and whose other columns name
// variables, then one row per gateway.
struct VariableTable {
    std::string path;
    std::string keyColumn; // "imei", "iccid" or "serial"
    std::vector<std::string> names;
    // The rows by their first field.
    std::map<std::string, std::vector<std::string>> rows;
};

struct VariableTableRead {
    VariableTable table;
    // One line each, "<file>:<line>: <what is wrong>"; a table with problems is not used.
    std::vector<std::string> problems;
    bool Good() const { return problems.empty(); }
};

// Reads the CSV file (RFC 4180: fields in double quotes may hold commas, quotes doubled and
// line ends; lines end in "\n" or "\r\n"). Refuses a file larger than 1 MiB, more than
// 10000 rows or 256 columns, a row with another number of fields than the header, a column
// name that cannot be a variable's or is given twice, and a gateway given twice.
VariableTableRead ReadVariableTable(const std::string& path);
VariableTableRead ReadVariableTableText(std::string_view text, const std::string& path);

// Adds the values of the table's row for the gateway (`identity` holds the gateway's own
// imei, iccid and serial) to `variables`. False, and why in `problem`, when the table has
// no row for it.
bool AddTableRow(const VariableTable& table, const ProfileVariables& identity, ProfileVariables& variables,
    std::string& problem);

// Replaces each `${NAME}` in the profile's setting and radio values and firmware versions
// with its value. Text only: a value put in is never looked at again, and nothing else in
// the text is special. One problem line for each name without a value
// ("<file>:<line>: <key>: ${NAME} has no value") and for a value a settings document cannot
// carry; the profile is not to be used when there is any.
std::vector<std::string> SubstituteVariables(Profile& profile, const ProfileVariables& variables);

} // namespace tervane
