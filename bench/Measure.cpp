#include "Measure.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace {
long long StatusField(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0)
            return std::stoll(line.substr(field.size() + 1)) * 1024;
    }
    return -1;
}
}  // namespace

long long PeakResidentBytes() {
    return StatusField("VmHWM");
}
long long ResidentBytes() {
    return StatusField("VmRSS");
}

void ResetPeakResident() {
    // Writing 5 to clear_refs resets the peak resident set size (Linux 4.0 and later).
    std::ofstream("/proc/self/clear_refs") << "5";
}

std::string Run(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        throw std::runtime_error("cannot run: " + command);
    std::string out;
    std::array<char, 4096> buffer{};
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        out.append(buffer.data(), n);
    if (pclose(pipe) != 0)
        throw std::runtime_error("failed: " + command + "\n" + out);
    return out;
}
