#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "platform/program_store.h"

namespace calventa::sim {

// A registry-shaped program store held in memory for the life of a board run, where the
// host has no file store of its own to lend (the Windows build: a board run must not touch
// the real registry). The program key exists once created, the autorun key from the start;
// values keep their type, and a key refuses what its access mask does not grant.
class MemoryProgramStore final : public platform::ProgramStore
{
public:
    using Value = std::variant<std::string, uint32_t, std::vector<uint8_t>>;
    using Values = std::map<std::string, Value>;

    std::unique_ptr<platform::StoreKey> OpenKey(platform::StoreKeyId key, uint32_t access,
                                                bool createIfMissing) override;

private:
    std::map<platform::StoreKeyId, Values> m_keys{{platform::StoreKeyId::Autorun, {}}};
};

} // namespace calventa::sim
