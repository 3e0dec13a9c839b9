#pragma once

#include <string>

namespace korvanta {

// A column of a table as SELECT * describes it through the driver.
struct SourceField {
    std::string name;
    int type;                    // ADO type code
    std::string nativeTypeName;  // the source's own name of the type
};

}  // namespace korvanta
