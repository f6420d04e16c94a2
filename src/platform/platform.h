#pragma once

#include "platform/bus_mutex.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/kernel_sensors.h"
#include "platform/port_io.h"
#include "platform/program_store.h"
#include "platform/system_facts.h"

namespace calventa::platform {

// The machine as the program sees it. The real Linux back end and the simulated
// machine each provide one; every test builds its own.
struct Platform
{
    PortIo& ports;
    Clock& clock;
    MutexFactory& mutexes;
    ProgramStore& store;
    FileSystem& files;
    SystemFacts& facts;
    KernelSensors& kernel;
};

} // namespace calventa::platform
