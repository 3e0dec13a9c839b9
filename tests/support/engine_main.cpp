// GoogleTest entry point for the tests of the layers below the windows: no application
// object, and numbers read and written with '.' whatever the machine's locale says.
#include <clocale>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
