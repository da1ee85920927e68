// Takes the X11 clipboard and then answers no one, as a program that hangs
// while it owns the clipboard does. Prints "ready" once it owns it.

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QGuiApplication::clipboard()->setText("Channel 1");
    QTest::qWait(300);
    std::puts(QGuiApplication::clipboard()->ownsClipboard() ? "ready" : "not the owner");
    std::fflush(stdout);
    ::sleep(60);
}
