#include "platform/windows/windows_smart_device.h"

#include "platform/windows/win_api.h"

#include <vector>

#include "platform/windows/storage_buffers.h"
#include "platform/windows/win_text.h"

namespace calventa::platform::windows_backend {

namespace {

// An open handle, closed when destroyed.
class Handle
{
public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : m_handle(handle) {}
    ~Handle()
    {
        if (Valid()) {
            CloseHandle(m_handle);
        }
    }
    Handle(Handle&& other) noexcept : m_handle(other.m_handle) { other.m_handle = INVALID_HANDLE_VALUE; }
    Handle& operator=(Handle&&) = delete;
    bool Valid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr; }
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle;
};

Handle OpenDrive(int drive, DWORD access, DWORD& error)
{
    const std::wstring path = WideFromUtf8(PhysicalDrivePath(drive));
    HANDLE handle =
        CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    error = handle == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    return Handle(handle);
}

// One control call; false with the system's error. returned is set on success only (a
// driver that fails may leave it untouched).
bool Control(HANDLE handle, DWORD code, const void* in, size_t inSize, void* out, size_t outSize, size_t& returned,
             DWORD& error)
{
    DWORD count = 0;
    if (!DeviceIoControl(handle, code, const_cast<void*>(in), static_cast<DWORD>(inSize), out,
                         static_cast<DWORD>(outSize), &count, nullptr)) {
        error = GetLastError();
        return false;
    }
    error = 0;
    returned = std::min<size_t>(count, outSize);
    return true;
}

std::optional<StorageDeviceDescriptor> QueryDeviceDescriptor(HANDLE handle)
{
    const std::vector<uint8_t> query = BuildPropertyQuery(kStorageDeviceProperty);
    std::vector<uint8_t> answer(1024, 0);
    size_t returned = 0;
    DWORD error = 0;
    if (!Control(handle, kIoctlStorageQueryProperty, query.data(), query.size(), answer.data(), answer.size(), returned,
                 error)) {
        return std::nullopt;
    }
    return ParseStorageDeviceDescriptor(answer, returned);
}

std::optional<int16_t> QueryTemperature(HANDLE handle)
{
    const std::vector<uint8_t> query = BuildPropertyQuery(kStorageDeviceTemperatureProperty);
    std::vector<uint8_t> answer(512, 0);
    size_t returned = 0;
    DWORD error = 0;
    if (!Control(handle, kIoctlStorageQueryProperty, query.data(), query.size(), answer.data(), answer.size(), returned,
                 error)) {
        return std::nullopt;
    }
    return ParseDeviceTemperature(answer, returned);
}

class WindowsSmartDevice final : public SmartDevice
{
public:
    explicit WindowsSmartDevice(Handle handle) : m_handle(std::move(handle))
    {
        // A driver that answers the version query and offers no S.M.A.R.T. gets no commands.
        std::array<uint8_t, kGetVersionSize> answer{};
        size_t returned = 0;
        DWORD error = 0;
        if (Control(m_handle.Get(), kSmartGetVersion, nullptr, 0, answer.data(), answer.size(), returned, error)) {
            const auto version = ParseSmartVersion(std::span<const uint8_t>(answer.data(), returned));
            m_noSmart = version && !version->SmartCommands();
        } else {
            m_versionError = error;
        }
    }

    SmartCommandResult SendSmartCommand(const SmartCommand& command, SmartDataPage& data) override
    {
        if (command.returnsRegisters) {
            return PowerMode();
        }
        if ((command.controlCode != kSmartSendDriveCommand && command.controlCode != kSmartRcvDriveData) ||
            (command.outputLength != kSmartStatusOutputLength && command.outputLength != kSmartDataOutputLength)) {
            return false;
        }
        if (m_noSmart) {
            return false;
        }
        if (m_versionError == ERROR_ACCESS_DENIED) {
            return SmartCommandStatus::RightsMissing;
        }
        const auto input = BuildSendCmdIn(command);
        std::array<uint8_t, kSmartDataOutputLength> output{};
        size_t returned = 0;
        DWORD error = 0;
        if (!Control(m_handle.Get(), command.controlCode, input.data(), input.size(), output.data(),
                     command.outputLength, returned, error)) {
            return SmartCommandStatusOfSystemError(error);
        }
        if (command.ReturnsData()) {
            // A short answer is no page: nothing beyond what the driver wrote is read.
            const auto page = ParseSmartDataPage(output, returned);
            if (!page) {
                return false;
            }
            data = *page;
        }
        return true;
    }

private:
    // CHECK POWER MODE's answer from the driver's own knowledge: a disk in a low-power state
    // counts as standby (0x00), one in the working state as active (0xFF).
    SmartCommandResult PowerMode()
    {
        BOOL on = FALSE;
        if (!GetDevicePowerState(m_handle.Get(), &on)) {
            return false;
        }
        SmartCommandResult result(SmartCommandStatus::Done);
        result.sectorCount = on ? 0xFF : 0x00;
        return result;
    }

    Handle m_handle;
    bool m_noSmart = false;
    DWORD m_versionError = 0;
};

class WindowsNvmeDevice final : public NvmeDevice
{
public:
    // full: opened for reading and writing, so the protocol queries may be sent.
    WindowsNvmeDevice(Handle handle, bool full) : m_handle(std::move(handle)), m_full(full) {}

    SmartCommandResult SendAdminCommand(const NvmeAdminCommand& command, NvmeDataPage& data) override
    {
        if (!m_full) {
            return SmartCommandStatus::RightsMissing;
        }
        const std::optional<ProtocolQuery> query = ProtocolQueryFor(command);
        if (!query) {
            return false;
        }
        std::vector<uint8_t> buffer = BuildProtocolQuery(*query);
        size_t returned = 0;
        DWORD error = 0;
        if (!Control(m_handle.Get(), kIoctlStorageQueryProperty, buffer.data(), buffer.size(), buffer.data(),
                     buffer.size(), returned, error)) {
            return SmartCommandStatusOfSystemError(error);
        }
        const std::optional<ProtocolAnswer> answer = ParseProtocolAnswer(buffer, returned, *query);
        if (!answer) {
            return false;
        }
        data.fill(0);
        std::copy(answer->data.begin(), answer->data.end(), data.begin());
        SmartCommandResult result(SmartCommandStatus::Done);
        if (query->dataType == kNvmeDataTypeFeature) {
            result.completion = answer->fixedReturnData;
        }
        return result;
    }

    std::optional<NvmePublishedIdentity> PublishedIdentity() override
    {
        const auto descriptor = QueryDeviceDescriptor(m_handle.Get());
        if (!descriptor) {
            return std::nullopt;
        }
        NvmePublishedIdentity identity;
        identity.model =
            descriptor->vendor.empty() ? descriptor->product : descriptor->vendor + " " + descriptor->product;
        identity.serial = descriptor->serial;
        identity.firmware = descriptor->revision;
        return identity;
    }

    std::optional<int64_t> PublishedMilliCelsius() override
    {
        const auto celsius = QueryTemperature(m_handle.Get());
        if (!celsius) {
            return std::nullopt;
        }
        return static_cast<int64_t>(*celsius) * 1000;
    }

private:
    Handle m_handle;
    bool m_full;
};

} // namespace

std::string PhysicalDrivePath(int drive)
{
    return "\\\\.\\PhysicalDrive" + std::to_string(drive);
}

DriveOpenError DriveOpenErrorOfSystemError(uint32_t error)
{
    switch (error) {
    case 0:
        return DriveOpenError::None;
    case ERROR_ACCESS_DENIED:
        return DriveOpenError::AccessDenied;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_NOT_READY:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
        return DriveOpenError::NotFound;
    default:
        return DriveOpenError::Other;
    }
}

SmartCommandStatus SmartCommandStatusOfSystemError(uint32_t error)
{
    return error == ERROR_ACCESS_DENIED ? SmartCommandStatus::RightsMissing : SmartCommandStatus::Failed;
}

DriveOpenResult WindowsSmartDevices::OpenPhysicalDrive(int drive)
{
    DriveOpenResult result;
    if (drive < 0 || drive >= kMaxPhysicalDrives) {
        result.error = DriveOpenError::NotFound;
        return result;
    }
    DWORD error = 0;
    Handle handle = OpenDrive(drive, GENERIC_READ | GENERIC_WRITE, error);
    if (!handle.Valid()) {
        result.error = DriveOpenErrorOfSystemError(error);
        return result;
    }
    result.device = std::make_unique<WindowsSmartDevice>(std::move(handle));
    return result;
}

NvmeOpenResult WindowsSmartDevices::OpenNvmeController(int controller)
{
    if (controller < 0 || controller >= kMaxNvmeControllers) {
        return {nullptr, DriveOpenError::NotFound};
    }
    // Opening with no access at all is allowed to every user and enough to learn the bus.
    int seen = 0;
    for (int drive = 0; drive < kMaxSearchedDrives; ++drive) {
        DWORD error = 0;
        Handle probe = OpenDrive(drive, 0, error);
        if (!probe.Valid()) {
            continue;
        }
        const auto descriptor = QueryDeviceDescriptor(probe.Get());
        if (!descriptor || descriptor->busType != kBusTypeNvme || seen++ != controller) {
            continue;
        }
        Handle full = OpenDrive(drive, GENERIC_READ | GENERIC_WRITE, error);
        if (full.Valid()) {
            return {std::make_unique<WindowsNvmeDevice>(std::move(full), true), DriveOpenError::None};
        }
        const DriveOpenError why = DriveOpenErrorOfSystemError(error);
        if (why == DriveOpenError::AccessDenied) {
            return {std::make_unique<WindowsNvmeDevice>(std::move(probe), false), why};
        }
        return {nullptr, why};
    }
    return {nullptr, DriveOpenError::NotFound};
}

std::string WindowsSmartDevices::SystemDirectory()
{
    wchar_t directory[MAX_PATH];
    const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
    return length > 0 && length < MAX_PATH ? Utf8FromWide(directory, length) : std::string();
}

bool WindowsSmartDevices::CopyFile(const std::string& source, const std::string& destination)
{
    return CopyFileW(WideFromUtf8(source).c_str(), WideFromUtf8(destination).c_str(), FALSE) != 0;
}

} // namespace calventa::platform::windows_backend
