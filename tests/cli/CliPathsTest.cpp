// Every path a user gives is a regular file or a missing one: never a device, a FIFO or a
// folder, never a symbolic link followed to write, read with a bound, kept byte for byte,
// and one file never serves two roles. Each case runs the built program and then checks
// that nothing outside was touched.
#include <sys/file.h>
#include <sys/stat.h>

#include "cli/CliTestSupport.h"

using namespace clitest;

namespace {

struct PathCase {
    const char* option;  // the option given the path
    const char* kind;    // what stands at the path
    bool resume;         // --resume (the state is read) rather than a fresh send
    int status;          // the exit status
    const char* says;    // part of the message on standard error
};

const PathCase kCases[] = {
    {"--state", "device", false, 2, "it is a device"},
    {"--state", "device", true, 64, "it is a device"},
    {"--state", "zero", true, 64, "it is a device"},
    {"--state", "fifo", false, 2, "it is a FIFO"},
    {"--state", "fifo", true, 64, "it is a FIFO"},
    {"--state", "link", false, 2, "symbolic link"},
    {"--state", "folder", false, 2, "it is a folder"},
    {"--reject-file", "device", false, 2, "it is a device"},
    {"--reject-file", "fifo", false, 2, "it is a FIFO"},
    {"--reject-file", "link", false, 2, "symbolic link"},
    {"--summary-json", "link", false, 2, "symbolic link"},
    {"--summary-json", "folder", false, 2, "it is a folder"},
    {"--plan", "fifo", false, 64, "it is a FIFO"},
    {"--plan", "device", false, 64, "it is a device"},
    {"--plan", "folder", false, 64, "it is a folder"},
};

class CliPaths : public ::testing::Test {
  protected:
    // What stands at the path of the kind; the file a link points to is `aside`.
    std::string Place(const std::string& kind) {
        const std::string path = program_.Dir() + "/" + kind + "-" + std::to_string(++made_);
        if (kind == "device")
            return "/dev/null";
        if (kind == "zero")
            return "/dev/zero";
        int made = 0;
        if (kind == "fifo")
            made = ::mkfifo(path.c_str(), 0600);
        else if (kind == "folder")
            made = ::mkdir(path.c_str(), 0700);
        else if (kind == "link")
            made = ::symlink(aside_.c_str(), path.c_str());
        EXPECT_EQ(made, 0) << kind;
        return path;
    }

    void SetUp() override {
        table_ = testdb::uniqueName("cli_paths");
        testdb::sqlite("CREATE TABLE " + table_ + "(id INTEGER); INSERT INTO " + table_ +
                       " VALUES (1);");
        aside_ = program_.Dir() + "/aside.txt";
        WriteFile(aside_, "keep me");
    }

    Program program_;
    std::string table_, aside_;
    int made_ = 0;
};

TEST_F(CliPaths, APathIsARegularFileOrMissingAndNothingOutsideIsTouched) {
    for (const PathCase& c : kCases) {
        SCOPED_TRACE(std::string(c.option) + " " + c.kind + (c.resume ? " --resume" : ""));
        const std::string path = Place(c.kind);
        std::vector<std::string> args = {"send",        "--to",    "postgresql", table_,
                                         "--if-exists", "replace", "--timeout",  "20"};
        if (std::string(c.option) == "--plan")
            args = {"send", "--plan", path, "--timeout", "20"};
        else
            args.insert(args.end(), {c.option, path});
        if (c.resume)
            args.push_back("--resume");
        const auto start = std::chrono::steady_clock::now();
        const Result r = program_.Run(args);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        struct stat info {};
        ASSERT_EQ(::stat("/dev/null", &info), 0);
        EXPECT_TRUE(S_ISCHR(info.st_mode)) << "/dev/null is no longer a device";
        EXPECT_EQ(ReadFile(aside_), "keep me");
        // Nothing was sent: a path that cannot serve stops the send before any table.
        EXPECT_EQ(testdb::psql("SELECT count(*) FROM pg_class WHERE relname = '" + table_ + "'"),
                  std::vector<std::string>{"0"});
    }
}

// One file in two roles would have one overwrite the other; a state path that is not UTF-8
// is kept byte for byte.
TEST_F(CliPaths, OneFileServesOneRoleAndItsBytesAreKept) {
    const std::string file = program_.Dir() + "/both.json";
    const std::string link = program_.Dir() + "/both-link.json";
    WriteFile(file, "{}");
    ASSERT_EQ(::symlink(file.c_str(), link.c_str()), 0);
    for (const auto& pair :
         std::vector<std::vector<std::string>>{{"--reject-file", file, "--summary-json", file},
                                               {"--reject-file", file, "--summary-json", link},
                                               {"--state", file, "--plan", file}}) {
        // A plan names the tables itself.
        std::vector<std::string> args = {"send", "--to", "postgresql"};
        if (pair[2] != "--plan")
            args.push_back(table_);
        args.insert(args.end(), pair.begin(), pair.end());
        const Result r = program_.Run(args);
        EXPECT_EQ(r.status, 64) << r.err;
        EXPECT_NE(r.err.find("name the same file"), std::string::npos) << r.err;
        EXPECT_EQ(ReadFile(file), "{}");
    }
    const std::string bytes = program_.Dir() + "/state-\xff\xfe.json";
    const Result sent = program_.Run({"send", "--to", "postgresql", table_, "--state", bytes});
    EXPECT_EQ(sent.status, 0) << sent.err;
    struct stat info {};
    EXPECT_EQ(::stat(bytes.c_str(), &info), 0) << "the state is not where it was asked";
    testdb::psql("DROP TABLE IF EXISTS " + Ident(table_));
}

// Two sends never carry on one state: while one holds it (its lock beside the file), another
// --resume, or a fresh send of the same state, is refused and touches nothing.
TEST_F(CliPaths, OneStateServesOneSendAtATime) {
    const std::string state = program_.Dir() + "/held.json";
    const Result first = program_.Run({"send", "--to", "postgresql", table_, "--state", state});
    ASSERT_EQ(first.status, 0) << first.err;
    const std::string before = ReadFile(state);
    const int lock = ::open((state + ".lock").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);  // as a running send holds it
    for (const bool resume : {true, false}) {
        std::vector<std::string> args = {"send",        "--to",    "postgresql", table_,
                                         "--if-exists", "replace", "--state",    state};
        if (resume)
            args.push_back("--resume");
        const Result r = program_.Run(args);
        EXPECT_EQ(r.status, resume ? 64 : 2) << r.err;
        EXPECT_NE(r.err.find("another send is using the state file"), std::string::npos) << r.err;
        EXPECT_EQ(ReadFile(state), before);
    }
    ::close(lock);
    const Result after = program_.Run(
        {"send", "--to", "postgresql", table_, "--if-exists", "replace", "--state", state});
    EXPECT_EQ(after.status, 0) << after.err;
    testdb::psql("DROP TABLE IF EXISTS " + Ident(table_));
}

}  // namespace
