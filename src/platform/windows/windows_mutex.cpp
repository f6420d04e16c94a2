#include "platform/windows/windows_mutex.h"

#include "platform/windows/win_api.h"

#include "platform/windows/win_text.h"

namespace calventa::platform::windows_backend {

namespace {

class WindowsNamedMutex final : public NamedMutex
{
public:
    explicit WindowsNamedMutex(HANDLE handle) : m_handle(handle) {}
    ~WindowsNamedMutex() override
    {
        // A mutex still owned is released first: closing alone would abandon it.
        while (m_owned > 0) {
            Release();
        }
        CloseHandle(m_handle);
    }
    WindowsNamedMutex(const WindowsNamedMutex&) = delete;
    WindowsNamedMutex& operator=(const WindowsNamedMutex&) = delete;

    bool Wait(uint32_t timeoutMs) override
    {
        const DWORD result = WaitForSingleObject(m_handle, timeoutMs);
        // Abandoned: the last holder died in its sequence. The bus is ours now; the chip's
        // index register may be anywhere, and every access sets it anew anyway.
        if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
            ++m_owned;
            return true;
        }
        return false;
    }

    void Release() override
    {
        // Releasing a mutex not owned fails in the system; it must not unbalance the count.
        if (m_owned > 0 && ReleaseMutex(m_handle)) {
            --m_owned;
        }
    }

private:
    HANDLE m_handle;
    int m_owned = 0;
};

} // namespace

std::unique_ptr<NamedMutex> WindowsMutexFactory::CreateNamedMutex(const std::string& name)
{
    const std::wstring wide = WideFromUtf8(name);
    HANDLE handle = CreateMutexW(nullptr, FALSE, wide.c_str());
    if (handle == nullptr) {
        m_creationError = "CreateMutex \"" + name + "\": " + SystemErrorText(GetLastError());
        return nullptr;
    }
    m_creationError.clear();
    return std::make_unique<WindowsNamedMutex>(handle);
}

} // namespace calventa::platform::windows_backend
