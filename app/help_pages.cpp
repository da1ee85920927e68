#include "help_pages.h"

#include "app_id.h"

namespace mx {

QString keysHelpText() {
    return "Keys\n"
           "  Tab, Shift+Tab        the next or previous control, group by group\n"
           "  Space                 turn the box with the focus on or off\n"
           "  Up, Down              the channel list: another channel\n"
           "  Ctrl+O                Open another unit's folder\n"
           "  Ctrl+S                Save into the unit's folder\n"
           "  Ctrl+Shift+S          Save As: into another folder\n"
           "  Ctrl+C                Copy the shown channel\n"
           "  Ctrl+V                Paste it to the shown channel\n"
           "  Ctrl+Shift+V          Paste to all channels\n"
           "  Ctrl+Z, Ctrl+Shift+Z  Undo, Redo (Ctrl+Y too)\n"
           "  Ctrl+P                Print the sheet\n"
           "  Ctrl+E                Export the sheet as PDF\n"
           "  Ctrl+D                Compare with another unit or a text file\n"
           "  F8, Shift+F8          the next or previous channel that differs\n"
           "  Shift+F10, Menu key   the menu of edits at the focus\n"
           "  F1                    this page\n"
           "  Ctrl+Q                Quit, asking first whether to save\n"
           "  Alt+F, E, C, H        the File, Edit, Compare and Help menus\n"
           "\n"
           "Mouse\n"
           "  A click on a box      turns it on or off\n"
           "  A right click         the menu of edits, on a box, a group or the channel list\n"
           "\n"
           "What the boxes show\n"
           "  A greyed box          a switch that cannot act on itself, or a bit the\n"
           "                        hardware ignores there; it keeps what the files hold\n"
           "  A frame round a box   while comparing: the other configuration differs\n"
           "                        there; its tip says how\n"
           "  An underlined channel while comparing: that channel differs somewhere\n"
           "  [*] or * in the title unsaved changes\n";
}

QString aboutText(const QString& recoveryFolder, const QString& recentFile) {
    return QString("MX_config %1\n"
                   "Edits the switch and recall configuration of an eight-channel microphone "
                   "control unit: the files switches.mx and settings.cmx in a unit's folder.\n"
                   "\n"
                   "Licence: MIT (Expat). The whole text is in the copyright file that comes "
                   "with the program (/usr/share/doc/mx-config/copyright on Debian).\n"
                   "\n"
                   "Unsaved changes are kept for recovery in:\n  %2\n"
                   "The list of recent units is kept in:\n  %3\n")
        .arg(AppVersion, recoveryFolder, recentFile);
}

} // namespace mx
