// The Debian package that the build tree makes (package_build writes it into
// KV_PACKAGE_DIR): its control fields and files, and, as root, that apt installs it from
// the dependencies already on the machine, that the installed program starts, and that
// removing it takes it away again.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

struct Result {
    int status = -1;     // exit status, or 128 + the signal that ended the command
    std::string output;  // standard output and standard error
};

Result Shell(const std::string& command) {
    Result result;
    FILE* pipe = ::popen(("(" + command + ") 2>&1").c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    const int raw = ::pclose(pipe);
    if (WIFEXITED(raw))
        result.status = WEXITSTATUS(raw);
    else if (WIFSIGNALED(raw))
        result.status = 128 + WTERMSIG(raw);
    return result;
}

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string Trim(const std::string& text) {
    const auto begin = text.find_first_not_of(" \t\n");
    const auto end = text.find_last_not_of(" \t\n");
    return begin == std::string::npos ? std::string() : text.substr(begin, end - begin + 1);
}

// The package names of a relation field: "a (>= 1), b | c" gives a, b and c.
std::set<std::string> PackageNames(const std::string& field) {
    std::set<std::string> names;
    std::istringstream alternatives(field);
    for (std::string part; std::getline(alternatives, part, ',');) {
        std::istringstream choices(part);
        for (std::string choice; std::getline(choices, choice, '|');) {
            const std::string trimmed = Trim(choice);
            const std::string name = trimmed.substr(0, trimmed.find_first_of(" (:"));
            if (!name.empty())
                names.insert(name);
        }
    }
    return names;
}

bool KorvantaInstalled() {
    return Shell("dpkg-query -W -f='${Status}' korvanta").output == "install ok installed";
}

// The command line and its manual page arrive together.
bool HasCommandLine() {
    return fs::exists(fs::path(KV_SOURCE_DIR) / "doc/korvanta.1");
}

// Width and height from a PNG file's header; 0 x 0 when it is no PNG.
std::pair<int, int> PngSize(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    unsigned char header[24] = {};
    file.read(reinterpret_cast<char*>(header), sizeof header);
    if (!file || std::string(reinterpret_cast<char*>(header) + 1, 3) != "PNG")
        return {0, 0};
    auto word = [&](int at) {
        return header[at] << 24 | header[at + 1] << 16 | header[at + 2] << 8 | header[at + 3];
    };
    return {word(16), word(20)};
}

class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "korvanta-package.XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!path_.empty())
            fs::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

class PackageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::error_code error;
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(KV_PACKAGE_DIR, error))
            if (entry.path().extension() == ".deb")
                found.push_back(entry.path());
        ASSERT_EQ(found.size(), 1u) << "one package expected in " << KV_PACKAGE_DIR
                                    << " (the package_build test writes it)";
        deb_ = found.front();
    }

    std::string Field(const std::string& name) const {
        const Result result = Shell("dpkg-deb -f " + Quote(deb_.string()) + " " + name);
        EXPECT_EQ(result.status, 0) << result.output;
        return Trim(result.output);
    }

    fs::path deb_;
};

TEST_F(PackageTest, ControlFieldsNameTheProgramAndWhatItNeedsAtRunTime) {
    const std::string architecture = Trim(Shell("dpkg --print-architecture").output);
    EXPECT_EQ(deb_.filename().string(),
              std::string("korvanta_") + KV_VERSION + "_" + architecture + ".deb");
    EXPECT_EQ(Field("Package"), "korvanta");
    EXPECT_EQ(Field("Version"), KV_VERSION);
    EXPECT_EQ(Field("Architecture"), architecture);
    EXPECT_EQ(Field("Section"), "database");
    EXPECT_NE(Field("Maintainer").find('@'), std::string::npos);
    EXPECT_NE(Field("Description").find("PostgreSQL"), std::string::npos);

    // The linked libraries come from dpkg-shlibdeps; the driver, the ODBC tools and the
    // platform plugin are loaded at run time and have to be declared by hand.
    const std::string depends = Field("Depends");
    const std::set<std::string> names = PackageNames(depends);
    for (const char* needed :
         {"odbc-postgresql", "unixodbc", "qt6-qpa-plugins", "libqt6widgets6", "libpq5"})
        EXPECT_TRUE(names.count(needed)) << needed << " missing from Depends: " << depends;
    EXPECT_TRUE(std::any_of(names.begin(), names.end(),
                            [](const std::string& name) { return name.rfind("libodbc", 0) == 0; }))
        << "no libodbc* in Depends: " << depends;
    EXPECT_TRUE(PackageNames(Field("Suggests")).count("libsqliteodbc"));
}

TEST_F(PackageTest, HoldsExactlyTheProgramItsDesktopFilesAndDocumentation) {
    const Result listing = Shell("dpkg-deb -c " + Quote(deb_.string()));
    ASSERT_EQ(listing.status, 0) << listing.output;
    std::map<std::string, std::string> files;  // path -> "mode owner"
    std::istringstream lines(listing.output);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string mode, owner, size, date, time, path;
        fields >> mode >> owner >> size >> date >> time >> path;
        if (!mode.empty() && mode[0] != 'd')
            files[path] = mode + " " + owner;
    }

    std::map<std::string, std::string> expected = {
        {"./usr/bin/korvanta", "-rwxr-xr-x root/root"},
        {"./usr/share/applications/korvanta.desktop", "-rw-r--r-- root/root"},
        {"./usr/share/doc/korvanta/copyright", "-rw-r--r-- root/root"},
        {"./usr/share/doc/korvanta/README.md.gz", "-rw-r--r-- root/root"},
    };
    for (const char* size : {"32x32", "48x48", "128x128", "256x256"})
        expected[std::string("./usr/share/icons/hicolor/") + size + "/apps/korvanta.png"] =
            "-rw-r--r-- root/root";
    if (HasCommandLine())
        expected["./usr/share/man/man1/korvanta.1"] = "-rw-r--r-- root/root";
    EXPECT_EQ(files, expected);

    // Each icon in the folder of its own size, and the launcher naming what is installed.
    TempFolder unpacked;
    ASSERT_FALSE(unpacked.path().empty());
    const Result extract =
        Shell("dpkg-deb -x " + Quote(deb_.string()) + " " + Quote(unpacked.path().string()));
    ASSERT_EQ(extract.status, 0) << extract.output;
    for (int size : {32, 48, 128, 256}) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        EXPECT_EQ(
            PngSize(unpacked.path() / "usr/share/icons/hicolor" / folder / "apps/korvanta.png"),
            std::make_pair(size, size))
            << folder;
    }
    std::ifstream desktop(unpacked.path() / "usr/share/applications/korvanta.desktop");
    std::map<std::string, std::string> entry;
    for (std::string line; std::getline(desktop, line);)
        if (const auto equals = line.find('='); equals != std::string::npos)
            entry[line.substr(0, equals)] = line.substr(equals + 1);
    const std::string exec = entry["Exec"].substr(0, entry["Exec"].find(' '));
    EXPECT_TRUE(fs::exists(unpacked.path() / "usr/bin" / exec)) << "Exec=" << entry["Exec"];
    EXPECT_EQ(entry["Icon"], "korvanta");
}

TEST_F(PackageTest, InstallsStartsAndIsRemovedAgain) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "installing a package needs root (CI runs the tests as root); "
                        "the package's fields and files were checked all the same";
    if (Shell("command -v apt-get").status != 0)
        GTEST_SKIP() << "apt-get is not available, so the package cannot be installed here";
    if (KorvantaInstalled())
        GTEST_SKIP() << "korvanta is already installed on this machine; the test would "
                        "replace it and then remove it";

    // Without this, a dependency that the machine lacks would send apt to the network.
    const std::string deb = Quote(deb_.string());
    const Result plan = Shell("apt-get install -s --no-install-recommends " + deb + " </dev/null");
    ASSERT_EQ(plan.status, 0) << plan.output;
    std::string missing;
    std::istringstream planned(plan.output);
    for (std::string line; std::getline(planned, line);)
        if (line.rfind("Inst ", 0) == 0 && line.rfind("Inst korvanta ", 0) != 0)
            missing += "\n" + line;
    ASSERT_TRUE(missing.empty()) << "dependencies that scripts/deps does not install:" << missing;

    const Result install = Shell(
        "DEBIAN_FRONTEND=noninteractive timeout 300 apt-get install -y -q "
        "--no-install-recommends -o Dpkg::Use-Pty=0 " +
        deb + " </dev/null");
    struct Purge {
        // Also a package that apt left half installed.
        ~Purge() {
            Shell("DEBIAN_FRONTEND=noninteractive timeout 120 dpkg --purge korvanta </dev/null");
        }
    } purgeWhateverHappens;
    ASSERT_EQ(install.status, 0) << install.output;
    ASSERT_TRUE(KorvantaInstalled()) << install.output;

    // The program as a user would start it, with a settings folder of its own.
    TempFolder home;
    ASSERT_FALSE(home.path().empty());
    fs::create_directories(home.path() / "runtime");
    fs::permissions(home.path() / "runtime", fs::perms::owner_all);
    const std::string environment =
        "cd " + Quote(home.path().string()) + " && env QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=" +
        Quote((home.path() / "config").string()) +
        " XDG_RUNTIME_DIR=" + Quote((home.path() / "runtime").string()) + " ";
    constexpr int kStillRunning = 124;  // timeout ended the program at the deadline
    const Result help = Shell(environment + "timeout -k 5 10 /usr/bin/korvanta --help </dev/null");
    // --help must answer and end with exit status 0. The command line arrives together with
    // doc/korvanta.1; a program without both knows no options and opens its window, which
    // is still running at the deadline.
    if (HasCommandLine())
        EXPECT_EQ(help.status, 0) << help.output;
    else
        EXPECT_TRUE(help.status == 0 || help.status == kStillRunning) << help.status << "\n"
                                                                      << help.output;
    // --version either prints the version and ends with 0, or opens the window.
    const Result version =
        Shell(environment + "timeout -k 5 10 /usr/bin/korvanta --version </dev/null");
    if (version.status == 0)
        EXPECT_NE(version.output.find(KV_VERSION), std::string::npos) << version.output;
    else
        EXPECT_EQ(version.status, kStillRunning) << version.output;

    const Result remove =
        Shell("DEBIAN_FRONTEND=noninteractive timeout 120 dpkg --purge korvanta </dev/null");
    EXPECT_EQ(remove.status, 0) << remove.output;
    EXPECT_FALSE(KorvantaInstalled());
    EXPECT_FALSE(fs::exists("/usr/bin/korvanta"));
}

}  // namespace
