#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/port_driver_install.h"
#include "core/monitor_state.h"
#include "core/program_store_access.h"
#include "platform/windows/windows_platform.h"
#include "windows_test_support.h"

namespace calventa::platform::windows_backend {
namespace {

namespace fs = std::filesystem;

// The real service manager with the disk service hidden: the service test may have it
// installed at the same time.
class DriverOnlyServices : public ServiceManager
{
public:
    explicit DriverOnlyServices(ServiceManager& real) : m_real(real) {}
    std::unique_ptr<ServiceManagerConnection> Connect() override { return Wrap(m_real.Connect()); }
    std::unique_ptr<ServiceManagerConnection> ConnectForChanges() override { return Wrap(m_real.ConnectForChanges()); }

private:
    class Connection : public ServiceManagerConnection
    {
    public:
        explicit Connection(std::unique_ptr<ServiceManagerConnection> real) : m_real(std::move(real)) {}
        std::unique_ptr<ServiceHandle> OpenService(const std::string& name) override
        {
            return name == kDiskServiceName ? nullptr : m_real->OpenService(name);
        }

    private:
        std::unique_ptr<ServiceManagerConnection> m_real;
    };
    static std::unique_ptr<ServiceManagerConnection> Wrap(std::unique_ptr<ServiceManagerConnection> real)
    {
        return real ? std::make_unique<Connection>(std::move(real)) : nullptr;
    }
    ServiceManager& m_real;
};

struct DriverConfig
{
    DWORD type = 0;
    DWORD start = 0;
    DWORD errorControl = 0;
    std::string path;
};

std::optional<DriverConfig> ConfigOf(const std::string& name)
{
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = OpenServiceW(manager, WideFromUtf8(name).c_str(), SERVICE_QUERY_CONFIG);
    std::optional<DriverConfig> config;
    if (service != nullptr) {
        std::vector<uint8_t> buffer(8192);
        DWORD needed = 0;
        auto* raw = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
        if (QueryServiceConfigW(service, raw, static_cast<DWORD>(buffer.size()), &needed)) {
            config = DriverConfig{raw->dwServiceType, raw->dwStartType, raw->dwErrorControl,
                                  Utf8FromWide(raw->lpBinaryPathName, wcslen(raw->lpBinaryPathName))};
        }
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return config;
}

std::string Text(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class PortDriverOnWindows : public ::testing::Test
{
protected:
    PortDriverOnWindows()
        : m_root(fs::temp_directory_path() / testwin::Unique("calventa-install")), m_program(m_root / "Calventa"),
          m_system(m_root / "system32"), m_service(testwin::Unique("calventatest_giveio_"))
    {
        fs::create_directories(m_program / "drv");
        fs::create_directories(m_system / "drivers");
        std::ofstream(m_program / "settings.dat") << "settings";
        m_keys.programKey = "Software\\CalventaTest\\" + testwin::Unique("Install");
        WindowsProgramStore store(m_keys);
        store.OpenKey(StoreKeyId::Program, kKeyWrite, true)->WriteString(core::kPathValue, m_program.string());
    }
    ~PortDriverOnWindows() override
    {
        WindowsProgramStore::DeleteTree(RegistryRoot::LocalMachine, m_keys.programKey);
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }

    fs::path m_root;
    fs::path m_program;
    fs::path m_system;
    std::string m_service;
    RegistryKeys m_keys;
};

TEST_F(PortDriverOnWindows, WithoutTheDriverFileNoServiceAndNoMarker)
{
    WindowsPlatform machine(m_keys);
    DriverOnlyServices services(machine.Disks().services);
    WindowsDriverServices drivers(m_system.string());
    EXPECT_EQ(app::InstallPortDriver(machine.Get(), services, drivers, m_service), 0);
    EXPECT_FALSE(fs::exists(m_program / "settings.dat"));
    EXPECT_FALSE(ConfigOf(m_service).has_value());
    EXPECT_FALSE(machine.Get().store.OpenKey(StoreKeyId::Program, kKeyRead, false)->HasValue(core::kSvcValue));
}

TEST_F(PortDriverOnWindows, InstallCreatesTheBootDriverServiceAndUninstallRemovesOnlyThat)
{
    std::ofstream(m_program / "drv" / "giveio.sys", std::ios::binary) << "MZ not a real driver";
    WindowsPlatform machine(m_keys);
    DriverOnlyServices services(machine.Disks().services);
    WindowsDriverServices drivers(m_system.string());
    ASSERT_EQ(app::InstallPortDriver(machine.Get(), services, drivers, m_service), 0);

    const auto config = ConfigOf(m_service);
    ASSERT_TRUE(config.has_value());
    EXPECT_EQ(config->type, static_cast<DWORD>(SERVICE_KERNEL_DRIVER));
    EXPECT_EQ(config->start, static_cast<DWORD>(SERVICE_BOOT_START));
    EXPECT_EQ(config->errorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
    EXPECT_NE(config->path.find("giveio.sys"), std::string::npos) << config->path;
    EXPECT_EQ(Text(m_system / "drivers" / "giveio.sys"), "MZ not a real driver");
    auto key = machine.Get().store.OpenKey(StoreKeyId::Program, kKeyRead, false);
    EXPECT_EQ(key->ReadDword(core::kSvcValue), 1u);

    // Installing again creates nothing and leaves a driver file already there as it is.
    std::ofstream(m_system / "drivers" / "giveio.sys", std::ios::binary | std::ios::trunc) << "someone else's";
    key.reset();
    machine.Get().store.OpenKey(StoreKeyId::Program, kKeyWrite, false)->DeleteValue(core::kSvcValue);
    EXPECT_EQ(app::InstallPortDriver(machine.Get(), services, drivers, m_service), 0);
    EXPECT_EQ(Text(m_system / "drivers" / "giveio.sys"), "someone else's");
    EXPECT_FALSE(machine.Get().store.OpenKey(StoreKeyId::Program, kKeyRead, false)->HasValue(core::kSvcValue));

    // Without "Svc" the driver counts as not ours: uninstall leaves it.
    std::string why;
    EXPECT_EQ(app::UninstallCommand(machine.Get(), services, why, m_service), 0);
    EXPECT_TRUE(ConfigOf(m_service).has_value());

    machine.Get().store.OpenKey(StoreKeyId::Program, kKeyWrite, false)->WriteDword(core::kSvcValue, 1);
    EXPECT_EQ(app::UninstallCommand(machine.Get(), services, why, m_service), 0);
    EXPECT_FALSE(ConfigOf(m_service).has_value());
    EXPECT_FALSE(machine.Get().store.OpenKey(StoreKeyId::Program, kKeyRead, false)->HasValue(core::kSvcValue));
    EXPECT_TRUE(fs::exists(m_system / "drivers" / "giveio.sys")); // the file stays, as the service's removal asks
}

} // namespace
} // namespace calventa::platform::windows_backend
