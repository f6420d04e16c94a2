#pragma once

#include <string>

#include "platform/bus_mutex.h"

namespace calventa::platform::windows_backend {

// The bus mutexes as named system mutexes: other monitoring programs that create the same
// names share them. A holder that died without releasing leaves the mutex abandoned; the
// next waiter owns it then, and so does this program.
class WindowsMutexFactory final : public MutexFactory
{
public:
    std::unique_ptr<NamedMutex> CreateNamedMutex(const std::string& name) override;
    std::string CreationError() const override { return m_creationError; }

private:
    std::string m_creationError;
};

} // namespace calventa::platform::windows_backend
