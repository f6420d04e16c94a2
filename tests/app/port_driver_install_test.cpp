#include "app/port_driver_install.h"

#include <gtest/gtest.h>

#include <map>

#include "core/fakes.h"

namespace calventa::app {
namespace {

// Services by name; every change recorded as "<call> <name>".
class NamedServices : public platform::ServiceManager
{
public:
    bool Rights = true;
    std::map<std::string, bool> Installed; // name → installed
    std::vector<std::string> Calls;

    std::unique_ptr<platform::ServiceManagerConnection> Connect() override
    {
        return std::make_unique<Connection>(*this);
    }
    std::unique_ptr<platform::ServiceManagerConnection> ConnectForChanges() override
    {
        return Rights ? Connect() : nullptr;
    }

private:
    class Handle : public platform::ServiceHandle
    {
    public:
        Handle(NamedServices& owner, std::string name) : m_owner(owner), m_name(std::move(name)) {}
        std::optional<platform::ServiceState> QueryStatus() override { return platform::ServiceState::Stopped; }
        bool Control(uint32_t, uint32_t&) override { return false; }
        bool Start() override { return Record("start"); }
        bool Stop() override { return Record("stop"); }
        bool Delete() override
        {
            m_owner.Installed[m_name] = false;
            return Record("delete");
        }

    private:
        bool Record(const std::string& call)
        {
            m_owner.Calls.push_back(call + " " + m_name);
            return true;
        }
        NamedServices& m_owner;
        std::string m_name;
    };
    class Connection : public platform::ServiceManagerConnection
    {
    public:
        explicit Connection(NamedServices& owner) : m_owner(owner) {}
        std::unique_ptr<platform::ServiceHandle> OpenService(const std::string& name) override
        {
            return m_owner.Installed[name] ? std::make_unique<Handle>(m_owner, name) : nullptr;
        }

    private:
        NamedServices& m_owner;
    };
};

class FakeDrivers : public platform::DriverServices
{
public:
    explicit FakeDrivers(NamedServices& services) : m_services(services) {}
    bool CreationWorks = true;
    std::vector<std::string> Copies;
    std::vector<std::string> Created;

    std::string SystemDirectory() override { return "C:/Windows/system32"; }
    bool CopyNewFile(const std::string& source, const std::string& destination) override
    {
        Copies.push_back(source + " -> " + destination);
        return true;
    }
    bool CreateDriverService(const std::string& name, const std::string& driverPath) override
    {
        if (!CreationWorks) {
            return false;
        }
        Created.push_back(name + " " + driverPath);
        m_services.Installed[name] = true;
        return true;
    }

private:
    NamedServices& m_services;
};

class PortDriverInstallation : public ::testing::Test
{
protected:
    PortDriverInstallation()
    {
        Program().Values["PATH"] = std::string("C:/Calventa");
        machine.Files.Files["C:/Calventa/settings.dat"] = {1, 2};
    }
    core::fake::FakeProgramStore::Key& Program() { return machine.Store.Keys[platform::StoreKeyId::Program]; }
    void ShipDriver() { machine.Files.Files["C:/Calventa/drv/giveio.sys"] = {0x4D, 0x5A}; }

    core::fake::FakeMachine machine;
    NamedServices services;
    FakeDrivers drivers{services};
};

TEST_F(PortDriverInstallation, WithoutTheDriverFileNoServiceIsCreated)
{
    EXPECT_EQ(InstallPortDriver(machine.Machine, services, drivers), 0);
    EXPECT_FALSE(machine.Files.Files.contains("C:/Calventa/settings.dat"));
    EXPECT_TRUE(drivers.Copies.empty());
    EXPECT_TRUE(drivers.Created.empty());
    EXPECT_TRUE(services.Calls.empty());
    EXPECT_FALSE(Program().Values.contains("Svc"));
}

TEST_F(PortDriverInstallation, TheShippedDriverIsCopiedRegisteredMarkedAndStarted)
{
    ShipDriver();
    EXPECT_EQ(InstallPortDriver(machine.Machine, services, drivers), 0);
    EXPECT_EQ(drivers.Copies,
              (std::vector<std::string>{"C:/Calventa/drv/giveio.sys -> C:/Windows/system32/drivers/giveio.sys"}));
    EXPECT_EQ(drivers.Created, (std::vector<std::string>{"giveio C:/Windows/system32/drivers/giveio.sys"}));
    EXPECT_EQ(std::get<uint32_t>(Program().Values.at("Svc")), 1u);
    EXPECT_EQ(services.Calls, (std::vector<std::string>{"start giveio"}));
    EXPECT_EQ(machine.Time.SleptMs, 1000u);

    // A second install finds the service: nothing created, "Svc" not written, started again.
    Program().Values.erase("Svc");
    EXPECT_EQ(InstallPortDriver(machine.Machine, services, drivers), 0);
    EXPECT_EQ(drivers.Created.size(), 1u);
    EXPECT_FALSE(Program().Values.contains("Svc"));
    EXPECT_EQ(services.Calls.back(), "start giveio");
}

TEST_F(PortDriverInstallation, WithoutRightsOrAFailedCreationNothingIsMarked)
{
    ShipDriver();
    services.Rights = false;
    EXPECT_EQ(InstallPortDriver(machine.Machine, services, drivers), 1);
    EXPECT_FALSE(machine.Files.Files.contains("C:/Calventa/settings.dat")); // deleted before the rights matter
    EXPECT_TRUE(drivers.Created.empty());

    services.Rights = true;
    drivers.CreationWorks = false;
    EXPECT_EQ(InstallPortDriver(machine.Machine, services, drivers), 0);
    EXPECT_FALSE(Program().Values.contains("Svc"));
    EXPECT_TRUE(services.Calls.empty());
}

TEST_F(PortDriverInstallation, UninstallRemovesTheDriverOnlyWhenThisProgramCreatedIt)
{
    services.Installed["giveio"] = true; // someone else's
    services.Installed[platform::kDiskServiceName] = true;
    std::string why;
    EXPECT_EQ(UninstallCommand(machine.Machine, services, why), 0);
    EXPECT_EQ(services.Calls, (std::vector<std::string>{"stop calventasvc", "delete calventasvc"}));
    EXPECT_TRUE(services.Installed["giveio"]);

    services.Calls.clear();
    ShipDriver();
    services.Installed["giveio"] = false;
    ASSERT_EQ(InstallPortDriver(machine.Machine, services, drivers), 0);
    services.Calls.clear();
    EXPECT_EQ(UninstallCommand(machine.Machine, services, why), 0);
    EXPECT_EQ(services.Calls, (std::vector<std::string>{"stop giveio", "delete giveio"}));
    EXPECT_FALSE(Program().Values.contains("Svc"));
}

} // namespace
} // namespace calventa::app
