#pragma once

// The configuration sheet: one unit's whole configuration on one landscape
// page, for the binder kept with the rack, made here from the model and
// nowhere else. It reads in black and white: a set switch, a clear one and
// the window's greyed combinations each have their own symbol, and what
// differs from another unit is framed.

#include "channel_config.h"
#include "sheet.h"
#include "unit_names.h"

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace mx {

// What the sheet says above the table.
struct SheetHeading {
    // The unit's folder, or the file the configuration came from, as it was
    // given: it is escaped for the sheet.
    std::string unit;
    // When the sheet was made, as the user reads times.
    std::string printedAt;
    // The configuration holds edits that are not saved to the unit.
    bool unsaved = false;
    // Whether it goes to a printer ("Printed …") or is only written to a
    // file ("Made …").
    bool printed = true;
    // The unit's name titles the sheet, the folder beneath it; each channel's
    // name stands under its header.
    UnitNames names{};
    // What the cells are compared with, framing each one that differs, and
    // what the reader calls it; nothing is framed without one.
    const ChannelConfig* reference = nullptr;
    std::string referenceName{};
};

// The symbols of the sheet's cells.
inline constexpr const char* SheetOn = "\u25CF";        // ● a set switch
inline constexpr const char* SheetOff = "\u00B7";       // · a clear one
inline constexpr const char* SheetGreyedOn = "\u25A0";  // ■ set, greyed in the window
inline constexpr const char* SheetGreyedOff = "\u2013"; // – clear, greyed in the window

Sheet configSheet(const ChannelConfig& config, const SheetHeading& heading);

// A unit's own name: the last part of its folder's or file's path.
std::string unitName(std::string_view source);
// What a unit is called: the name it was given, or else its folder's.
std::string unitName(std::string_view source, const UnitNames& names);

// A unit in a binder: where its configuration came from, as given, and the
// configuration.
struct BinderUnit {
    std::string source;
    ChannelConfig config;
    UnitNames names{};
};

// The binder's first pages: every unit by name and folder or file, and how
// each compares with the first, the reference.
Sheet binderContents(const std::vector<BinderUnit>& units, const std::string& madeAt);

// The binder: its contents, then each unit's sheet with what differs from
// the first framed. It refers to the units, which must outlive it.
SheetDocument binderDocument(const std::vector<BinderUnit>& units, const std::string& madeAt);

// A time as the sheet states it, in local time: "2026-12-08 14:05", which
// reads the same in every country.
std::string sheetTime(std::time_t when);

} // namespace mx
