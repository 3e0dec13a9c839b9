#include "app/ProgramEnd.h"

#include <cstdio>
#include <cstdlib>

namespace korvanta {

void EndProgram() {
    std::fflush(nullptr);
    std::_Exit(0);
}

}  // namespace korvanta
