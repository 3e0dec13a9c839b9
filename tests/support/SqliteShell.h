#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>

namespace testdb {

// The sqlite3 shell in a process of its own, fed statements one by one: what it starts
// (a transaction and its locks) stays until it is told otherwise or ends.
class SqliteShell {
  public:
    explicit SqliteShell(const std::string& file)
        : output_(file + "." + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + ".out") {
        const std::string command = "sqlite3 -batch '" + file + "' > '" + output_ + "' 2>&1";
        pipe_ = popen(command.c_str(), "w");
        if (pipe_ == nullptr)
            throw std::runtime_error("cannot start sqlite3");
    }
    ~SqliteShell() {
        std::fputs(".quit\n", pipe_);
        pclose(pipe_);
        std::remove(output_.c_str());
    }
    SqliteShell(const SqliteShell&) = delete;
    SqliteShell& operator=(const SqliteShell&) = delete;

    // Runs the statements, then waits until the shell has answered that it got there.
    void Run(const std::string& sql) {
        std::fputs((sql + "\nselect 'done " + std::to_string(++runs_) + "';\n").c_str(), pipe_);
        std::fflush(pipe_);
        const std::string mark = "done " + std::to_string(runs_);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (Output().find(mark) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline)
                throw std::runtime_error("sqlite3 did not answer: " + Output());
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    std::string Output() const {
        std::ifstream in(output_);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

  private:
    std::string output_;
    FILE* pipe_ = nullptr;
    int runs_ = 0;
};

}  // namespace testdb
