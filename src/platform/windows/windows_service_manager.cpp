#include "platform/windows/windows_service_manager.h"

#include "platform/windows/win_api.h"

#include "platform/windows/win_text.h"

namespace calventa::platform::windows_backend {

namespace {

constexpr DWORD kQueryAndControl = SERVICE_QUERY_STATUS | SERVICE_USER_DEFINED_CONTROL; // 0x104

class ServiceHandleCloser
{
public:
    explicit ServiceHandleCloser(SC_HANDLE handle) : m_handle(handle) {}
    ~ServiceHandleCloser()
    {
        if (m_handle != nullptr) {
            CloseServiceHandle(m_handle);
        }
    }
    ServiceHandleCloser(const ServiceHandleCloser&) = delete;
    ServiceHandleCloser& operator=(const ServiceHandleCloser&) = delete;
    SC_HANDLE Get() const { return m_handle; }

private:
    SC_HANDLE m_handle;
};

class WindowsService final : public ServiceHandle
{
public:
    WindowsService(SC_HANDLE handle, bool full) : m_handle(handle), m_full(full) {}

    std::optional<ServiceState> QueryStatus() override
    {
        SERVICE_STATUS status = {};
        if (!QueryServiceStatus(m_handle.Get(), &status)) {
            return std::nullopt;
        }
        if (status.dwCurrentState < SERVICE_STOPPED || status.dwCurrentState > SERVICE_PAUSED) {
            return std::nullopt;
        }
        return static_cast<ServiceState>(status.dwCurrentState);
    }

    bool Control(uint32_t code, uint32_t& error) override
    {
        // ControlService returns once the service's handler has returned; the handler writes
        // "sysdata" before that.
        SERVICE_STATUS status = {};
        if (!ControlService(m_handle.Get(), code, &status)) {
            error = GetLastError();
            return false;
        }
        error = 0;
        return true;
    }

    bool Start() override { return m_full && StartServiceW(m_handle.Get(), 0, nullptr) != 0; }

    bool Stop() override
    {
        SERVICE_STATUS status = {};
        return m_full && ControlService(m_handle.Get(), SERVICE_CONTROL_STOP, &status) != 0;
    }

    bool Delete() override { return m_full && DeleteService(m_handle.Get()) != 0; }

private:
    ServiceHandleCloser m_handle;
    bool m_full;
};

class WindowsManagerConnection final : public ServiceManagerConnection
{
public:
    WindowsManagerConnection(SC_HANDLE manager, bool full) : m_manager(manager), m_full(full) {}

    std::unique_ptr<ServiceHandle> OpenService(const std::string& name) override
    {
        const std::wstring wide = WideFromUtf8(name);
        SC_HANDLE service = OpenServiceW(m_manager.Get(), wide.c_str(), m_full ? SERVICE_ALL_ACCESS : kQueryAndControl);
        if (service == nullptr) {
            return nullptr;
        }
        return std::make_unique<WindowsService>(service, m_full);
    }

private:
    ServiceHandleCloser m_manager;
    bool m_full;
};

} // namespace

std::unique_ptr<ServiceManagerConnection> WindowsServiceManager::Connect()
{
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr) {
        return nullptr;
    }
    return std::make_unique<WindowsManagerConnection>(manager, false);
}

std::unique_ptr<ServiceManagerConnection> WindowsServiceManager::ConnectForChanges()
{
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE);
    if (manager == nullptr) {
        return nullptr;
    }
    return std::make_unique<WindowsManagerConnection>(manager, true);
}

bool CreateKernelDriverService(const std::string& name, const std::string& driverPath, uint32_t& error)
{
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE);
    if (manager == nullptr) {
        error = GetLastError();
        return false;
    }
    ServiceHandleCloser managerCloser(manager);
    const std::wstring wideName = WideFromUtf8(name);
    const std::wstring widePath = WideFromUtf8(driverPath);
    SC_HANDLE service = CreateServiceW(manager, wideName.c_str(), wideName.c_str(), SERVICE_ALL_ACCESS,
                                       SERVICE_KERNEL_DRIVER, SERVICE_BOOT_START, SERVICE_ERROR_NORMAL,
                                       widePath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    if (service == nullptr) {
        error = GetLastError();
        return false;
    }
    CloseServiceHandle(service);
    error = 0;
    return true;
}

WindowsDriverServices::WindowsDriverServices(std::string systemDirectory)
    : m_systemDirectory(std::move(systemDirectory))
{
}

std::string WindowsDriverServices::SystemDirectory()
{
    if (!m_systemDirectory.empty()) {
        return m_systemDirectory;
    }
    wchar_t directory[MAX_PATH];
    const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
    return length > 0 && length < MAX_PATH ? Utf8FromWide(directory, length) : std::string();
}

bool WindowsDriverServices::CopyNewFile(const std::string& source, const std::string& destination)
{
    // bFailIfExists: a driver file already there (perhaps another program's) is kept.
    return CopyFileW(WideFromUtf8(source).c_str(), WideFromUtf8(destination).c_str(), TRUE) != 0;
}

bool WindowsDriverServices::CreateDriverService(const std::string& name, const std::string& driverPath)
{
    uint32_t error = 0;
    return CreateKernelDriverService(name, driverPath, error);
}

} // namespace calventa::platform::windows_backend
