#pragma once

#include <chrono>
#include <string>

// Wall-clock seconds since construction.
class Stopwatch {
  public:
    Stopwatch() : start_(std::chrono::steady_clock::now()) {}
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

  private:
    std::chrono::steady_clock::time_point start_;
};

// Peak resident memory of this process so far, in bytes (VmHWM).
long long PeakResidentBytes();
// Resident memory now, in bytes (VmRSS).
long long ResidentBytes();
// Forgets the peak so far, so the next peak belongs to what follows.
void ResetPeakResident();

// Runs a shell command, returns its standard output; throws when it fails.
std::string Run(const std::string& command);
