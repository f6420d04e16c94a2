#include <gtest/gtest.h>

#include "platform/windows/windows_mutex.h"
#include "windows_test_support.h"

namespace calventa::platform::windows_backend {
namespace {

using namespace std::chrono_literals;
using testwin::Process;
using testwin::Signal;
using testwin::Since;
using testwin::Unique;

std::string Helper()
{
    return testwin::Quoted(testwin::WindowsPath(CALVENTA_WINDOWS_TEST_HELPER));
}

// The bus mutexes' real names in one test, unique ones in the others: a monitor on the
// machine must not see test holders, and the tests must not wait for each other.
TEST(WindowsBusMutex, AnotherProcessHoldingTheMutexMakesTheWaitLastUntilItReleases)
{
    const std::string name = Unique("Access_ISABUS.HTP.Method.test");
    const std::string ready = Unique("ready");
    Signal signal(ready);
    Process holder(Helper() + " hold-mutex " + name + " " + ready + " 1500");
    ASSERT_TRUE(holder.Started());
    ASSERT_TRUE(signal.WaitMs(30000));

    WindowsMutexFactory factory;
    auto mutex = factory.CreateNamedMutex(name);
    ASSERT_NE(mutex, nullptr);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(mutex->Wait(kBusMutexTimeoutMs));
    const auto waited = Since(start);
    EXPECT_GE(waited, 500ms);
    EXPECT_LT(waited, 4900ms);
    mutex->Release();
    EXPECT_EQ(holder.Wait(10000), 0);
}

TEST(WindowsBusMutex, AHolderThatKeepsItPastFiveSecondsMakesTheWaitFail)
{
    const std::string name = Unique("Access_SMBUS.HTP.Method.test");
    const std::string ready = Unique("ready");
    Signal signal(ready);
    Process holder(Helper() + " hold-mutex " + name + " " + ready + " 8000");
    ASSERT_TRUE(signal.WaitMs(30000));

    WindowsMutexFactory factory;
    auto mutex = factory.CreateNamedMutex(name);
    ASSERT_NE(mutex, nullptr);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(mutex->Wait(kBusMutexTimeoutMs));
    const auto waited = Since(start);
    EXPECT_GE(waited, 4900ms);
    EXPECT_LT(waited, 7500ms);
    mutex->Release(); // not owned: must not disturb the holder
    EXPECT_EQ(holder.Wait(20000), 0);
}

TEST(WindowsBusMutex, AMutexAbandonedByADeadHolderIsOwnedAtOnce)
{
    const std::string name = Unique("Access_ISABUS.HTP.Method.test");
    const std::string ready = Unique("ready");
    Signal signal(ready);
    Process holder(Helper() + " abandon-mutex " + name + " " + ready);
    ASSERT_TRUE(signal.WaitMs(30000));
    // Opened while the holder lives: a mutex whose last handle closes would be gone, not abandoned.
    WindowsMutexFactory factory;
    auto mutex = factory.CreateNamedMutex(name);
    ASSERT_NE(mutex, nullptr);
    ASSERT_EQ(holder.Wait(30000), 0);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(mutex->Wait(kBusMutexTimeoutMs));
    EXPECT_LT(Since(start), 1000ms);
    mutex->Release();
}

TEST(WindowsBusMutex, TheBusNamesAreSharedAndReleasedOnDestruction)
{
    WindowsMutexFactory factory;
    auto first = factory.CreateNamedMutex(kIsaMutexName);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->Wait(0));
    // Owned twice by the same thread, as the system counts it.
    EXPECT_TRUE(first->Wait(0));
    first.reset(); // releases both before closing, so nobody finds it abandoned

    HANDLE other = CreateMutexW(nullptr, FALSE, L"Access_ISABUS.HTP.Method");
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(WaitForSingleObject(other, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    ReleaseMutex(other);
    CloseHandle(other);

    EXPECT_EQ(factory.CreateNamedMutex("bad\\name\\here"), nullptr);
    EXPECT_FALSE(factory.CreationError().empty());
}

} // namespace
} // namespace calventa::platform::windows_backend
