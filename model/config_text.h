#pragma once

// The readable text form of channels and configurations, one line per mask:
//
//   # comment
//   Channel 3
//     # (three lines that say what follows)
//     Disabled (MX only): none
//     Latching: PGM, TB 1
//     …
//     TB 4 Delatches: TB 2, bit 64
//     Recall: Mic gain, Fader
//
// Masks use the window's captions, in record order; the set bits are named
// by their switch captions in switch order, then "bit 32" and "bit 64", or
// "none". Every byte round-trips exactly, unnamed and greyed bits included.
// Only the channel lines start at the left edge, and three comment lines
// stand between each and its first mask, so that every hunk header of a git
// diff of two texts names the channel the hunk changes. The form written before that,
// with "[Channel 3]" and nothing indented, reads the same.
//
// A configuration's text may name the unit and its channels: a line
// "Unit: Studio A" before the first channel, and "Channel 3: Guest 2" as a
// channel's line. A name line holds no comment: a "#" in it is part of the
// name. Texts without names read as before.
//
// Reading is strict: anything not understood is reported by line and column.
// Text pasted from elsewhere may be read forgivingly instead.

#include "channel_config.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mx {

struct UnitNames;

// Where and why a text could not be read. Lines and columns count from 1;
// columns count bytes.
struct TextError {
    int line = 0;
    int column = 0;
    std::string message;

    // e.g. line 4, column 11: unknown switch "TB 5"
    std::string describe() const;

    friend bool operator==(const TextError&, const TextError&) = default;
};

// One channel (index 0..7) as a "Channel N" block, "Channel N: name" when
// named.
std::string channelToText(int channel, const ChannelSettings& settings,
                          const std::string& name = {});

// The whole configuration: a comment line, the unit's name if it has one,
// then the eight channel blocks in order, each followed by an empty line.
std::string configToText(const ChannelConfig& config);
std::string configToText(const ChannelConfig& config, const UnitNames& names);

struct ChannelText {
    int channel = 0; // the index (0..7) the block was headed by
    ChannelSettings settings;
    std::string name; // the channel's name, if its line gave one
};

enum class TextReading {
    // Exactly the form written: every line must be understood.
    Strict,
    // Text quoted in a mail or typed by hand: "> " quote marks are taken
    // off, lines before the first channel and after a complete channel are
    // passed over, and names and keywords are read in any case. Inside a
    // channel every line must still be understood.
    Forgiving,
};

// Reads the text form piece by piece as it arrives, and stops at the first
// thing it does not understand, so that a long or endless input is read
// only as far as its first error. A byte order mark at the start is passed
// over; a NUL byte is an error.
class ConfigTextReader {
public:
    explicit ConfigTextReader(TextReading reading = TextReading::Strict);
    ~ConfigTextReader();
    ConfigTextReader(const ConfigTextReader&) = delete;
    ConfigTextReader& operator=(const ConfigTextReader&) = delete;

    // Reads the next piece. Once an error is found, it is returned again for
    // every later piece, which is not read.
    std::optional<TextError> feed(std::string_view piece);

    // Whether any line so far held more than blanks and comments.
    bool sawText() const;
    // Whether any line so far named the unit or a channel, even with an
    // empty name: a text that names nothing leaves a unit's names alone.
    bool namesGiven() const;

    // The text has ended: every channel block read, in the order given.
    std::optional<TextError> finish(std::vector<ChannelText>& channels);
    // The text has ended, and holds exactly one channel block.
    std::optional<TextError> finish(ChannelText& channel);
    // The text has ended, and holds every channel exactly once; on failure
    // config (and names, when given) is left as it was.
    std::optional<TextError> finish(ChannelConfig& config, UnitNames* names = nullptr);

private:
    class Parser;
    std::unique_ptr<Parser> parser_;
};

// Reads text holding exactly one complete channel block.
std::optional<TextError> channelFromText(std::string_view text, ChannelText& channel,
                                         TextReading reading = TextReading::Strict);

// Reads a complete configuration: every channel exactly once, each with all
// fourteen masks and its recall line, and the names it gives, when names is
// given. On failure config and names are left as they were.
std::optional<TextError> configFromText(std::string_view text, ChannelConfig& config,
                                        UnitNames* names = nullptr);

} // namespace mx
