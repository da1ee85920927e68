#include "command.h"
#include "config_text.h"
#include "report.h"

namespace mx::cli {

namespace {

int show(const QCommandLineParser& parser, const QStringList& arguments, const Context& context) {
    ChannelConfig config;
    UnitNames names;
    if (!readSource(arguments[0], context, config, true, &names)) {
        return Trouble;
    }
    if (parser.isSet("json")) {
        return printed(configJson(config, names).toStdString());
    }
    return printed(configTable(config, colourWanted(), names));
}

int exportText(const QCommandLineParser&, const QStringList& arguments, const Context& context) {
    ChannelConfig config;
    UnitNames names;
    if (!readSource(arguments[0], context, config, false, &names)) {
        return Trouble;
    }
    return printed(configToText(config, names));
}

} // namespace

Command showCommand() {
    return {"Show a configuration whole, all eight channels side by side.",
            {{"SOURCE", sourceText()}},
            false,
            {QCommandLineOption("json", "Print JSON: every mask and recall mask as a raw byte.")},
            show};
}

Command exportCommand() {
    return {"Write a configuration as text, in the editor's channel text form.",
            {{"SOURCE", sourceText()}},
            false,
            {},
            exportText};
}

} // namespace mx::cli
