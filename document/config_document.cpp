#include "config_document.h"

#include <QUndoStack>
#include <bit>
#include <utility>

namespace mx {

QString channelName(int channel) {
    return QString("channel %1").arg(channel + 1);
}

QString EditDescription::text() const {
    const auto switchText = [this] {
        return QString("%1: %2 (%3)")
            .arg(fieldCaption(field), switchCaption(switchValue), channelName(channel));
    };
    const auto recallText = [this] {
        return QString("%1: %2 (%3)")
            .arg(RecallCaption, recallCaption(recall), channelName(channel));
    };
    switch (kind) {
    case Kind::Switch:
        return switchText();
    case Kind::Recall:
        return recallText();
    case Kind::Paste:
        return "paste to " + channelName(channel);
    case Kind::PasteToAll:
        return "paste to all channels";
    case Kind::PasteEach:
        return "paste of every channel";
    case Kind::Revert:
        return "revert to saved";
    case Kind::TakeSwitch:
        return "taking " + switchText();
    case Kind::TakeRecall:
        return "taking " + recallText();
    case Kind::TakeChannel:
        return "taking " + channelName(channel);
    case Kind::TakeEverything:
        return "taking everything";
    case Kind::Restore:
        return "restoring unsaved changes";
    case Kind::Name:
        return channel == NamedUnit      ? QString("naming the unit")
               : channel == NamedSeveral ? QString("naming the unit and its channels")
                                         : "naming " + channelName(channel);
    }
    return {};
}

// One edit in the history. Pushing it makes the edit; its maker shows that
// already, so only later redos and every undo are signalled.
class ConfigDocument::Step : public QUndoCommand {
public:
    Step(ConfigDocument& document, const EditDescription& description)
        : document_(document), description_(description) {}

    const EditDescription& description() const { return description_; }

    void undo() override {
        put(false);
        emit document_.restored(description_.channel, changed());
        document_.noteChange();
    }
    void redo() override {
        put(true);
        if (!std::exchange(first_, false)) {
            emit document_.restored(description_.channel, changed());
        }
        document_.noteChange();
    }

protected:
    // Puts the configuration after the edit in place, or the one before it.
    virtual void put(bool after) = 0;
    // The channels whose values the edit changes; asked on undo and redo only.
    virtual ChannelSet changed() const = 0;

    ConfigDocument& document_;

private:
    const EditDescription description_;
    bool first_ = true;
};

// A click: one byte before and after. Kept that small because a click is the
// edit made most often, and the one that must cost least.
class ConfigDocument::ByteStep : public Step {
public:
    ByteStep(ConfigDocument& document, std::uint8_t& byte, std::uint8_t after,
             const EditDescription& description)
        : Step(document, description), byte_(byte), before_(byte), after_(after) {}

protected:
    void put(bool after) override { byte_ = after ? after_ : before_; }
    ChannelSet changed() const override { return channelSetOf(description().channel); }

private:
    std::uint8_t& byte_;
    const std::uint8_t before_;
    const std::uint8_t after_;
};

// A paste, a naming or a revert: the whole configuration and its names
// before and after it.
class ConfigDocument::ConfigStep : public Step {
public:
    ConfigStep(ConfigDocument& document, const ChannelConfig& after, const UnitNames& names,
               const EditDescription& description)
        : Step(document, description), before_(document.config_), after_(after),
          namesBefore_(document.names_), namesAfter_(names) {}

protected:
    void put(bool after) override {
        document_.config_ = after ? after_ : before_;
        document_.names_ = after ? namesAfter_ : namesBefore_;
    }
    ChannelSet changed() const override {
        ChannelSet changed = differingChannels(before_, after_);
        for (int channel = 0; channel < ChannelCount; ++channel) {
            const auto index = static_cast<std::size_t>(channel);
            if (namesBefore_.channels[index] != namesAfter_.channels[index]) {
                changed = static_cast<ChannelSet>(changed | channelSetOf(channel));
            }
        }
        return changed;
    }

private:
    const ChannelConfig before_;
    const ChannelConfig after_;
    const UnitNames namesBefore_;
    const UnitNames namesAfter_;
};

ConfigDocument::ConfigDocument(QObject* parent)
    : QObject(parent), undoStack_(new QUndoStack(this)) {
    changeTimer_.setSingleShot(true);
    changeTimer_.setInterval(0);
    connect(&changeTimer_, &QTimer::timeout, this, &ConfigDocument::changed);
}

void ConfigDocument::noteChange() {
    // A timer already running covers this change too: a burst of clicks
    // costs one timer.
    if (!changeTimer_.isActive()) {
        changeTimer_.start();
    }
}

ConfigDocument::~ConfigDocument() = default;

bool ConfigDocument::setSwitch(int channel, SwitchField field, SwitchMask switchValue, bool on) {
    const auto edit = switchEdit(config_.Switches, channel, field, switchValue, on);
    return edit && editByte(*edit->byte, edit->after,
                            {EditDescription::Kind::Switch, channel, field, switchValue, {}});
}

bool ConfigDocument::setRecall(int channel, RecallField field, bool on) {
    const auto edit = recallEdit(config_.Recall, channel, field, on);
    return edit && editByte(*edit->byte, edit->after,
                            {EditDescription::Kind::Recall, channel, {}, 0, field});
}

bool ConfigDocument::pasteChannel(int channel, const ChannelSettings& source) {
    ChannelConfig after = config_;
    if (!mx::pasteChannel(after, channel, source)) {
        return false;
    }
    return edit(after, {EditDescription::Kind::Paste, channel, {}, 0, {}});
}

bool ConfigDocument::pasteToAllChannels(int shownChannel, const ChannelSettings& source) {
    ChannelConfig after = config_;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        mx::pasteChannel(after, channel, source);
    }
    return edit(after, {EditDescription::Kind::PasteToAll, shownChannel, {}, 0, {}});
}

bool ConfigDocument::pasteEachChannel(int shownChannel, const std::vector<ChannelText>& channels) {
    ChannelConfig after = config_;
    for (const ChannelText& channel : channels) {
        mx::pasteChannel(after, channel.channel, channel.settings);
    }
    return edit(after, {EditDescription::Kind::PasteEach, shownChannel, {}, 0, {}});
}

bool ConfigDocument::setNames(const UnitNames& names) {
    // The step is called by what it names: the unit, one channel, or more.
    std::vector<int> channels;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        const auto index = static_cast<std::size_t>(channel);
        if (names.channels[index] != names_.channels[index]) {
            channels.push_back(channel);
        }
    }
    const bool unit = names.unit != names_.unit;
    const int named = unit && channels.empty()        ? EditDescription::NamedUnit
                      : !unit && channels.size() == 1 ? channels.front()
                                                      : EditDescription::NamedSeveral;
    return edit(config_, names, {EditDescription::Kind::Name, named, {}, 0, {}});
}

bool ConfigDocument::revertToSaved(int shownChannel) {
    return edit(savedConfig_, savedNames_,
                {EditDescription::Kind::Revert, shownChannel, {}, 0, {}});
}

// An edit that changes no byte is no step: undoing it would do nothing.
bool ConfigDocument::editByte(std::uint8_t& byte, std::uint8_t after,
                              const EditDescription& description) {
    if (byte == after) {
        return false;
    }
    undoStack_->push(new ByteStep(*this, byte, after, description));
    return true;
}

bool ConfigDocument::edit(const ChannelConfig& after, const EditDescription& description) {
    return edit(after, names_, description);
}

bool ConfigDocument::edit(const ChannelConfig& after, const UnitNames& names,
                          const EditDescription& description) {
    if (after == config_ && names == names_) {
        return false;
    }
    undoStack_->push(new ConfigStep(*this, after, names, description));
    return true;
}

QString ConfigDocument::stepText(int index) const {
    const auto* step = dynamic_cast<const Step*>(undoStack_->command(index));
    return step != nullptr ? step->description().text() : QString();
}

QString ConfigDocument::undoText() const {
    return stepText(undoStack_->index() - 1);
}

QString ConfigDocument::redoText() const {
    return stepText(undoStack_->index());
}

void ConfigDocument::compareWith(const ChannelConfig& config, const QString& name,
                                 const UnitNames& names) {
    reference_ = Reference{config, names, name, false};
    emit referenceChanged();
}

void ConfigDocument::compareWithSaved() {
    reference_ = Reference{{}, {}, Reference::SavedFilesName, true};
    followSavedFiles();
}

void ConfigDocument::stopComparing() {
    if (reference_) {
        reference_.reset();
        emit referenceChanged();
    }
}

void ConfigDocument::followSavedFiles() {
    if (reference_ && reference_->isSaved) {
        // What the files hold, which is the saved configuration except after
        // half a save.
        reference_->config = savedConfig_;
        reference_->names = savedNames_;
        applyStoredBlocks(stored_, reference_->config);
        emit referenceChanged();
    }
}

ChannelDifference ConfigDocument::differenceInChannel(int channel) const {
    return reference_ ? channelDifference(config_, reference_->config, channel)
                      : ChannelDifference{};
}

ChannelSet ConfigDocument::channelsDiffering() const {
    return reference_ ? differingChannels(config_, reference_->config) : 0;
}

bool ConfigDocument::takeSwitch(int channel, SwitchField field, SwitchMask bit) {
    SwitchMask* byte = maskByte(config_.Switches, channel, field);
    if (!reference_ || byte == nullptr || std::popcount(bit) != 1) {
        return false;
    }
    const SwitchMask theirs = *maskByte(reference_->config.Switches, channel, field);
    return editByte(*byte, withBit(*byte, bit, (theirs & bit) != 0),
                    {EditDescription::Kind::TakeSwitch, channel, field, bit, {}});
}

bool ConfigDocument::takeRecall(int channel, RecallField field) {
    if (!reference_ || !isChannel(channel)) {
        return false;
    }
    std::uint8_t& mask = recallMask(config_.Recall, field);
    const bool theirs = testRecall(reference_->config.Recall, channel, field).value();
    return editByte(mask, withBit(mask, channelBit(channel), theirs),
                    {EditDescription::Kind::TakeRecall, channel, {}, 0, field});
}

bool ConfigDocument::takeChannel(int channel) {
    const auto theirs = reference_ ? channelSettings(reference_->config, channel) : std::nullopt;
    ChannelConfig after = config_;
    if (!theirs || !replaceChannel(after, channel, *theirs)) {
        return false;
    }
    return edit(after, {EditDescription::Kind::TakeChannel, channel, {}, 0, {}});
}

bool ConfigDocument::takeEverything(int shownChannel) {
    return reference_ && edit(reference_->config,
                              {EditDescription::Kind::TakeEverything, shownChannel, {}, 0, {}});
}

void ConfigDocument::load(const ChannelConfig& config, const StoredBlocks& stored,
                          const UnitNames& names) {
    undoStack_->clear();
    config_ = config;
    savedConfig_ = config;
    names_ = names;
    savedNames_ = names;
    storedNow(stored);
}

void ConfigDocument::markSaved(const StoredBlocks& written, bool namesWritten) {
    savedConfig_ = config_;
    if (namesWritten) {
        savedNames_ = names_;
    }
    storedNow(written);
}

void ConfigDocument::setStoredBlocks(const StoredBlocks& stored) {
    storedNow(stored);
}

void ConfigDocument::storedNow(const StoredBlocks& stored) {
    stored_ = stored;
    storedHoldsSaved_ = holdsExactly(stored_, savedConfig_);
    followSavedFiles();
    emit replaced();
    noteChange();
}

void ConfigDocument::restoreUnsaved(const ChannelConfig& config, int shownChannel,
                                    const UnitNames& names) {
    // The step's maker shows it: here that is the document itself.
    if (edit(config, names, {EditDescription::Kind::Restore, shownChannel, {}, 0, {}})) {
        emit replaced();
    }
}

ChannelSet differingChannels(const ChannelConfig& a, const ChannelConfig& b) {
    ChannelSet changed = 0;
    for (int channel = 0; channel < ChannelCount; ++channel) {
        if (channelSettings(a, channel) != channelSettings(b, channel)) {
            changed = static_cast<ChannelSet>(changed | channelSetOf(channel));
        }
    }
    return changed;
}

} // namespace mx
