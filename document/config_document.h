#pragma once

// The configuration being edited, with everything that belongs to it: the
// history of edits for undo and redo, what the folder's files held when they
// were last loaded or saved, and whether the two differ. Views show it and
// turn clicks into its edits; the application loads it and saves it. It
// knows nothing of widgets, files or dialogs.
//
// An edit made through one of the edit functions is shown by the view that
// made it, which already shows the clicked box: it raises no signal at once,
// so that a click costs no more than its own work. Undo and redo, loads and
// saves are signalled at once, and every change once the event loop is idle.

#include "channel_config.h"
#include "config_text.h"
#include "unit_names.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <optional>
#include <vector>

class QUndoStack;

namespace mx {

// A channel as a sentence names it: "channel 3" for index 2.
QString channelName(int channel);

// What an undo step did, kept as a few numbers so that recording one costs
// a click nothing; its text is made only when a menu shows it.
struct EditDescription {
    enum class Kind : std::uint8_t {
        Switch,
        Recall,
        Paste,
        PasteToAll,
        PasteEach,
        Revert,
        TakeSwitch,
        TakeRecall,
        TakeChannel,
        TakeEverything,
        Restore,
        Name,
    };
    Kind kind = Kind::Switch;
    int channel = 0;
    SwitchField field = SwitchField::Disabled;
    SwitchMask switchValue = 0;
    RecallField recall = RecallField::MicGain;

    // e.g. "Latching: TB 2 (channel 3)", "Recall: Fader (channel 1)",
    // "paste to channel 2", "paste to all channels", "paste of every
    // channel", "revert to saved", "taking Latching: TB 2 (channel 3)",
    // "taking channel 3", "taking everything", "naming channel 3", "naming
    // the unit", "naming the unit and its channels". A Name step's channel
    // is the one named, NamedUnit for the unit, NamedSeveral for more.
    QString text() const;

    static constexpr int NamedUnit = -1;
    static constexpr int NamedSeveral = -2;
};

// What the configuration is compared with: another unit, or the folder's
// own files.
struct Reference {
    ChannelConfig config;
    // Its names, which a comparison shows but never counts as a difference.
    UnitNames names;
    // What the user calls it: "unitA", "unitA.txt", or SavedFilesName.
    QString name;
    // Whether it is the folder's own files as last loaded or saved, which it
    // follows through every load and save.
    bool isSaved = false;

    static constexpr const char* SavedFilesName = "the saved files";
};

class ConfigDocument : public QObject {
    Q_OBJECT
public:
    explicit ConfigDocument(QObject* parent = nullptr);
    ~ConfigDocument() override;

    const ChannelConfig& config() const { return config_; }
    // The configuration as it was last loaded or saved.
    const ChannelConfig& savedConfig() const { return savedConfig_; }
    // The names of the unit and its channels, and as last loaded or saved.
    const UnitNames& names() const { return names_; }
    const UnitNames& savedNames() const { return savedNames_; }
    // The first bytes of the folder's files as they were last loaded or
    // saved: what a save checks the files against before it overwrites them.
    const StoredBlocks& storedBlocks() const { return stored_; }

    // Whether saving would change the folder's files: the configuration
    // differs from what they held when last loaded or saved, byte for byte
    // (an edit undone, by hand or by Undo, is no change), or they held less
    // than a whole configuration, as an empty or short file does.
    // Names that differ from those last loaded or saved are a change too.
    bool isModified() const {
        return names_ != savedNames_ ||
               (storedHoldsSaved_ ? config_ != savedConfig_ : !holdsExactly(stored_, config_));
    }

    QUndoStack* undoStack() const { return undoStack_; }
    // The text of the step that Undo would take back, or Redo make again;
    // empty when there is none.
    QString undoText() const;
    QString redoText() const;

    // The edits a user makes, each one undo step made on `channel`. Each
    // returns false, and records nothing, when it would change no byte or
    // the channel is outside 0..7.
    bool setSwitch(int channel, SwitchField field, SwitchMask switchValue, bool on);
    bool setRecall(int channel, RecallField field, bool on);
    // Gives one channel, or every channel, the source's values in the bits
    // a click could change.
    bool pasteChannel(int channel, const ChannelSettings& source);
    bool pasteToAllChannels(int shownChannel, const ChannelSettings& source);
    // Gives each channel in the list its own settings, in the bits a click
    // could change: a whole configuration's text pasted at once.
    bool pasteEachChannel(int shownChannel, const std::vector<ChannelText>& channels);
    // Gives the unit and its channels these names, as one step.
    bool setNames(const UnitNames& names);
    // Puts back the configuration and its names as last loaded or saved, as
    // one step.
    bool revertToSaved(int shownChannel);

    // Comparing. The reference is read once and kept until another takes
    // its place or the comparison stops; it is no part of the configuration
    // and never saved. reference() is null while nothing is compared.
    const Reference* reference() const { return reference_ ? &*reference_ : nullptr; }
    void compareWith(const ChannelConfig& config, const QString& name, const UnitNames& names = {});
    void compareWithSaved();
    void stopComparing();
    // How the configuration differs from the reference in one channel; no
    // difference while nothing is compared.
    ChannelDifference differenceInChannel(int channel) const;
    // The channels that differ from the reference, in any bit.
    ChannelSet channelsDiffering() const;

    // Taking from the reference, each one undo step that changes exactly
    // what it names: one bit of a mask, greyed ones included; one recall
    // flag; one channel, or every channel, whole, as a load would (bits 32
    // and 64 too, unlike a click or a paste). Each returns false, and records
    // nothing, when nothing is compared or nothing would change.
    bool takeSwitch(int channel, SwitchField field, SwitchMask bit);
    bool takeRecall(int channel, RecallField field);
    bool takeChannel(int channel);
    bool takeEverything(int shownChannel);

    // A folder was loaded: the configuration as the load left it, the bytes
    // its files held, and its names. The edits made before can no longer be
    // undone.
    void load(const ChannelConfig& config, const StoredBlocks& stored, const UnitNames& names = {});
    // The configuration was saved whole: the files now hold `written`, and
    // names.txt the names unless they could not be written.
    void markSaved(const StoredBlocks& written, bool namesWritten = true);
    // The files hold other bytes than were last loaded or saved: after half
    // a save, or when the configuration is to be saved into another folder.
    void setStoredBlocks(const StoredBlocks& stored);
    // Puts edits that were not saved, recovered after a crash, in place of
    // the configuration as one step, which Undo takes back to what the files
    // hold.
    void restoreUnsaved(const ChannelConfig& config, int shownChannel, const UnitNames& names);

signals:
    // The configuration was replaced as a whole, or what it is compared with
    // changed: a load, a save or part of one, recovered edits put back.
    void replaced();
    // Something changed (an edit, undo or redo, a load or a save): emitted
    // once the event loop is idle, once for any number of changes.
    void changed();
    // Undo or redo put a configuration back. `channel` is the one the edit
    // was made on; `changed` holds every channel whose values differ.
    void restored(int channel, mx::ChannelSet changed);
    // Comparing started, stopped, or the reference changed: another one, or
    // the saved files after a load or a save.
    void referenceChanged();

private:
    class Step;
    class ByteStep;
    class ConfigStep;

    // Records an edit of one byte of the configuration, or of the whole of
    // it, as one undo step, unless it changes nothing.
    bool editByte(std::uint8_t& byte, std::uint8_t after, const EditDescription& description);
    void noteChange();
    bool edit(const ChannelConfig& after, const EditDescription& description);
    bool edit(const ChannelConfig& after, const UnitNames& names,
              const EditDescription& description);
    QString stepText(int index) const;
    // Brings a comparison with the saved files up to date with them.
    void followSavedFiles();
    // The files now hold `stored`: the modified state, the comparison with
    // the saved files and the views follow.
    void storedNow(const StoredBlocks& stored);

    ChannelConfig config_;
    ChannelConfig savedConfig_;
    UnitNames names_;
    UnitNames savedNames_;
    StoredBlocks stored_;
    // Whether the files held exactly the saved configuration, the usual case,
    // in which the modified state is a plain comparison.
    bool storedHoldsSaved_ = true;
    std::optional<Reference> reference_;
    QUndoStack* undoStack_ = nullptr;
    // Fires changed() when the event loop is next idle.
    QTimer changeTimer_;
};

// The channels whose switch masks or recall flags differ between a and b.
ChannelSet differingChannels(const ChannelConfig& a, const ChannelConfig& b);

} // namespace mx
