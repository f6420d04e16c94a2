// --help, --version and refused arguments of the three programs, and calventa-cli's checks of
// its options before it runs.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../case_name.h"
#include "core/program_texts.h"
#include "../platform/linux_test_support.h"

namespace {

struct ProgramRun
{
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string ReadAll(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Runs `command` through the shell, standard output and standard error apart. Without a
// display and on the demo board, so that nothing here depends on the machine.
ProgramRun RunProgram(const std::string& command)
{
    char pattern[] = "/tmp/calventa-args-XXXXXX";
    const int fd = mkstemp(pattern);
    ProgramRun run;
    if (fd < 0) {
        return run;
    }
    close(fd);
    const std::string full =
        "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM CALVENTA_BOARD=" + std::string(CALVENTA_SOURCE_DIR) +
        "/boards/demo.json " + command + " 2>" + pattern;
    const auto shell = calventa::platform::linux_backend::testing::RunShell(full);
    run.exitCode = shell.exitCode;
    run.out = shell.out;
    run.err = ReadAll(pattern);
    unlink(pattern);
    return run;
}

long Lines(const std::string& text)
{
    return std::count(text.begin(), text.end(), '\n');
}

struct Program
{
    const char* name;
    const char* path;
};

std::vector<Program> Programs()
{
    std::vector<Program> programs = {{"calventa-cli", CALVENTA_CLI_PATH}, {"calventasvc", CALVENTA_SERVICE_PATH}};
#ifdef CALVENTA_DESKTOP_PATH
    programs.push_back({"calventa", CALVENTA_DESKTOP_PATH}); // --help must not need a display
#endif
    return programs;
}

std::string ProgramCaseName(const ::testing::TestParamInfo<Program>& info)
{
    return calventa::testnames::CaseName(info.param.name);
}

class EveryProgram : public ::testing::TestWithParam<Program>
{
};

TEST_P(EveryProgram, HelpPrintsUsageOnStandardOutputAndSucceeds)
{
    const ProgramRun run = RunProgram(std::string(GetParam().path) + " --help");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.rfind("usage: " + std::string(GetParam().name) + " ", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("--version"), std::string::npos) << run.out;
    EXPECT_EQ(run.err, "");
}

TEST_P(EveryProgram, VersionPrintsNameAndVersion)
{
    const ProgramRun run = RunProgram(std::string(GetParam().path) + " --version");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, std::string(GetParam().name) + " " + CALVENTA_VERSION + "\n");
    EXPECT_EQ(run.err, "");
}

INSTANTIATE_TEST_SUITE_P(Programs, EveryProgram, ::testing::ValuesIn(Programs()), ProgramCaseName);

TEST(ProgramVersion, TheWindowsShowTheVersionTheProgramsPrint)
{
    EXPECT_EQ(calventa::core::ProgramVersion(), CALVENTA_VERSION);
}

TEST(CalventasvcArguments, RefusesUnknownAndRepeatedArgumentsWithOneLine)
{
    for (const char* arguments : {"--bogus", "--silent --silent", "--install --uninstall"}) {
        const ProgramRun run = RunProgram(std::string(CALVENTA_SERVICE_PATH) + " " + arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments;
        EXPECT_EQ(run.out, "") << arguments;
        EXPECT_EQ(Lines(run.err), 1) << arguments << ": " << run.err;
    }
}

#ifdef CALVENTA_DESKTOP_PATH
// The desktop program says why it will not start in one line, and never aborts.
TEST(CalventaArguments, MistypedOptionIsRefusedWithOneLineAndStatus2)
{
    for (const char* arguments : {"--versoin", "-x", "--help2"}) {
        const ProgramRun run = RunProgram(std::string(CALVENTA_DESKTOP_PATH) + " " + arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments;
        EXPECT_EQ(run.out, "") << arguments;
        EXPECT_EQ(Lines(run.err), 1) << arguments << ": " << run.err;
        EXPECT_NE(run.err.find(arguments), std::string::npos) << run.err;
    }
}

TEST(CalventaArguments, WithoutADisplayEveryWordSaysWhyInsteadOfAborting)
{
    // The mode words and Qt's own options get as far as the window, and stop there.
    for (const char* arguments : {"", "test", "fancontrol", "debug", "Test", "-style fusion"}) {
        const ProgramRun run = RunProgram(std::string(CALVENTA_DESKTOP_PATH) + " " + arguments);
        EXPECT_EQ(run.exitCode, 1) << arguments << ": " << run.err;
        EXPECT_EQ(run.out, "") << arguments;
        EXPECT_EQ(Lines(run.err), 1) << arguments << ": " << run.err;
        EXPECT_NE(run.err.find("no display"), std::string::npos) << run.err;
    }
}

TEST(CalventaArguments, UnreachableDisplaySaysWhyInsteadOfAborting)
{
    const ProgramRun run = RunProgram("DISPLAY=:97531 " + std::string(CALVENTA_DESKTOP_PATH));
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(Lines(run.err), 1) << run.err;
    EXPECT_NE(run.err.find(":97531"), std::string::npos) << run.err;
}

TEST(CalventaArguments, InstallAsANormalUserSaysItNeedsRoot)
{
    for (const char* word : {"install", "uninstall"}) {
        const std::string command = "setpriv --reuid=65534 --regid=65534 --clear-groups env XDG_CONFIG_HOME=/nonexistent "
                                    "CALVENTA_REGISTRY_ROOT=/nonexistent " +
                                    std::string(CALVENTA_DESKTOP_PATH) + " " + word;
        const ProgramRun run = RunProgram(command);
        EXPECT_EQ(run.exitCode, 1) << word << ": " << run.err;
        EXPECT_EQ(Lines(run.err), 1) << word << ": " << run.err;
        EXPECT_NE(run.err.find("needs root"), std::string::npos) << word << ": " << run.err;
    }
}
#endif

// calventa-cli refuses bad input before it runs: one line on standard error, nothing on
// standard output. `{dir}` stands for a fresh directory, `{file}` for a file in it.
struct BadInput
{
    const char* name;
    const char* arguments;
    const char* message; // part of the line
    int exitCode;
};

class CliBadInput : public ::testing::TestWithParam<BadInput>
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/calventa-cli-args-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        std::ofstream(dir + "/file") << "x";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string Expand(std::string text) const
    {
        for (const auto& [key, value] :
             {std::pair<std::string, std::string>{"{dir}", dir}, {"{file}", dir + "/file"}}) {
            for (size_t at = text.find(key); at != std::string::npos; at = text.find(key)) {
                text.replace(at, key.size(), value);
            }
        }
        return text;
    }

    std::string dir;
};

TEST_P(CliBadInput, SaysWhatIsWrongOnOneLineAndPrintsNothingElse)
{
    const ProgramRun run = RunProgram("XDG_CONFIG_HOME=" + dir + " CALVENTA_REGISTRY_ROOT=" + dir + "/registry " +
                                      CALVENTA_CLI_PATH + " " + Expand(GetParam().arguments));
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Lines(run.err), 1) << run.err;
    EXPECT_EQ(run.err.rfind("calventa-cli: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(Expand(GetParam().message)), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir + "/missing"));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CliBadInput,
    ::testing::Values(BadInput{"unknown option", "--bogus", "unknown argument --bogus", 2},
                      BadInput{"word without dashes", "json", "unknown argument json", 2},
                      BadInput{"repeated flag", "--json --json", "--json given more than once", 2},
                      BadInput{"repeated value option", "--passes 1 --passes 2", "--passes given more than once", 2},
                      BadInput{"passes not a number", "--passes many", "\"many\"", 2},
                      BadInput{"passes negative", "--passes -1", "from 0 to 999999", 2},
                      BadInput{"passes above range", "--passes 1000000", "from 0 to 999999", 2},
                      BadInput{"passes without value", "--passes", "--passes needs a value", 2},
                      BadInput{"mode in capitals", "--mode Test", "--mode takes test, debug or fancontrol", 2},
                      BadInput{"missing directory", "--dir {dir}/missing", "{dir}/missing: No such file", 1},
                      BadInput{"directory is a file", "--dir {file}", "{file}: not a directory", 1},
                      BadInput{"debug into missing directory", "--mode debug --dir {dir}/missing",
                               "{dir}/missing: No such file", 1},
                      BadInput{"bad option after good ones", "--json --passes 2 --frobnicate", "--frobnicate", 2}),
    [](const ::testing::TestParamInfo<BadInput>& testCase) {
        return calventa::testnames::CaseName(testCase.param.name);
    });

TEST(CliDirectory, RefusesADirectoryTheUserCannotWrite)
{
    if (getuid() != 0) {
        GTEST_SKIP() << "needs root to hand a directory to another user";
    }
    char pattern[] = "/tmp/calventa-cli-ro-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        dup2(fds[1], STDERR_FILENO);
        calventa::platform::linux_backend::testing::BecomeUnprivileged();
        const std::string board = std::string("CALVENTA_BOARD=") + CALVENTA_SOURCE_DIR + "/boards/demo.json";
        execl("/usr/bin/env", "env", board.c_str(), "XDG_CONFIG_HOME=/nonexistent",
              "CALVENTA_REGISTRY_ROOT=/nonexistent", CALVENTA_CLI_PATH, "--dir", dir.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string err;
    std::array<char, 4096> buffer{};
    ssize_t count = 0;
    while ((count = read(fds[0], buffer.data(), buffer.size())) > 0) {
        err.append(buffer.data(), static_cast<size_t>(count));
    }
    close(fds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    std::filesystem::remove_all(dir);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << err;
    EXPECT_EQ(err, "calventa-cli: --dir " + dir + ": not writable: Permission denied\n");
}

} // namespace
