#pragma once

#include "platform/disk_service.h"
#include "platform/smart_device.h"

namespace calventa::platform {

// What the disk temperatures need of the machine besides the Platform: the drives and the
// disk service. The real Linux back end and the simulated machine each provide one.
struct DiskPlatform
{
    SmartDevices& drives;
    ServiceManager& services;
};

} // namespace calventa::platform
