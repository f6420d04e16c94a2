#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/disk_service.h"

namespace calventa::platform::linux_backend {

inline constexpr const char* kDefaultServiceSocket = "/run/calventa/calventasvc.sock";
inline constexpr const char* kDefaultUnitDirectory = "/etc/systemd/system";
inline constexpr const char* kDiskServiceUnitName = "calventasvc.service";

// The disk service's socket carries messages (SOCK_SEQPACKET): the request is the control
// code, the reply 0 once "sysdata" is written or the error number of a refusal, both 32-bit
// little-endian. After a 0 the service sends a second message, the image message: the tag
// and the disk table image that this request produced (601 or 610 bytes). A client that
// reads only the first message, as the first clients did, never sees it; a service that
// predates it closes the connection after the status instead.
inline constexpr size_t kServiceMessageSize = 4;
using ServiceMessage = std::array<uint8_t, kServiceMessageSize>;
ServiceMessage EncodeServiceMessage(uint32_t value);
// nullopt unless exactly one message of the right size.
std::optional<uint32_t> DecodeServiceMessage(std::span<const uint8_t> bytes);

inline constexpr uint32_t kImageMessageTag = 0x49445643; // "CVDI"
inline constexpr size_t kMaxImageMessageSize = kServiceMessageSize + 610;
std::vector<uint8_t> EncodeImageMessage(std::span<const uint8_t> image);
// The image; nullopt unless the tag leads and the image fits a disk table image.
std::optional<std::vector<uint8_t>> DecodeImageMessage(std::span<const uint8_t> bytes);

// The client's reading of the reply as received: `kept` holds the first bytes of a message
// whose true length (MSG_TRUNC's) is `length`. The status only from exactly one 4-byte
// message; the image only from a whole image message.
std::optional<uint32_t> ReplyStatusOf(std::span<const uint8_t> kept, size_t length);
std::optional<std::vector<uint8_t>> ReplyImageOf(std::span<const uint8_t> kept, size_t length);

struct ServiceClientTimeouts
{
    uint32_t connectMs = 2000;
    uint32_t replyMs = 60000; // a scan of eight slow drives
    uint32_t imageMs = 1000;  // the image message follows the status at once, or the connection closes
};

// The service manager on Linux: the disk service counts as installed when its systemd unit
// is in the unit directory or its socket exists (a daemon started by hand), and as running
// when the socket accepts a connection. A control code is one request on the socket.
class SocketServiceManager final : public ServiceManager
{
public:
    SocketServiceManager(std::string socketPath, std::string unitDirectory, ServiceClientTimeouts timeouts = {});

    std::unique_ptr<ServiceManagerConnection> Connect() override;

private:
    std::string m_socketPath;
    std::string m_unitDirectory;
    ServiceClientTimeouts m_timeouts;
};

} // namespace calventa::platform::linux_backend
