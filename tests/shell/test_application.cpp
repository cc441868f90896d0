#include "test_application.h"

#include <QApplication>

namespace zolk::shell::test {

void ensureApplication() {
    static int argc = 1;
    static char name[] = "shell_test";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() != nullptr) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: it must outlive every test and the static objects Qt tears down at exit.
    new QApplication(argc, argv);
}

}  // namespace zolk::shell::test
