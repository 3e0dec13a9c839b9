// GoogleTest entry point for every test program: widgets need a QApplication, and
// numbers must be read and written with '.' whatever the machine's locale says.
#include <clocale>

#include <gtest/gtest.h>
#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // QApplication sets the C library's locale from the environment; undo that for numbers.
    std::setlocale(LC_NUMERIC, "C");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
