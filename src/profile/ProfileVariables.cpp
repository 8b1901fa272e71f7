#include "ProfileVariables.h"

#include "ProcedureSteps.h"
#include "XmlText.h"

#include <fstream>
#include <optional>
#include <set>

namespace tervane {

namespace {

constexpr std::size_t kMaxTableBytes = 1 << 20;
constexpr std::size_t kMaxRows = 10000;
constexpr std::size_t kMaxColumns = 256;

struct CsvRow {
    std::vector<std::string> fields;
    int line = 0;
};

// Splits the text into rows of fields in one pass; false (and why) for a quote that is not
// closed or text after a closing quote.
bool SplitCsv(std::string_view text, std::vector<CsvRow>& rows, std::string& problem, int& problemLine)
{
    CsvRow row;
    std::string field;
    int line = 1;
    row.line = 1;
    bool quoted = false;     // inside a quoted field
    bool afterQuote = false; // a quoted field just closed
    bool any = false;        // the row has begun
    const auto endField = [&] {
        row.fields.push_back(std::move(field));
        field.clear();
        afterQuote = false;
    };
    const auto endRow = [&] {
        endField();
        // A line with nothing on it is no row.
        if (!(row.fields.size() == 1 && row.fields[0].empty() && !any))
            rows.push_back(std::move(row));
        row = CsvRow {};
        any = false;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field.push_back('"');
                ++i;
            } else if (c == '"') {
                quoted = false;
                afterQuote = true;
            } else {
                if (c == '\n')
                    ++line;
                field.push_back(c);
            }
            continue;
        }
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        if (c == '\n') {
            endRow();
            row.line = ++line;
            continue;
        }
        if (c == ',') {
            endField();
            any = true;
            continue;
        }
        if (afterQuote) {
            problem = "text after a closing quote";
            problemLine = line;
            return false;
        }
        if (c == '"' && field.empty()) {
            quoted = true;
            any = true;
            continue;
        }
        field.push_back(c);
        any = true;
    }
    if (quoted) {
        problem = "a quote is not closed";
        problemLine = line;
        return false;
    }
    if (any || !field.empty())
        endRow();
    return true;
}

std::optional<std::string> ReadBounded(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text(kMaxTableBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad())
        return std::nullopt;
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

} // namespace

bool IsVariableName(std::string_view name)
{
    if (name.empty() || name.size() > 64)
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
        if (!letter && !(i > 0 && c >= '0' && c <= '9'))
            return false;
    }
    return true;
}

VariableTableRead ReadVariableTable(const std::string& path)
{
    if (!CanOpenForReading(path)) {
        VariableTableRead read;
        read.problems.push_back(path + ": cannot read the table");
        return read;
    }
    const auto text = ReadBounded(path);
    if (!text) {
        VariableTableRead read;
        read.problems.push_back(path + ": cannot read the table");
        return read;
    }
    return ReadVariableTableText(*text, path);
}

VariableTableRead ReadVariableTableText(std::string_view text, const std::string& path)
{
    VariableTableRead read;
    read.table.path = path;
    const auto problem = [&](int line, const std::string& what) {
        read.problems.push_back(path + ":" + std::to_string(line) + ": " + what);
    };
    if (text.size() > kMaxTableBytes) {
        read.problems.push_back(path + ": the table is larger than 1 MiB");
        return read;
    }
    std::vector<CsvRow> rows;
    std::string why;
    int line = 0;
    if (!SplitCsv(text, rows, why, line)) {
        problem(line, why);
        return read;
    }
    if (rows.empty()) {
        read.problems.push_back(path + ": the table has no header (imei, iccid or serial, then the names)");
        return read;
    }
    if (rows.size() > kMaxRows + 1) {
        read.problems.push_back(path + ": the table has more than " + std::to_string(kMaxRows) + " rows");
        return read;
    }
    const CsvRow& header = rows.front();
    if (header.fields.size() > kMaxColumns) {
        problem(header.line, "the table has more than " + std::to_string(kMaxColumns) + " columns");
        return read;
    }
    // A spreadsheet may save the file with a byte order mark first.
    std::string key = header.fields[0];
    if (key.rfind("\xEF\xBB\xBF", 0) == 0)
        key.erase(0, 3);
    if (key != "imei" && key != "iccid" && key != "serial") {
        problem(header.line, "the first column is '" + ShownName(key) + "'; it must be imei, iccid or serial");
        return read;
    }
    read.table.keyColumn = key;
    std::set<std::string> names;
    for (std::size_t i = 1; i < header.fields.size(); ++i) {
        const std::string& name = header.fields[i];
        if (!IsVariableName(name))
            problem(header.line, "'" + ShownName(name) + "' cannot be a variable's name");
        else if (!names.insert(name).second)
            problem(header.line, name + " is given twice");
        read.table.names.push_back(name);
    }
    for (std::size_t r = 1; r < rows.size(); ++r) {
        CsvRow& row = rows[r];
        if (row.fields.size() != header.fields.size()) {
            problem(row.line,
                "has " + std::to_string(row.fields.size()) + " fields; the header has " +
                    std::to_string(header.fields.size()));
            continue;
        }
        std::string id = std::move(row.fields[0]);
        row.fields.erase(row.fields.begin());
        if (id.empty()) {
            problem(row.line, "names no gateway");
            continue;
        }
        if (!read.table.rows.emplace(id, std::move(row.fields)).second)
            problem(row.line, key + " " + ShownName(id) + " is given twice");
    }
    return read;
}

bool AddTableRow(const VariableTable& table, const ProfileVariables& identity, ProfileVariables& variables,
    std::string& problem)
{
    const auto own = identity.find(table.keyColumn);
    const std::string id = own == identity.end() ? std::string() : own->second;
    const auto row = id.empty() ? table.rows.end() : table.rows.find(id);
    if (row == table.rows.end()) {
        problem = table.path + " has no row for this gateway (" + table.keyColumn + " " +
            (id.empty() ? std::string("unknown") : ShownName(id)) + ")";
        return false;
    }
    for (std::size_t i = 0; i < table.names.size(); ++i)
        variables[table.names[i]] = row->second[i];
    return true;
}

namespace {

// The value with every ${NAME} replaced; the names without a value in `missing`.
std::string Substitute(std::string_view text, const ProfileVariables& variables, std::set<std::string>& missing)
{
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = text.find("${", at);
        if (start == std::string_view::npos)
            break;
        const std::size_t end = text.find('}', start + 2);
        const std::string_view name =
            end == std::string_view::npos ? std::string_view() : text.substr(start + 2, end - start - 2);
        if (!IsVariableName(name)) {
            // Not a reference: the text stays as it is.
            out.append(text.substr(at, start + 2 - at));
            at = start + 2;
            continue;
        }
        out.append(text.substr(at, start - at));
        if (const auto value = variables.find(std::string(name)); value != variables.end())
            out.append(value->second);
        else
            missing.insert(std::string(name));
        at = end + 1;
    }
    out.append(text.substr(std::min(at, text.size())));
    return out;
}

} // namespace

std::vector<std::string> SubstituteVariables(Profile& profile, const ProfileVariables& variables)
{
    std::vector<std::string> problems;
    const auto one = [&](std::string& value, const ProfilePlace& place) {
        std::set<std::string> missing;
        std::string result = Substitute(value, variables, missing);
        const std::string where = profile.path + ":" + std::to_string(place.line) + ": " + place.key + ": ";
        for (const auto& name : missing)
            problems.push_back(where + "${" + name + "} has no value");
        if (missing.empty() && ToXmlCharData(result) != result)
            problems.push_back(where + "the value put in holds characters a settings document cannot carry");
        value = std::move(result);
    };
    for (auto& value : profile.settings)
        one(value.value, value.place);
    for (auto& value : profile.radio)
        one(value.value, value.place);
    if (profile.firmware)
        one(profile.firmware->version, profile.firmware->place);
    if (profile.radioFirmware)
        one(profile.radioFirmware->version, profile.radioFirmware->place);
    return problems;
}

} // namespace tervane
