// calventa-cli's one snapshot when standard output cannot take it: a full device or a
// closed descriptor is one line on standard error and status 1, in every format.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "../platform/linux_test_support.h"

namespace {

using calventa::platform::linux_backend::testing::ReadText;
using calventa::platform::linux_backend::testing::RunShell;
using calventa::platform::linux_backend::testing::TempDir;

struct SinkCase
{
    const char* name;
    const char* format;      // calventa-cli's format arguments
    const char* redirection; // what the shell does to standard output
    const char* error;       // the reason in the message
};

class CliOutputSink : public ::testing::TestWithParam<SinkCase>
{
};

// Standard error goes to the pipe the test reads, standard output where the case says.
TEST_P(CliOutputSink, FailingStandardOutputIsOneLineOnStandardErrorAndStatusOne)
{
    TempDir dir;
    const std::string board = std::string(CALVENTA_SOURCE_DIR) + "/boards/demo.json";
    // Debug mode opens debug.txt after start: a closed descriptor 1 must not become that file.
    const auto run =
        RunShell("CALVENTA_BOARD=" + board + " CALVENTA_REGISTRY_ROOT=" + dir / "registry" + " " + CALVENTA_CLI_PATH +
                 " " + GetParam().format + " --mode debug --dir " + dir.Path() + " 2>&1 " + GetParam().redirection);
    EXPECT_EQ(run.exitCode, 1) << run.out;
    EXPECT_EQ(run.out, std::string("calventa-cli: cannot write standard output: ") + GetParam().error + "\n");
    const std::string log = ReadText(dir / "debug.txt");
    EXPECT_NE(log.find("Log closed"), std::string::npos);
    EXPECT_EQ(log.find("°C"), std::string::npos) << "the snapshot went into debug.txt";
}

INSTANTIATE_TEST_SUITE_P(
    Formats, CliOutputSink,
    ::testing::Values(SinkCase{"PlainOnAFullDevice", "", ">/dev/full", "No space left on device"},
                      SinkCase{"JsonOnAFullDevice", "--json", ">/dev/full", "No space left on device"},
                      SinkCase{"MetricsOnAFullDevice", "--format prometheus", ">/dev/full", "No space left on device"},
                      SinkCase{"PlainWithOutputClosed", "", ">&-", "Bad file descriptor"},
                      SinkCase{"JsonWithOutputClosed", "--json", ">&-", "Bad file descriptor"},
                      SinkCase{"MetricsWithOutputClosed", "--format prometheus", ">&-", "Bad file descriptor"}),
    [](const ::testing::TestParamInfo<SinkCase>& param) { return std::string(param.param.name); });

// With --textfile alone nothing goes to standard output, so a closed one is no error.
TEST(CliOutputSink, TextfileAloneDoesNotNeedStandardOutput)
{
    TempDir dir;
    const std::string board = std::string(CALVENTA_SOURCE_DIR) + "/boards/demo.json";
    const auto run =
        RunShell("CALVENTA_BOARD=" + board + " CALVENTA_REGISTRY_ROOT=" + dir / "registry" + " " + CALVENTA_CLI_PATH +
                 " --dir " + dir.Path() + " --textfile " + dir / "cv.prom" + " 2>&1 >&-");
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(ReadText(dir / "cv.prom").find("calventa_"), std::string::npos);
}

} // namespace
