#pragma once

#include "FieldStore.h"

#include <libxml/tree.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tervane {

// Kinds of a binding record. LoadBindings and StoreBindings test TEXT, INT, ONOFF in this
// order and act on the first set; CHOICES (only with TEXT) tells the page to fill a
// drop-down list from the record's choice list.
inline constexpr uint32_t BIND_ONOFF = 1;
inline constexpr uint32_t BIND_INT = 2;
inline constexpr uint32_t BIND_TEXT = 4;
inline constexpr uint32_t BIND_CHOICES = 8;

// Turns a text into another (device text to page text, or back); never fails.
using BindConverter = std::string (*)(std::string_view text);

// Ties one setting path to one field of a page.
struct BindingRecord {
    std::string path;                       // setting path, at most 99 characters; empty ends the table
    FieldId target = 0;                     // the page field that holds the value
    int32_t controlId = 0;                  // control LoadBindings shows when the setting exists; 0 = none
    std::string choiceList;                 // with BIND_CHOICES: list entries separated by "\n"
    uint32_t kindFlags = 0;                 // BIND_* bits
    BindConverter loadConverter = nullptr;  // with BIND_TEXT: document text -> page text
    BindConverter storeConverter = nullptr; // with BIND_TEXT: page text -> document text
};

// A page's rows in load and store order. A record with an empty path ends the table
// early, like the terminator of a fixed array; none is needed at the end.
using BindingTable = std::vector<BindingRecord>;

// Shows one control of the page; the page supplies it, so this code knows no widgets.
using ShowControl = std::function<void(int32_t controlId)>;

// Copies the values of the settings the document holds into the fields and shows their
// controls. A path that does not resolve leaves its field and control alone.
void LoadBindings(const ShowControl& showControl, const BindingTable& table, FieldStore& fields,
                  xmlNodePtr root);

// Writes the fields into the elements the document already has; creates nothing. The text
// stored equals the field's text (after the store converter), "&", "<" and quotes included.
void StoreBindings(const BindingTable& table, const FieldStore& fields, xmlNodePtr root);

// A decimal number read the way atoi reads one: leading white space, an optional sign,
// digits up to the first other character; 0 when no number starts the text. Values beyond
// 32 bits are clamped.
int32_t ReadDecimal(std::string_view text);

} // namespace tervane
