#include "app_id.h"
#include "config_editor.h"
#include "dialogs.h"
#include "main_window.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("MX_config");
    QGuiApplication::setDesktopFileName(mx::AppId);

    mx::MainWindow window;
    mx::QtDialogs dialogs;
    mx::ConfigEditor editor(window, dialogs);
    if (!editor.Form_Load()) {
        return 0;
    }
    window.show();
    return QApplication::exec();
}
